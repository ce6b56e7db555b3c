// EditorProbe: kelvane-host's way into the plug-in's editor without a window,
// over the VST 2 ABI. The host sends effVendorSpecific with index
// kEditorProbeIndex, value kEditorProbeValue and ptr pointing at an
// EditorProbe whose size field it has set. A plug-in that knows the probe
// rebuilds its editor without a window, fills in the rest and answers 1;
// every other plug-in answers 0. The functions take plain C types only, so the
// host and the module may come from different compilers' runtimes.
//
// Threads: the host's GUI thread (the thread that dispatches).
#pragma once

#include <cstdint>

#include "core/Vst2.h"

constexpr VstInt32 kEditorProbeIndex = ('k' << 24) | ('v' << 16) | ('l' << 8) | 'n';
constexpr VstIntPtr kEditorProbeValue = ('e' << 24) | ('d' << 16) | ('i' << 8) | 't';

// Mouse events of the probe, delivered as the window would deliver them.
enum EditorProbeEvent : int32_t {
  kProbePress = 1,
  kProbeRelease = 2,
  kProbeDrag = 3,
  kProbeDoubleClick = 4,
  kProbeWheel = 5,
  kProbeHover = 6,
  kProbeLeave = 7,
};
// Button and modifier bits of a mouse event.
enum EditorProbeButtons : int32_t {
  kProbeLeft = 1,
  kProbeRight = 2,
  kProbeShift = 4,
  kProbeControl = 8,
  kProbeAlt = 16,
};

struct EditorProbe {
  int32_t size = sizeof(EditorProbe);  // set by the host
  int32_t width = 0;                   // editor size in pixels
  int32_t height = 0;
  void* context = nullptr;
  // One tick of the editor's redraw timer; 1 when it painted.
  int32_t(VSTCALL* tick)(void* context) = nullptr;
  void(VSTCALL* mouse)(void* context, int32_t event, int32_t x, int32_t y, int32_t buttons, int32_t notches) = nullptr;
  // The editor's surface: width * height pixels 0xAARRGGBB, rows top to bottom.
  const uint32_t*(VSTCALL* pixels)(void* context) = nullptr;
};
