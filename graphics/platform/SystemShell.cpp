#include "graphics/platform/SystemShell.h"

#include <cstring>

#include "core/Module.h"
#include "core/TextBuffer.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
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

void ReadHostFolder(TextBuffer& out) { SetFolderOfModule(out, nullptr); }

void ReadModuleFolder(TextBuffer& out) { SetFolderOfModule(out, static_cast<HMODULE>(ModuleHandle)); }

bool ShellOpenTarget(const char* target) {
  if (!target) return false;
  auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

#else

void ReadHostFolder(TextBuffer& out) {
  char name[4096];
  ssize_t n = readlink("/proc/self/exe", name, sizeof name - 1);
  if (n <= 0) return out.Set(""), void();
  name[n] = 0;
  SetFolderOf(out, name, '/');
}

void ReadModuleFolder(TextBuffer& out) {
  // Any address inside the module names its file.
  const void* inside = ModuleHandle ? ModuleHandle : reinterpret_cast<const void*>(&SetFolderOf);
  Dl_info info{};
  if (!dladdr(inside, &info) || !info.dli_fname) return out.Set(""), void();
  char resolved[PATH_MAX];
  const char* path = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
  SetFolderOf(out, path, '/');
}

bool ShellOpenTarget(const char* target) {
  if (!target || !target[0]) return false;
  // The desktop's opener, in the background: the shell starts it and returns
  // at once, so the editor never waits and no child is left unreaped. The
  // shell fails when there is no opener. The target is passed as an argument,
  // never spliced into the command.
  pid_t shell = 0;
  char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                  const_cast<char*>("command -v xdg-open >/dev/null && { xdg-open \"$1\" >/dev/null 2>&1 & }"),
                  const_cast<char*>("sh"), const_cast<char*>(target), nullptr};
  if (posix_spawnp(&shell, "sh", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  if (waitpid(shell, &status, 0) != shell) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#endif
