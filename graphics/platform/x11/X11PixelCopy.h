// X11PixelCopy: copies areas of a 0xAARRGGBB pixel buffer into an X drawable,
// opaque whatever the buffer's alpha. The pixels pass through a staging image
// in the visual's own format, held in shared memory (MIT-SHM) when the server
// is local and offers it, else sent over the connection.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>

#include "core/PixelRect.h"

class X11PixelCopy {
 public:
  X11PixelCopy() = default;
  ~X11PixelCopy() = default;  // Release must have run: it needs the connection
  X11PixelCopy(const X11PixelCopy&) = delete;
  X11PixelCopy& operator=(const X11PixelCopy&) = delete;

  // GUI thread. Prepares a staging image of width by height for `visual`;
  // false when the visual is not a true-colour one or memory is short.
  bool Prepare(Display* display, Visual* visual, int depth, int width, int height, bool useSharedMemory);
  // GUI thread. Copies `area` of `pixels` (rows `stride` words apart, the
  // same size as prepared) to the same place in `drawable`.
  void Copy(Drawable drawable, GC gc, const uint32_t* pixels, int stride, const PixelRect& area);
  // GUI thread. Frees the staging image; the connection must still be open.
  void Release();
  bool UsesSharedMemory() const { return shmAttached_; }

 private:
  void Convert(const uint32_t* pixels, int stride, const PixelRect& area);

  Display* display_ = nullptr;
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  bool shmAttached_ = false;
  bool plainLayout_ = false;  // 32-bit pixels with red, green, blue in bytes 2, 1, 0
};
