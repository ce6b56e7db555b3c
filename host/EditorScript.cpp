#include "EditorScript.h"

#include <fstream>
#include <sstream>

#include "ScriptLine.h"
#include "core/EditorProbe.h"

namespace {

constexpr int64_t kMaxCount = int64_t{1} << 40;
constexpr int64_t kMaxCoordinate = 1 << 16;

// Both coordinates of a pointer action.
void ReadPoint(ScriptLine& w, EditorAction& action) {
  action.x = static_cast<int32_t>(w.Int("x", -kMaxCoordinate, kMaxCoordinate));
  action.y = static_cast<int32_t>(w.Int("y", -kMaxCoordinate, kMaxCoordinate));
}

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
    ScriptLine w("editor script", lineNumber, lineText);
    if (w.Empty()) continue;
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
      ReadPoint(w, a);
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
      ReadPoint(w, a);
      a.buttons = held;
    } else if (verb == "release") {
      a.kind = Kind::Release;
      ReadPoint(w, a);
      held = 0;
    } else if (verb == "double") {
      a.kind = Kind::Double;
      ReadPoint(w, a);
      a.buttons = kProbeLeft;
    } else if (verb == "wheel") {
      a.kind = Kind::Wheel;
      ReadPoint(w, a);
      a.notches = static_cast<int32_t>(w.Int("notches", -1000, 1000));
    } else if (verb == "hover") {
      a.kind = Kind::Hover;
      ReadPoint(w, a);
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
  return ParseEditorScript(ReadScriptFile(path, "editor script"));
}
