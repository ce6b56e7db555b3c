#include "graphics/platform/headless/HeadlessGraphics.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "controls/Control.h"
#include "core/Module.h"
#include "core/Param.h"
#include "core/TextBuffer.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

// The folder part of a file name, ending with its separator; empty when the
// name has none or ends with it.
void SetFolderOf(TextBuffer& out, const char* path, char separator) {
  out.Set("");
  if (!path) return;
  const char* last = std::strrchr(path, separator);
  if (!last || last[1] == 0) return;
  out.Set(path, static_cast<size_t>(last - path) + 1);
}

}  // namespace

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
  double value;
  if (promptParam_->ValueTextCount() > 0) {
    value = promptParam_->FindValueText(text);
  } else {
    value = std::strtod(text, nullptr);
  }
  // "inf" or "nan" typed into a number box is not a value.
  if (std::isfinite(value)) promptControl_->TakeTypedValue(promptParam_->NormalFromPlain(value));
  ClosePrompt();
}

bool HeadlessGraphics::TimerTick() {
  if (!CollectDirty(nullptr)) return false;
  Paint();
  return true;
}

void HeadlessGraphics::ChooseFile(TextBuffer& out, int, const char*) { out.Set(""); }

#ifdef _WIN32

namespace {
// The folder of a module's file (null: the host's executable), or empty.
void SetFolderOfModule(TextBuffer& out, HMODULE module) {
  char name[256];
  DWORD n = GetModuleFileNameA(module, name, sizeof name);
  if (n == 0 || n >= sizeof name) return out.Set(""), void();
  SetFolderOf(out, name, '\\');
}
}  // namespace

void HeadlessGraphics::GetHostFolder(TextBuffer& out) { SetFolderOfModule(out, nullptr); }

void HeadlessGraphics::GetModuleFolder(TextBuffer& out) {
  SetFolderOfModule(out, static_cast<HMODULE>(ModuleHandle));
}

bool HeadlessGraphics::ShellOpen(const char* target) {
  if (!target) return false;
  std::strncpy(lastShellTarget_, target, sizeof lastShellTarget_ - 1);
  auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

#else

void HeadlessGraphics::GetHostFolder(TextBuffer& out) {
  char name[4096];
  ssize_t n = readlink("/proc/self/exe", name, sizeof name - 1);
  if (n <= 0) return out.Set(""), void();
  name[n] = 0;
  SetFolderOf(out, name, '/');
}

void HeadlessGraphics::GetModuleFolder(TextBuffer& out) {
  // Any address inside the module names its file.
  const void* inside = ModuleHandle ? ModuleHandle : reinterpret_cast<const void*>(&SetFolderOf);
  Dl_info info{};
  if (!dladdr(inside, &info) || !info.dli_fname) return out.Set(""), void();
  char resolved[4096];
  const char* path = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
  SetFolderOf(out, path, '/');
}

bool HeadlessGraphics::ShellOpen(const char* target) {
  if (!target) return false;
  std::strncpy(lastShellTarget_, target, sizeof lastShellTarget_ - 1);
  if (!target[0]) return false;
  // The desktop's opener, in the background: the shell starts it and returns
  // at once, so the editor never waits and no child is left unreaped. The
  // target is passed as an argument, never spliced into the command.
  pid_t shell = 0;
  char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                  const_cast<char*>("xdg-open \"$1\" >/dev/null 2>&1 &"), const_cast<char*>("sh"),
                  const_cast<char*>(target), nullptr};
  if (posix_spawnp(&shell, "sh", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  if (waitpid(shell, &status, 0) != shell) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#endif
