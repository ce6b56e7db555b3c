// HeapBitmap: a top-down bitmap in a plain heap block; the editor's scratch bitmaps.
#pragma once

#include "raster/Bitmap.h"

class HeapBitmap final : public Bitmap {
 public:
  // Pixels are not initialised. (0, 0) makes an empty scratch bitmap.
  HeapBitmap(int width = 0, int height = 0);
  ~HeapBitmap() override;
  HeapBitmap(const HeapBitmap&) = delete;
  HeapBitmap& operator=(const HeapBitmap&) = delete;

  uint32_t* PixelData() override { return pixels_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowStride() const override { return width_; }
  bool IsBottomUp() const override { return false; }
  // The old bytes survive as far as they reach and are read with the new width.
  // A failed allocation leaves no pixels; an empty size frees them.
  bool SetSize(int width, int height) override;

 private:
  uint32_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};
