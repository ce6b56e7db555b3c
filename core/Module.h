// Module-wide values shared by every instance of the plug-in in a process.
// Nothing here belongs to one host.
#pragma once

#include "core/Vst2.h"

class PlugBase;

// The module instance handle (Windows: HINSTANCE of the DLL; elsewhere an
// address inside the module, used to find its file).
extern void* ModuleHandle;
// Builds the effect that this module hosts, talking to its host through
// `host` (each instance keeps its own); null when it cannot be built. Never throws.
PlugBase* CreateEffectInstance(audioMasterCallback host);
