// ModuleLibrary on Linux: dlopen/dlsym.
#include "ModuleLibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "HostError.h"

ModuleLibrary::ModuleLibrary(const std::string& path) : path_(path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0)
    throw HostError("cannot open module " + path + ": " + std::strerror(errno));
  if (!S_ISREG(info.st_mode)) throw HostError("cannot open module " + path + ": not a regular file");
  // A bare name would make dlopen search the library path instead of the folder we were given.
  std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
  handle_ = dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* reason = dlerror();
    std::string text = reason ? reason : "unknown reason";
    if (auto newline = text.find('\n'); newline != std::string::npos) text.resize(newline);
    throw HostError("cannot load module " + path + ": " + text);
  }
}

ModuleLibrary::~ModuleLibrary() {
  if (handle_) dlclose(handle_);
}

void* ModuleLibrary::FindSymbol(const char* name) const { return dlsym(handle_, name); }

ModuleLibrary::EntryProc ModuleLibrary::Entry() const {
  void* entry = FindSymbol("VSTPluginMain");
  if (!entry) entry = FindSymbol("main");
  if (!entry) throw HostError(path_ + " is not a VST 2 module: it exports neither VSTPluginMain nor main");
  return reinterpret_cast<EntryProc>(entry);
}
