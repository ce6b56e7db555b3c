// WindowEditor: the module's editor in a real window, for `kelvane-host
// editor --window` on Windows. The module opens its editor (effEditOpen) in a
// top-level window of ours; the script's mouse actions arrive as the window
// messages a mouse sends, a tick waits for one tick of the editor's own timer,
// and the pixels are the window's picture (PrintWindow). It offers the same
// functions as the module's windowless probe, so one script loop drives both.
//
// Threads: the host's GUI thread (the one that dispatches).
#pragma once

#include <cstdint>
#include <vector>

#include "core/EditorProbe.h"

class PluginInstance;

class WindowEditor {
 public:
  // Opens the editor; throws HostError when the module opens no window.
  explicit WindowEditor(PluginInstance& plugin);
  ~WindowEditor();
  WindowEditor(const WindowEditor&) = delete;
  WindowEditor& operator=(const WindowEditor&) = delete;

  // Functions acting on this window, in the probe's shape.
  EditorProbe Probe();

 private:
  static int32_t VSTCALL Tick(void* context);
  static void VSTCALL Mouse(void* context, int32_t event, int32_t x, int32_t y, int32_t buttons, int32_t notches);
  static const uint32_t* VSTCALL Pixels(void* context);

  // Dispatches messages until `ticks` ticks of the editor's timer have run.
  bool WaitForTicks(int ticks);
  // Dispatches every message waiting in the queue.
  void Drain();

  PluginInstance& plugin_;
  void* frame_ = nullptr;   // HWND: our top-level window
  void* editor_ = nullptr;  // HWND: the module's window inside it
  int32_t width_ = 0;
  int32_t height_ = 0;
  uint32_t heldButton_ = 0;  // the message of the last press (left or right)
  std::vector<uint32_t> shot_;
};
