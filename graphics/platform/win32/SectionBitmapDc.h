// The memory device context of a SectionBitmap, for the Windows text renderer
// and window layer.
#pragma once

#include <windows.h>

#include "graphics/SectionBitmap.h"

inline HDC SectionBitmapDc(const SectionBitmap& bitmap) {
  return static_cast<HDC>(bitmap.DeviceContext());
}
