// SectionBitmap without a window system: a top-down pixel buffer on the heap.
#include "graphics/SectionBitmap.h"

#include <cstdint>
#include <cstdlib>

SectionBitmap::SectionBitmap(int width, int height) { SetSize(width, height); }

SectionBitmap::~SectionBitmap() { std::free(pixels_); }

bool SectionBitmap::SetSize(int width, int height) {
  if (width == width_ && height == height_) return false;
  if (width <= 0 || height <= 0) return false;
  width_ = width;
  height_ = height;
  std::free(pixels_);
  pixels_ = nullptr;
  const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
  // Zeroed, as a fresh DIB section is.
  if (bytes <= SIZE_MAX / 2) pixels_ = static_cast<uint32_t*>(std::calloc(static_cast<size_t>(bytes), 1));
  return true;
}
