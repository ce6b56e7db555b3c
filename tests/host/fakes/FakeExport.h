// How the fake modules export their entry points on each system.
#pragma once

#include "core/Vst2.h"

#ifdef _WIN32
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif
