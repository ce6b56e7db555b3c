// Fuzz target: kelvane-host's editor script parser. Any text either reads into
// actions that keep the format's promises or gives a HostError naming its
// line; nothing else may escape or crash. What it reads, written back as a
// script, reads again into the same actions.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "EditorScript.h"
#include "HostError.h"
#include "core/EditorProbe.h"

namespace {

using Kind = EditorAction::Kind;

constexpr int64_t kMaxCount = int64_t{1} << 40;
constexpr int32_t kMaxCoordinate = 1 << 16;

bool HasPoint(Kind kind) {
  return kind == Kind::Press || kind == Kind::Drag || kind == Kind::Release || kind == Kind::Double ||
         kind == Kind::Wheel || kind == Kind::Hover;
}

// One action as a script line.
std::string Line(const EditorAction& a) {
  static const char* const kVerbs[] = {"play", "tick", "press", "drag", "release", "double", "wheel", "hover", "leave", "png"};
  std::string line = kVerbs[static_cast<int>(a.kind)];
  auto word = [&line](const std::string& w) {
    line += ' ';
    line += w;
  };
  if (a.kind == Kind::Play || a.kind == Kind::Tick) word(std::to_string(a.count));
  if (HasPoint(a.kind)) {
    word(std::to_string(a.x));
    word(std::to_string(a.y));
  }
  if (a.kind == Kind::Press) {
    if (a.buttons & kProbeRight) word("right");
    if (a.buttons & kProbeShift) word("shift");
    if (a.buttons & kProbeControl) word("ctrl");
    if (a.buttons & kProbeAlt) word("alt");
  }
  if (a.kind == Kind::Wheel) word(std::to_string(a.notches));
  if (a.kind == Kind::Png) word(a.file);
  return line;
}

bool Same(const EditorAction& a, const EditorAction& b) {
  return a.kind == b.kind && a.count == b.count && a.x == b.x && a.y == b.y && a.buttons == b.buttons &&
         a.notches == b.notches && a.file == b.file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<EditorAction> actions;
  try {
    actions = ParseEditorScript(text);
  } catch (const HostError& error) {
    if (std::string(error.what()).rfind("editor script line ", 0) != 0) std::abort();
    return 0;
  }
  int line = 0;
  int32_t held = 0;
  std::string again;
  for (const EditorAction& a : actions) {
    if (a.line <= line) std::abort();
    line = a.line;
    if ((a.kind == Kind::Play || a.kind == Kind::Tick) && (a.count < 0 || a.count > kMaxCount)) std::abort();
    if (HasPoint(a.kind) && (a.x < -kMaxCoordinate || a.x > kMaxCoordinate || a.y < -kMaxCoordinate ||
                             a.y > kMaxCoordinate))
      std::abort();
    if (a.kind == Kind::Wheel && (a.notches < -1000 || a.notches > 1000)) std::abort();
    if (a.kind == Kind::Png && (a.file.empty() || a.file.find_first_of(" \t\n\v\f\r#") != std::string::npos)) std::abort();
    // A press holds exactly one button; a drag holds what the last press held
    // until a release; a double-click is a left one.
    if (a.kind == Kind::Press) {
      const int32_t button = a.buttons & (kProbeLeft | kProbeRight);
      if (button != kProbeLeft && button != kProbeRight) std::abort();
      held = a.buttons;
    }
    if (a.kind == Kind::Drag && a.buttons != held) std::abort();
    if (a.kind == Kind::Release) held = 0;
    if (a.kind == Kind::Double && a.buttons != kProbeLeft) std::abort();
    again += Line(a);
    again += '\n';
  }
  std::vector<EditorAction> reread;
  try {
    reread = ParseEditorScript(again);
  } catch (const HostError&) {
    std::abort();
  }
  if (reread.size() != actions.size()) std::abort();
  for (size_t i = 0; i < actions.size(); ++i)
    if (!Same(actions[i], reread[i])) std::abort();
  return 0;
}
