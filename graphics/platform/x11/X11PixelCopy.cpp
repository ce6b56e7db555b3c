#include "graphics/platform/x11/X11PixelCopy.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>

#include "graphics/platform/x11/X11Connection.h"

namespace {

constexpr int kNativeOrder = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? LSBFirst : MSBFirst;

// The pixel value of an 8-bit channel under a visual's channel mask.
unsigned long Channel(unsigned value, unsigned long mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  unsigned long top = mask >> shift;
  return ((static_cast<unsigned long>(value) * top + 127) / 255) << shift;
}

}  // namespace

bool X11PixelCopy::Prepare(Display* display, Visual* visual, int depth, int width, int height,
                           bool useSharedMemory) {
  Release();
  if (!display || !visual || width <= 0 || height <= 0) return false;
  if (visual->c_class != TrueColor) return false;
  display_ = display;
  if (useSharedMemory && XShmQueryExtension(display)) {
    image_ = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &shm_,
                             static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image_) {
      shm_.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image_->bytes_per_line) * image_->height, IPC_CREAT | 0600);
      void* memory = shm_.shmid >= 0 ? shmat(shm_.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
      if (memory != reinterpret_cast<void*>(-1)) {
        shm_.shmaddr = image_->data = static_cast<char*>(memory);
        shm_.readOnly = True;
        x11::TakeError(display);
        // A remote server cannot reach our memory: it answers with an error.
        shmAttached_ = XShmAttach(display, &shm_) && x11::TakeError(display) == 0;
        if (!shmAttached_) shmdt(memory);
      }
      // Gone with the last detach.
      if (shm_.shmid >= 0) shmctl(shm_.shmid, IPC_RMID, nullptr);
      if (!shmAttached_) {
        image_->data = nullptr;
        XDestroyImage(image_);
        image_ = nullptr;
      }
    }
  }
  if (!image_) {
    image_ = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                          static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image_) return false;
    image_->data = static_cast<char*>(std::calloc(static_cast<size_t>(image_->bytes_per_line), image_->height));
    if (!image_->data) {
      XDestroyImage(image_);
      image_ = nullptr;
      return false;
    }
    // Our own words in our own byte order; Xlib swaps for a server that differs.
    image_->byte_order = kNativeOrder;
  }
  plainLayout_ = image_->bits_per_pixel == 32 && image_->red_mask == 0xFF0000 && image_->green_mask == 0xFF00 &&
                 image_->blue_mask == 0xFF &&
                 image_->byte_order == kNativeOrder;
  return true;
}

void X11PixelCopy::Convert(const uint32_t* pixels, int stride, const PixelRect& area) {
  if (plainLayout_) {
    // Bits outside the colour masks (the alpha byte of a 32-bit visual) are set:
    // opaque wherever a compositor looks at them.
    for (int y = area.top; y < area.bottom; ++y) {
      const uint32_t* from = pixels + static_cast<size_t>(y) * stride;
      auto* to = reinterpret_cast<uint32_t*>(image_->data + static_cast<size_t>(y) * image_->bytes_per_line);
      for (int x = area.left; x < area.right; ++x) to[x] = from[x] | 0xFF000000u;
    }
    return;
  }
  const unsigned long opaque = ~(image_->red_mask | image_->green_mask | image_->blue_mask);
  for (int y = area.top; y < area.bottom; ++y) {
    const uint32_t* from = pixels + static_cast<size_t>(y) * stride;
    for (int x = area.left; x < area.right; ++x) {
      uint32_t p = from[x];
      unsigned long value = Channel((p >> 16) & 255, image_->red_mask) | Channel((p >> 8) & 255, image_->green_mask) |
                            Channel(p & 255, image_->blue_mask);
      XPutPixel(image_, x, y, value | (image_->depth == 32 ? opaque : 0));
    }
  }
}

void X11PixelCopy::Copy(Drawable drawable, GC gc, const uint32_t* pixels, int stride, const PixelRect& area) {
  if (!image_ || !pixels || !drawable) return;
  PixelRect r{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, image_->width),
              std::min(area.bottom, image_->height)};
  if (r.left >= r.right || r.top >= r.bottom) return;
  Convert(pixels, stride, r);
  auto w = static_cast<unsigned>(r.Width()), h = static_cast<unsigned>(r.Height());
  if (shmAttached_) {
    XShmPutImage(display_, drawable, gc, image_, r.left, r.top, r.left, r.top, w, h, False);
  } else {
    XPutImage(display_, drawable, gc, image_, r.left, r.top, r.left, r.top, w, h);
  }
}

void X11PixelCopy::Release() {
  if (image_) {
    if (shmAttached_) {
      XShmDetach(display_, &shm_);
      // The server lets go of the memory before we do.
      if (!x11::IsBroken(display_)) XSync(display_, False);
      shmdt(shm_.shmaddr);
      shmAttached_ = false;
    } else {
      std::free(image_->data);
    }
    image_->data = nullptr;
    XDestroyImage(image_);
    image_ = nullptr;
  }
  shm_ = XShmSegmentInfo{};
  display_ = nullptr;
}
