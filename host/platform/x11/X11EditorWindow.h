// X11EditorWindow: shows a module's editor the way a Linux DAW does. A
// top-level X11 window of the editor's size is the parent handed to
// effEditOpen, a GUI loop calls effEditIdle, and the pointer and keyboard are
// driven through XTest as a user's hands would drive them: a press grabs the
// pointer, the server times double clicks, the wheel turns in notches.
// Screenshots are read back from the X server.
#pragma once

#include <X11/Xlib.h>

#include <chrono>

#include "EditorDriver.h"

class PluginInstance;

class X11EditorWindow final : public EditorDriver {
 public:
  // Opens the editor; throws HostError when there is no X display, no XTest,
  // or the module opens no editor.
  explicit X11EditorWindow(PluginInstance& plugin);
  // Closes the editor (effEditClose), then the window.
  ~X11EditorWindow() override;
  X11EditorWindow(const X11EditorWindow&) = delete;
  X11EditorWindow& operator=(const X11EditorWindow&) = delete;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // The host's GUI loop for one timer period.
  void Tick() override;
  void Mouse(int32_t event, int32_t x, int32_t y, int32_t buttons, int32_t notches) override;
  // After the editor has drawn everything it was asked to.
  std::vector<uint32_t> Screenshot() override;

 private:
  // effEditIdle every 10 ms for `ms` milliseconds, once the server has taken
  // everything sent so far.
  void Run(int ms);
  void MoveTo(int x, int y);
  void Button(unsigned button, bool down);
  void Key(unsigned long keysym, bool down);
  void SetModifiers(int32_t buttons);

  PluginInstance& plugin_;
  Display* display_ = nullptr;
  Window window_ = 0;
  int width_ = 0;
  int height_ = 0;
  unsigned held_ = 0;       // the button a press holds down
  // The last left press, so that two presses of a script stay two clicks.
  std::chrono::steady_clock::time_point lastPress_{};
  int lastPressX_ = -100;
  int lastPressY_ = -100;
  int32_t modifiers_ = 0;  // the modifier bits whose keys are down
};
