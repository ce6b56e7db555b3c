// WinGraphics: the editor window on Windows. A child window of the host's
// window shows the drawing surface; a timer paces every redraw; the window's
// mouse messages become the mouse entry points of Graphics; a right click on a
// parameter's control opens a small text prompt (an EDIT box, or a COMBOBOX
// for a parameter with display texts) over it. Everything here runs on the
// host's GUI thread and takes no lock.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "graphics/BitmapGraphics.h"

class WinGraphics : public BitmapGraphics {
 public:
  // Where the text prompt stands. Focus, Return and a right click only set a
  // state; the editor's next timer tick acts on it.
  enum EntryState : int {
    kEntryIdle = 0,
    kEntryFocused = 1,  // the user is typing: the editor leaves the prompt alone
    kEntryRefresh = 2,  // controls were redrawn: the prompt's text follows its parameter
    kEntryCancel = 3,
    kEntryCommit = 4,
  };
  static constexpr UINT_PTR kTimerId = 2;
  static constexpr int kEntryId = 99;
  static constexpr const char* kClassName = "KelvaneWndClass";

  WinGraphics(PlugBase* plug, int width, int height, int framesPerSecond);
  ~WinGraphics() override;

  bool OpensWindows() const override { return true; }
  bool OpenEditorWindow(void* parent) override;
  void CloseEditorWindow() override;
  bool HasWindow() override { return window_ != nullptr; }
  void AskValueText(Control* control, Param* param) override;
  void GetHostFolder(TextBuffer& out) override;
  void GetModuleFolder(TextBuffer& out) override;
  void ChooseFile(TextBuffer& out, int action, const char* initialFolder) override;
  bool PickColor(ArgbColor& color, const char* prompt) override;
  bool ShellOpen(const char* target) override;
  void* WindowHandle() override { return window_; }

  // Open editor windows of this module in the process; the window class is
  // registered while it is above 0.
  static int WindowClassUseCount();
  // Milliseconds between redraw ticks: 1000 / frame rate, truncated.
  static UINT TimerPeriod();
  HWND EntryWindow() const { return entryWindow_; }
  int EntryStateNow() const { return entryState_; }

 protected:
  PixelRect BeginWindowPaint() override;
  bool CopyToWindow(const PixelRect& rect) override;
  void EndWindowPaint() override;

 private:
  static LRESULT CALLBACK EditorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EntryWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  LRESULT HandleEditorMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleEntryMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void TimerTick();
  void CommitEntry();
  // Destroys the prompt and forgets it; DiscardEntry only forgets a prompt
  // whose window is already gone.
  void CloseEntry();
  void DiscardEntry();
  // The window is being destroyed, by us or with its parent.
  void ForgetWindow();
  void ReleaseWindowClass();

  HWND window_ = nullptr;
  HWND entryWindow_ = nullptr;
  Control* entryControl_ = nullptr;
  Param* entryParam_ = nullptr;
  WNDPROC entryPreviousProc_ = nullptr;
  int entryState_ = kEntryIdle;
  HFONT entryFont_ = nullptr;
  COLORREF* customColors_ = nullptr;  // 16, kept for the user between colour dialogs
  HWND parent_ = nullptr;
  // A window of ours counts in the class's use count until the count is given
  // back, which can only happen once the window is fully gone.
  bool holdsWindowClass_ = false;

  // The paint in progress (or the target of a WM_PRINTCLIENT copy).
  PAINTSTRUCT paint_{};
  HDC paintDc_ = nullptr;
};
