// X11Graphics: the editor in an X11 window, for Linux hosts. The window is a
// child of the window the host hands to effEditOpen and lives on a connection
// of its own. Linux hosts have no message loop of ours to run: the host's idle
// call (effEditIdle, on its GUI thread) reads the pending events without
// waiting and runs the redraw timer. A button held over the editor grabs the
// pointer; whatever ends that grab other than the button's release ends the
// press as a release. Everything here runs on the host's GUI thread.
#pragma once

#include <chrono>
#include <cstdint>

#include "graphics/BitmapGraphics.h"

struct _XDisplay;
struct _XGC;
union _XEvent;
class X11PixelCopy;
class X11Prompt;

class X11Graphics : public BitmapGraphics {
 public:
  X11Graphics(PlugBase* plug, int width, int height, int framesPerSecond);
  ~X11Graphics() override;

  bool OpensWindows() const override { return true; }
  // False when no X display can be reached or the parent is not a window.
  bool OpenEditorWindow(void* parent) override;
  void CloseEditorWindow() override;
  bool HasWindow() override { return window_ != 0; }
  void IdleEditor() override;
  void AskValueText(Control* control, Param* param) override;
  void GetHostFolder(TextBuffer& out) override;
  void GetModuleFolder(TextBuffer& out) override;
  // No file or colour chooser on X11: "none chosen", at once.
  void ChooseFile(TextBuffer& out, int action, const char* initialFolder) override;
  bool PickColor(ArgbColor&, const char*) override { return false; }
  bool ShellOpen(const char* target) override;
  void* WindowHandle() override;

  // The open prompt's window (0: none) and entry state, for tests and tools.
  unsigned long PromptWindow() const;
  int PromptState() const { return entryState_; }

 protected:
  PixelRect BeginWindowPaint() override;
  bool CopyToWindow(const PixelRect& area) override;

 private:
  void Dispatch(_XEvent& event);
  void DispatchButton(_XEvent& event, bool press);
  void DispatchPrompt(_XEvent& event);
  void TimerTick();
  void CommitPrompt();
  void ClosePrompt();
  // The press ends without its release: the grab went or the window closes.
  void LoseCapture();
  void Ungrab();
  bool WindowViewable();

  _XDisplay* display_ = nullptr;
  unsigned long window_ = 0;
  _XGC* gc_ = nullptr;
  X11PixelCopy* copy_ = nullptr;
  X11Prompt* prompt_ = nullptr;
  Control* entryControl_ = nullptr;
  Param* entryParam_ = nullptr;
  int entryState_ = 0;
  PixelRect invalid_{};  // exposed area waiting for the next paint
  std::chrono::steady_clock::time_point nextTick_{};
  bool grabbed_ = false;  // a button press holds the pointer
  // The last left press, for double clicks.
  unsigned long lastClickTime_ = 0;
  int lastClickX_ = 0;
  int lastClickY_ = 0;
  bool lastClickCounts_ = false;
};
