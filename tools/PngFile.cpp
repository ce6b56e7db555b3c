#include "tools/PngFile.h"

#include <png.h>

#include <cstring>

#include "raster/Bitmap.h"
#include "tools/Screenshot.h"

// PNG_FORMAT_BGRA is the byte order of a little-endian 0xAARRGGBB word.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels) {
  if (pixels.size() != static_cast<size_t>(width) * height) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_BGRA;
  return png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGRA;
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  pixels.assign(static_cast<size_t>(width) * height, 0);
  const bool ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

bool WritePng(const std::string& path, Bitmap& bitmap) {
  int width = bitmap.Width(), height = bitmap.Height();
  const uint32_t* data = bitmap.PixelData();
  if (!data || width <= 0 || height <= 0) return false;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    int stored = bitmap.IsBottomUp() ? height - 1 - y : y;
    std::memcpy(&pixels[static_cast<size_t>(y) * width], data + static_cast<size_t>(stored) * bitmap.RowStride(),
                static_cast<size_t>(width) * sizeof(uint32_t));
  }
  return WritePng(path, width, height, pixels);
}

bool WriteScreenshotPng(const std::string& path, Bitmap& surface) {
  return WritePng(path, surface.Width(), surface.Height(), ScreenshotPixels(surface));
}
