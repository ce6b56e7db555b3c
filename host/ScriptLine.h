// ScriptLine: one line of a kelvane-host script (transport or editor), split
// into words after dropping a "#" comment. Reading a word that is missing or
// out of range ends the run with one error naming the script and the line.
#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "HostError.h"
#include "NumberText.h"

class ScriptLine {
 public:
  ScriptLine(const char* script, int line, std::string text) : script_(script), line_(line) {
    if (size_t hash = text.find('#'); hash != std::string::npos) text.resize(hash);
    std::istringstream split(text);
    for (std::string word; split >> word;) words_.push_back(word);
  }

  [[noreturn]] void Fail(const std::string& why) const {
    throw HostError(std::string(script_) + " line " + std::to_string(line_) + ": " + why);
  }
  bool Empty() const { return words_.empty(); }
  bool More() const { return next_ < words_.size(); }
  // The next word without taking it; empty at the end of the line.
  std::string Peek() const { return More() ? words_[next_] : std::string(); }
  const std::string& Word(const char* what) {
    if (next_ >= words_.size()) Fail(std::string("missing ") + what);
    return words_[next_++];
  }
  int64_t Int(const char* what, int64_t min, int64_t max) {
    const std::string& word = Word(what);
    auto value = ParseInt(word);
    if (!value || *value < min || *value > max) Fail(std::string("bad ") + what + " '" + word + "'");
    return *value;
  }
  double Number(const char* what, double min, double max) {
    const std::string& word = Word(what);
    auto value = ParseDouble(word);
    if (!value || !std::isfinite(*value) || *value < min || *value > max)
      Fail(std::string("bad ") + what + " '" + word + "'");
    return *value;
  }
  void End() const {
    if (next_ != words_.size()) Fail("unexpected '" + words_[next_] + "'");
  }

 private:
  const char* script_;
  int line_;
  std::vector<std::string> words_;
  size_t next_ = 0;
};

// The whole text of a script file; `script` names it in the error.
inline std::string ReadScriptFile(const std::string& path, const char* script) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw HostError(std::string("cannot read ") + script + " " + path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}
