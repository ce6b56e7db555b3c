#include "graphics/platform/headless/HeadlessGraphics.h"

#include <cstring>

#include "core/TextBuffer.h"
#include "graphics/TypedValue.h"
#include "graphics/platform/SystemShell.h"

void HeadlessGraphics::AskValueText(Control* control, Param* param) {
  if (!control || !param || promptControl_) return;
  promptControl_ = control;
  promptParam_ = param;
}

void HeadlessGraphics::ClosePrompt() {
  promptControl_ = nullptr;
  promptParam_ = nullptr;
}

void HeadlessGraphics::TypeValue(const char* text) {
  if (!promptControl_ || !promptParam_ || !text) return;
  CommitTypedText(promptControl_, promptParam_, text);
  ClosePrompt();
}

bool HeadlessGraphics::TimerTick() {
  if (!CollectDirty(nullptr)) return false;
  Paint();
  return true;
}

void HeadlessGraphics::ChooseFile(TextBuffer& out, int, const char*) { out.Set(""); }

void HeadlessGraphics::GetHostFolder(TextBuffer& out) { ReadHostFolder(out); }

void HeadlessGraphics::GetModuleFolder(TextBuffer& out) { ReadModuleFolder(out); }

bool HeadlessGraphics::ShellOpen(const char* target) {
  if (!target) return false;
  std::strncpy(lastShellTarget_, target, sizeof lastShellTarget_ - 1);
  return ShellOpenTarget(target);
}
