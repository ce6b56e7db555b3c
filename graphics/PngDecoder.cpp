// DecodePng: the PNG decoder of stb_image, built here alone with every other
// format and the file functions left out.
#include <cstdint>
#include <new>

#include "raster/HeapBitmap.h"
#include "graphics/PngImages.h"

#include "graphics/StbPng.h"

namespace {

struct StbPixels {
  stbi_uc* bytes = nullptr;
  ~StbPixels() { stbi_image_free(bytes); }
};

}  // namespace

Bitmap* DecodePng(const uint8_t* data, size_t size) {
  if (!data || size == 0 || size > 0x7FFFFFFFu) return nullptr;
  int width = 0;
  int height = 0;
  int channels = 0;
  StbPixels decoded;
  decoded.bytes = stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &channels, 4);
  if (!decoded.bytes || width <= 0 || height <= 0) return nullptr;

  auto* bitmap = new (std::nothrow) HeapBitmap(width, height);
  if (!bitmap) return nullptr;
  uint32_t* pixels = bitmap->PixelData();
  if (!pixels) {
    delete bitmap;
    return nullptr;
  }
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  const stbi_uc* rgba = decoded.bytes;
  for (size_t i = 0; i < count; ++i, rgba += 4) {
    pixels[i] = (static_cast<uint32_t>(rgba[3]) << 24) | (static_cast<uint32_t>(rgba[0]) << 16) |
                (static_cast<uint32_t>(rgba[1]) << 8) | rgba[2];
  }
  return bitmap;
}
