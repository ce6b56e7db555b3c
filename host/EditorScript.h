// EditorScript: what `kelvane-host editor` does with the editor, one action a
// line. "#" starts a comment; blank lines are skipped.
//
//   play BLOCKS            process that many blocks of the input (the editor's
//                          timer runs along, one tick per 55 ms of audio)
//   tick N                 N timer ticks, each painting what is dirty
//   press X Y [right] [shift] [ctrl] [alt]
//   drag X Y               the pointer moves with the button held
//   release X Y
//   double X Y             a double-click
//   wheel X Y NOTCHES      positive notches turn away from the user
//   hover X Y              the pointer moves with no button held
//   leave                  the pointer leaves the editor
//   png FILE               writes the editor's surface as an opaque PNG
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct EditorAction {
  enum class Kind { Play, Tick, Press, Drag, Release, Double, Wheel, Hover, Leave, Png };
  Kind kind = Kind::Tick;
  int64_t count = 0;    // blocks, ticks
  int32_t x = 0;
  int32_t y = 0;
  int32_t buttons = 0;  // EditorProbeButtons of a press; the held buttons of a drag
  int32_t notches = 0;
  std::string file;
  int line = 0;
};

// Reads the whole script; throws HostError naming the first bad line.
std::vector<EditorAction> ParseEditorScript(const std::string& text);
std::vector<EditorAction> LoadEditorScript(const std::string& path);
