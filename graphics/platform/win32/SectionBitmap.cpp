// SectionBitmap on Windows: a top-down 32-bit DIB section kept selected into its
// own memory device context for its whole life.
#include "graphics/SectionBitmap.h"

#include <windows.h>

SectionBitmap::SectionBitmap(int width, int height) {
  deviceContext_ = CreateCompatibleDC(nullptr);
  SetSize(width, height);
}

SectionBitmap::~SectionBitmap() {
  HDC dc = static_cast<HDC>(deviceContext_);
  if (dc && displaced_) SelectObject(dc, static_cast<HGDIOBJ>(displaced_));
  if (section_) DeleteObject(static_cast<HGDIOBJ>(section_));
  if (dc) DeleteDC(dc);
}

bool SectionBitmap::SetSize(int width, int height) {
  if (width == width_ && height == height_) return false;
  if (width <= 0 || height <= 0) return false;
  width_ = width;
  height_ = height;

  HDC dc = static_cast<HDC>(deviceContext_);
  if (dc && displaced_) SelectObject(dc, static_cast<HGDIOBJ>(displaced_));
  displaced_ = nullptr;
  if (section_) DeleteObject(static_cast<HGDIOBJ>(section_));
  section_ = nullptr;
  pixels_ = nullptr;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = IsBottomUp() ? height : -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section || !bits) {
    if (section) DeleteObject(section);
    return true;
  }
  section_ = section;
  pixels_ = static_cast<uint32_t*>(bits);
  if (dc) displaced_ = SelectObject(dc, section);
  return true;
}
