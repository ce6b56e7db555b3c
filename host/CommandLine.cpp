#include "CommandLine.h"

#include <cmath>

#include "HostError.h"
#include "NumberText.h"

CommandLine::CommandLine(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
      if (arg == "--") {
        optionsEnded = true;
        continue;
      }
      positional_.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2);
    std::optional<std::string> inlineValue;
    if (size_t equals = name.find('='); equals != std::string::npos) {
      inlineValue = name.substr(equals + 1);
      name.resize(equals);
    }
    const OptionSpec* option = nullptr;
    for (const OptionSpec& s : specs)
      if (name == s.name) option = &s;
    if (!option) throw HostError("unknown option --" + name + " (see kelvane-host --help)", true);
    if (!option->takesValue) {
      if (inlineValue) throw HostError("option --" + name + " takes no value", true);
      values_[name].push_back("");
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) throw HostError("option --" + name + " needs a value", true);
      inlineValue = args[++i];
    }
    values_[name].push_back(*inlineValue);
  }
}

void CommandLine::ExpectPositional(size_t count, const char* usage) const {
  if (positional_.size() != count) throw HostError(std::string("usage: kelvane-host ") + usage, true);
}

std::optional<std::string> CommandLine::Value(const std::string& name) const {
  auto found = values_.find(name);
  if (found == values_.end()) return std::nullopt;
  if (found->second.size() > 1) throw HostError("option --" + name + " given more than once", true);
  return found->second.front();
}

std::vector<std::string> CommandLine::Values(const std::string& name) const {
  auto found = values_.find(name);
  return found == values_.end() ? std::vector<std::string>{} : found->second;
}

std::optional<int64_t> CommandLine::IntValue(const std::string& name, int64_t min, int64_t max) const {
  auto text = Value(name);
  if (!text) return std::nullopt;
  auto value = ParseInt(*text);
  if (!value || *value < min || *value > max)
    throw HostError("option --" + name + " needs a whole number from " + std::to_string(min) + " to " +
                        std::to_string(max) + ", got '" + *text + "'",
                    true);
  return value;
}

std::optional<double> CommandLine::DoubleValue(const std::string& name, double min, double max) const {
  auto text = Value(name);
  if (!text) return std::nullopt;
  auto value = ParseDouble(*text);
  if (!value || !std::isfinite(*value) || *value < min || *value > max)
    throw HostError("option --" + name + " needs a number from " + FormatDouble(min) + " to " + FormatDouble(max) +
                        ", got '" + *text + "'",
                    true);
  return value;
}
