// PixelView: a bitmap's pixels as the raster operations walk them, with the
// row order already resolved, so that no loop has to think about flipped rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "raster/Bitmap.h"

struct PixelView {
  uint32_t* origin = nullptr;  // row 0 as callers address it
  ptrdiff_t step = 0;          // from row y to row y + 1; negative for bottom-up storage
  int width = 0;
  int height = 0;

  uint32_t* Row(ptrdiff_t y) const { return origin + step * y; }
  bool Contains(int x, int y) const {
    return static_cast<unsigned>(x) < static_cast<unsigned>(width) &&
           static_cast<unsigned>(y) < static_cast<unsigned>(height);
  }
};

// False when there is nothing to draw on: no bitmap, no pixels, an empty size,
// or a stride too short to hold a row (a foreign bitmap could report one).
inline bool ViewOf(Bitmap* bitmap, PixelView& view) {
  if (!bitmap) return false;
  uint32_t* data = bitmap->PixelData();
  const int width = bitmap->Width();
  const int height = bitmap->Height();
  const int stride = bitmap->RowStride();
  if (!data || width <= 0 || height <= 0 || stride < width) return false;
  view.width = width;
  view.height = height;
  if (bitmap->IsBottomUp()) {
    view.origin = data + static_cast<ptrdiff_t>(height - 1) * stride;
    view.step = -static_cast<ptrdiff_t>(stride);
  } else {
    view.origin = data;
    view.step = stride;
  }
  return true;
}
