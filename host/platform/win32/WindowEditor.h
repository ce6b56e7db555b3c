// WindowEditor: the module's editor in a real window, for `kelvane-host
// editor --window` on Windows. The module opens its editor (effEditOpen) in a
// top-level window of ours, as a host's plug-in window; the script's mouse
// actions arrive as the window messages a mouse sends, a tick waits for one
// tick of the editor's own timer, and a screenshot is the window's picture
// (PrintWindow of its client area).
//
// Threads: the host's GUI thread (the one that dispatches), no lock.
#pragma once

#include <cstdint>
#include <vector>

#include "EditorDriver.h"

class PluginInstance;

class WindowEditor final : public EditorDriver {
 public:
  // Opens the editor; throws HostError when the module opens no window.
  explicit WindowEditor(PluginInstance& plugin);
  // Closes the editor (effEditClose), then our window.
  ~WindowEditor() override;
  WindowEditor(const WindowEditor&) = delete;
  WindowEditor& operator=(const WindowEditor&) = delete;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Dispatches messages until the editor's timer has ticked once.
  void Tick() override;
  void Mouse(int32_t event, int32_t x, int32_t y, int32_t buttons, int32_t notches) override;
  // The window's picture once every waiting message but the timer's is handled.
  std::vector<uint32_t> Screenshot() override;

 private:
  // Dispatches every waiting message except the timer's: the script's ticks
  // alone decide when the editor's timer runs.
  void Drain();
  // Places the real pointer at this point of the editor.
  void PointerAt(int x, int y);

  PluginInstance& plugin_;
  void* frame_ = nullptr;    // HWND: our top-level window
  void* editor_ = nullptr;   // HWND: the module's window inside it
  int width_ = 0;
  int height_ = 0;
  uint32_t heldButton_ = 0;  // the message of the press that holds a button (left or right)
};
