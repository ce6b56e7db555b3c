// SectionBitmap: the drawing surface's bitmap, top-down 32-bit pixels paired with
// a drawing context of the platform. On Windows it is a DIB section selected
// into its own memory device context, through which text is drawn into the
// pixels and the pixels are copied to the window (see
// platform/win32/SectionBitmapDc.h). Elsewhere it is a plain pixel buffer that
// the platform's text renderer draws into directly.
#pragma once

#include "raster/Bitmap.h"

class SectionBitmap final : public Bitmap {
 public:
  SectionBitmap(int width, int height);
  ~SectionBitmap() override;
  SectionBitmap(const SectionBitmap&) = delete;
  SectionBitmap& operator=(const SectionBitmap&) = delete;

  uint32_t* PixelData() override { return pixels_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowStride() const override { return width_; }
  bool IsBottomUp() const override { return false; }
  // The same size returns false. A width or height of 0 or less returns false
  // and keeps the previous pixels and size. Otherwise new pixels replace the
  // old ones (their contents are not kept) and the result is true; a failed
  // allocation leaves no pixels.
  bool SetSize(int width, int height) override;

  // The platform's drawing context that holds the pixels: an HDC on Windows,
  // null elsewhere. Opaque here so that only platform code sees window headers.
  void* DeviceContext() const { return deviceContext_; }

 private:
  int width_ = 0;
  int height_ = 0;
  void* deviceContext_ = nullptr;  // HDC, owned
  uint32_t* pixels_ = nullptr;     // owned by the section (or by this object without one)
  void* section_ = nullptr;        // HBITMAP, owned
  void* displaced_ = nullptr;      // HGDIOBJ the section displaced in the context
};
