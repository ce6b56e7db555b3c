// Bitmap: the 32-bit pixel surface that every raster operation draws into.
//
// A pixel is the little-endian word 0xAARRGGBB (bytes blue, green, red, alpha in
// memory) with straight alpha. Rows lie RowStride pixels apart; a bottom-up
// bitmap stores row 0 last, and every operation addresses row y of it at stored
// row Height() - 1 - y. Bitmaps made by the host's PNG loader follow the same
// layout, so they are drawn by the same operations.
#pragma once

#include <cstdint>

class Bitmap {
 public:
  virtual ~Bitmap() = default;
  // First stored pixel, or null when the bitmap holds no pixels.
  virtual uint32_t* PixelData() = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Pixels, not bytes, from one stored row to the next.
  virtual int RowStride() const = 0;
  virtual bool IsBottomUp() const = 0;
  // True when the size was changed.
  virtual bool SetSize(int width, int height) = 0;
};
