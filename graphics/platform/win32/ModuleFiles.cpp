#include "graphics/platform/win32/ModuleFiles.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "core/TextBuffer.h"

void SetModuleFolder(TextBuffer& out, void* moduleHandle) {
  out.Set("");
  char name[256];
  DWORD length = GetModuleFileNameA(static_cast<HMODULE>(moduleHandle), name, sizeof name);
  // A name that filled the buffer may be cut short: not a folder to trust.
  if (length == 0 || length >= sizeof name) return;
  const char* last = std::strrchr(name, '\\');
  if (!last || last[1] == 0) return;
  out.Set(name, static_cast<size_t>(last - name) + 1);
}

bool ShellOpenTarget(const char* target) {
  if (!target) return false;
  auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}
