// ModuleLibrary on Windows: LoadLibraryW/GetProcAddress.
#include "ModuleLibrary.h"

#include <windows.h>

#include "platform/win32/WideText.h"
#include "HostError.h"

namespace {

std::string SystemMessage(DWORD code) {
  char* buffer = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length && buffer ? std::string(buffer, length) : "system error " + std::to_string(code);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

}  // namespace

ModuleLibrary::ModuleLibrary(const std::string& path) : path_(path) {
  std::wstring wide = Widen(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    throw HostError("cannot open module " + path + ": " + SystemMessage(GetLastError()));
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw HostError("cannot open module " + path + ": not a regular file");
  // No message boxes: a broken module must end in one error line, not a dialog.
  UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryW(wide.c_str());
  DWORD error = GetLastError();
  SetErrorMode(oldMode);
  if (!module) throw HostError("cannot load module " + path + ": " + SystemMessage(error));
  handle_ = module;
}

ModuleLibrary::~ModuleLibrary() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* ModuleLibrary::FindSymbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

ModuleLibrary::EntryProc ModuleLibrary::Entry() const {
  void* entry = FindSymbol("VSTPluginMain");
  if (!entry) entry = FindSymbol("main");
  if (!entry) throw HostError(path_ + " is not a VST 2 module: it exports neither VSTPluginMain nor main");
  return reinterpret_cast<EntryProc>(entry);
}
