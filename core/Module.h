// Module-wide values shared by every instance of the plug-in in a process.
#pragma once

#include "core/Vst2.h"

class PlugBase;

// The module instance handle (Windows: HINSTANCE of the DLL; elsewhere an
// address inside the module, used to find its file).
extern void* ModuleHandle;
// The host's callback; the last one handed to the entry point serves every instance.
extern audioMasterCallback HostCallback;

// Calls the host, answering 0 when there is no callback.
VstIntPtr CallHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

// Builds the effect that this module hosts; null when it cannot be built.
// Never throws.
PlugBase* CreateEffectInstance();
