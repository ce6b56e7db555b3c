#include "raster/HeapBitmap.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Bytes for a width x height bitmap, or 0 when it is empty or cannot be addressed.
size_t BlockBytes(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
  if (bytes > SIZE_MAX / 2) return 0;
  return static_cast<size_t>(bytes);
}

}  // namespace

HeapBitmap::HeapBitmap(int width, int height) : width_(width), height_(height) {
  const size_t bytes = BlockBytes(width, height);
  if (bytes) pixels_ = static_cast<uint32_t*>(std::malloc(bytes));
}

HeapBitmap::~HeapBitmap() { std::free(pixels_); }

bool HeapBitmap::SetSize(int width, int height) {
  if (width == width_ && height == height_) return false;
  width_ = width;
  height_ = height;
  const size_t bytes = BlockBytes(width, height);
  if (!bytes) {
    std::free(pixels_);
    pixels_ = nullptr;
    return true;
  }
  void* grown = std::realloc(pixels_, bytes);
  if (!grown) {
    std::free(pixels_);
    grown = std::malloc(bytes);
  }
  pixels_ = static_cast<uint32_t*>(grown);
  return true;
}
