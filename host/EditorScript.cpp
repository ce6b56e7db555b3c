#include "EditorScript.h"

#include <fstream>
#include <sstream>

#include "HostError.h"
#include "NumberText.h"
#include "core/EditorProbe.h"

namespace {

constexpr int64_t kMaxCount = int64_t{1} << 40;
constexpr int64_t kMaxCoordinate = 1 << 16;

struct Words {
  std::vector<std::string> words;
  size_t next = 0;
  int line = 0;

  [[noreturn]] void Fail(const std::string& why) const {
    throw HostError("editor script line " + std::to_string(line) + ": " + why);
  }
  bool More() const { return next < words.size(); }
  const std::string& Word(const char* what) {
    if (next >= words.size()) Fail(std::string("missing ") + what);
    return words[next++];
  }
  int64_t Int(const char* what, int64_t min, int64_t max) {
    const std::string& word = Word(what);
    auto value = ParseInt(word);
    if (!value || *value < min || *value > max) Fail(std::string("bad ") + what + " '" + word + "'");
    return *value;
  }
  void Point(EditorAction& action) {
    action.x = static_cast<int32_t>(Int("x", -kMaxCoordinate, kMaxCoordinate));
    action.y = static_cast<int32_t>(Int("y", -kMaxCoordinate, kMaxCoordinate));
  }
  void End() const {
    if (next != words.size()) Fail("unexpected '" + words[next] + "'");
  }
};

}  // namespace

std::vector<EditorAction> ParseEditorScript(const std::string& text) {
  std::vector<EditorAction> actions;
  std::istringstream lines(text);
  std::string lineText;
  int lineNumber = 0;
  // A drag holds the buttons of the press before it.
  int32_t held = 0;
  while (std::getline(lines, lineText)) {
    ++lineNumber;
    if (size_t hash = lineText.find('#'); hash != std::string::npos) lineText.resize(hash);
    Words w;
    w.line = lineNumber;
    std::istringstream split(lineText);
    for (std::string word; split >> word;) w.words.push_back(word);
    if (w.words.empty()) continue;
    EditorAction a;
    a.line = lineNumber;
    const std::string verb = w.Word("action");
    using Kind = EditorAction::Kind;
    if (verb == "play") {
      a.kind = Kind::Play;
      a.count = w.Int("block count", 0, kMaxCount);
    } else if (verb == "tick") {
      a.kind = Kind::Tick;
      a.count = w.Int("tick count", 0, kMaxCount);
    } else if (verb == "press") {
      a.kind = Kind::Press;
      w.Point(a);
      a.buttons = kProbeLeft;
      while (w.More()) {
        const std::string& flag = w.Word("flag");
        if (flag == "right") {
          a.buttons = (a.buttons & ~kProbeLeft) | kProbeRight;
        } else if (flag == "shift") {
          a.buttons |= kProbeShift;
        } else if (flag == "ctrl") {
          a.buttons |= kProbeControl;
        } else if (flag == "alt") {
          a.buttons |= kProbeAlt;
        } else {
          w.Fail("unknown press flag '" + flag + "' (right, shift, ctrl, alt)");
        }
      }
      held = a.buttons;
    } else if (verb == "drag") {
      a.kind = Kind::Drag;
      w.Point(a);
      a.buttons = held;
    } else if (verb == "release") {
      a.kind = Kind::Release;
      w.Point(a);
      held = 0;
    } else if (verb == "double") {
      a.kind = Kind::Double;
      w.Point(a);
      a.buttons = kProbeLeft;
    } else if (verb == "wheel") {
      a.kind = Kind::Wheel;
      w.Point(a);
      a.notches = static_cast<int32_t>(w.Int("notches", -1000, 1000));
    } else if (verb == "hover") {
      a.kind = Kind::Hover;
      w.Point(a);
    } else if (verb == "leave") {
      a.kind = Kind::Leave;
    } else if (verb == "png") {
      a.kind = Kind::Png;
      a.file = w.Word("file name");
    } else {
      w.Fail("unknown action '" + verb + "'");
    }
    w.End();
    actions.push_back(a);
  }
  return actions;
}

std::vector<EditorAction> LoadEditorScript(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw HostError("cannot read editor script " + path);
  std::ostringstream text;
  text << file.rdbuf();
  return ParseEditorScript(text.str());
}
