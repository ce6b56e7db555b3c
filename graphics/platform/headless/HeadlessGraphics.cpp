#include "graphics/platform/headless/HeadlessGraphics.h"

#include <cstdlib>
#include <cstring>

#include "core/Module.h"
#include "core/TextBuffer.h"
#include "graphics/TypedText.h"

#ifdef _WIN32
#include "graphics/platform/win32/ModuleFiles.h"
#else
#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

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

#ifdef _WIN32

void HeadlessGraphics::GetHostFolder(TextBuffer& out) { SetModuleFolder(out, nullptr); }

void HeadlessGraphics::GetModuleFolder(TextBuffer& out) { SetModuleFolder(out, ModuleHandle); }

bool HeadlessGraphics::ShellOpen(const char* target) {
  if (!target) return false;
  std::strncpy(lastShellTarget_, target, sizeof lastShellTarget_ - 1);
  return ShellOpenTarget(target);
}

#else

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
