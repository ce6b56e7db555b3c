// HeadlessGraphics: the window layer without a window. Tests and tools inject
// mouse events through the Graphics entry points and timer ticks through
// TimerTick, and read the surface. The text prompt is answered with TypeValue.
#pragma once

#include "graphics/BitmapGraphics.h"

class HeadlessGraphics : public BitmapGraphics {
 public:
  using BitmapGraphics::BitmapGraphics;

  bool OpensWindows() const override { return false; }
  bool OpenEditorWindow(void*) override { return false; }
  void CloseEditorWindow() override { ClosePrompt(); }
  bool HasWindow() override { return false; }
  void AskValueText(Control* control, Param* param) override;
  void GetHostFolder(TextBuffer& out) override;
  void GetModuleFolder(TextBuffer& out) override;
  void ChooseFile(TextBuffer& out, int action, const char* initialFolder) override;
  bool PickColor(ArgbColor&, const char*) override { return false; }
  bool ShellOpen(const char* target) override;
  void* WindowHandle() override { return nullptr; }

  // One tick of the editor's redraw timer: paints when a control is dirty.
  // Returns whether it painted.
  bool TimerTick();
  // The prompt opened by a right-click, if any.
  Control* PromptControl() const { return promptControl_; }
  Param* PromptParam() const { return promptParam_; }
  // Confirms `text` in the open prompt as the user would: a display text of an
  // enumerated parameter or a number, clamped into the parameter's range.
  void TypeValue(const char* text);
  void ClosePrompt();
  // The last target ShellOpen was asked to open.
  const char* LastShellTarget() const { return lastShellTarget_; }

 private:
  Control* promptControl_ = nullptr;
  Param* promptParam_ = nullptr;
  char lastShellTarget_[512] = {};
};
