#include "tools/Screenshot.h"

#include <cstddef>

#include "raster/Bitmap.h"

std::vector<uint32_t> ScreenshotPixels(Bitmap& bitmap) {
  const int width = bitmap.Width(), height = bitmap.Height();
  const uint32_t* data = bitmap.PixelData();
  if (!data || width <= 0 || height <= 0) return {};
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = data + static_cast<size_t>(bitmap.IsBottomUp() ? height - 1 - y : y) * bitmap.RowStride();
    uint32_t* out = &pixels[static_cast<size_t>(y) * static_cast<size_t>(width)];
    for (int x = 0; x < width; ++x) out[x] = row[x] | 0xFF000000u;
  }
  return pixels;
}
