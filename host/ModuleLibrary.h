// ModuleLibrary: one loaded plug-in module (a shared object or a DLL) and its
// VST 2 entry point. Loading failures throw HostError with a one-line reason.
#pragma once

#include <string>

#include "core/Vst2.h"

class ModuleLibrary {
 public:
  using EntryProc = AEffect*(VSTCALL*)(audioMasterCallback);

  explicit ModuleLibrary(const std::string& path);
  ~ModuleLibrary();
  ModuleLibrary(const ModuleLibrary&) = delete;
  ModuleLibrary& operator=(const ModuleLibrary&) = delete;

  // `VSTPluginMain`, or the older `main` export; throws when neither exists.
  EntryProc Entry() const;
  const std::string& Path() const { return path_; }
  // The system's handle of the loaded module (dlopen handle, HMODULE).
  void* Handle() const { return handle_; }

 private:
  void* FindSymbol(const char* name) const;

  std::string path_;
  void* handle_ = nullptr;
};
