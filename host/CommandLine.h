// CommandLine: the arguments of one kelvane-host command, split into
// positional words and declared options ("--name value" or "--name=value").
// Anything malformed throws a usage HostError.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct OptionSpec {
  const char* name;  // without the leading "--"
  bool takesValue;
};

class CommandLine {
 public:
  CommandLine(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

  const std::vector<std::string>& Positional() const { return positional_; }
  // Exactly `count` positional words, or a usage error naming the `usage` line.
  void ExpectPositional(size_t count, const char* usage) const;

  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  std::optional<std::string> Value(const std::string& name) const;
  std::vector<std::string> Values(const std::string& name) const;
  std::optional<int64_t> IntValue(const std::string& name, int64_t min, int64_t max) const;
  std::optional<double> DoubleValue(const std::string& name, double min, double max) const;

 private:
  std::vector<std::string> positional_;
  std::map<std::string, std::vector<std::string>> values_;
};
