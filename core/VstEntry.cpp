// The module's exported entry points. Compiled into the plug-in module only.
#include <new>

#include "core/Module.h"
#include "core/PlugBase.h"

#ifdef _WIN32
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ModuleHandle = instance;
  return TRUE;
}
#define KV_EXPORT extern "C" __declspec(dllexport)
#else
#define KV_EXPORT extern "C" __attribute__((visibility("default")))
#endif

KV_EXPORT AEffect* VSTCALL VSTPluginMain(audioMasterCallback host) {
#ifndef _WIN32
  if (!ModuleHandle) ModuleHandle = reinterpret_cast<void*>(&VSTPluginMain);
#endif
  PlugBase* plug = CreateEffectInstance(host);
  return plug ? plug->Effect() : nullptr;
}

#ifndef _WIN32
// Older hosts look for "main"; on Windows the module definition file exports the alias.
KV_EXPORT AEffect* VstMainAlias(audioMasterCallback host) __asm__("main");
KV_EXPORT AEffect* VstMainAlias(audioMasterCallback host) { return VSTPluginMain(host); }
#endif
