// Rectangle blits, fills and single-pixel access.
#include "raster/Blit.h"

#include <algorithm>
#include <cstring>

#include "raster/BlendKernels.h"
#include "raster/PixelView.h"

namespace {

struct Colour {
  int r, g, b, a;
  explicit Colour(uint32_t word)
      : r(RedOf(word)), g(GreenOf(word)), b(BlueOf(word)), a(AlphaOf(word)) {}
};

// A rectangle already clipped to both bitmaps.
struct BlitArea {
  int destX, destY;
  int sourceX, sourceY;
  int width, height;
};

template <class Kernel>
void BlendRows(const PixelView& dest, const PixelView& source, const BlitArea& area, int w) {
  uint32_t* dstRow = dest.Row(area.destY) + area.destX;
  const uint32_t* srcRow = source.Row(area.sourceY) + area.sourceX;
  for (int j = 0; j < area.height; ++j, dstRow += dest.step, srcRow += source.step) {
    for (int i = 0; i < area.width; ++i) {
      const uint32_t p = srcRow[i];
      Kernel::Apply(dstRow + i, RedOf(p), GreenOf(p), BlueOf(p), AlphaOf(p), w);
    }
  }
}

void CopyRows(const PixelView& dest, const PixelView& source, const BlitArea& area, bool sameBitmap) {
  uint32_t* dstRow = dest.Row(area.destY) + area.destX;
  const uint32_t* srcRow = source.Row(area.sourceY) + area.sourceX;
  const size_t bytes = static_cast<size_t>(area.width) * sizeof(uint32_t);
  for (int j = 0; j < area.height; ++j, dstRow += dest.step, srcRow += source.step) {
    // A bitmap blitted onto itself may overlap its own rows.
    if (sameBitmap) {
      std::memmove(dstRow, srcRow, bytes);
    } else {
      std::memcpy(dstRow, srcRow, bytes);
    }
  }
}

void MoveByteRows(const PixelView& dest, const PixelView& source, const BlitArea& area, int mode) {
  const int fromShift = (mode & 3) * 8;
  const int toShift = ((mode >> 2) & 3) * 8;
  const uint32_t keep = ~(0xFFu << toShift);
  uint32_t* dstRow = dest.Row(area.destY) + area.destX;
  const uint32_t* srcRow = source.Row(area.sourceY) + area.sourceX;
  for (int j = 0; j < area.height; ++j, dstRow += dest.step, srcRow += source.step) {
    for (int i = 0; i < area.width; ++i) {
      const uint32_t byte = (srcRow[i] >> fromShift) & 0xFFu;
      dstRow[i] = (dstRow[i] & keep) | (byte << toShift);
    }
  }
}

// Source rectangle in 64 bits: the callers' sums of ints must not overflow.
void BlitClipped(Bitmap* dest, Bitmap* source, int64_t x, int64_t y, int64_t left, int64_t top,
                 int64_t right, int64_t bottom, float weight, int mode) {
  PixelView d, s;
  if (!ViewOf(dest, d) || !ViewOf(source, s)) return;
  left = std::max<int64_t>(left, 0);
  top = std::max<int64_t>(top, 0);
  right = std::min<int64_t>(right, s.width);
  bottom = std::min<int64_t>(bottom, s.height);
  if (x < 0) {
    left -= x;
    x = 0;
  }
  if (y < 0) {
    top -= y;
    y = 0;
  }
  if (x + (right - left) > d.width) right = d.width - x + left;
  if (y + (bottom - top) > d.height) bottom = d.height - y + top;
  if (left >= right || top >= bottom) return;

  const BlitArea area{static_cast<int>(x), static_cast<int>(y), static_cast<int>(left),
                      static_cast<int>(top), static_cast<int>(right - left),
                      static_cast<int>(bottom - top)};
  const int kind = ModeKind(mode);
  if (kind >= ModeByteMove) {
    MoveByteRows(d, s, area, mode);
  } else if (kind == ModeCopy && !(mode & AlphaWeighted) && weight == 1.0f) {
    CopyRows(d, s, area, dest == source);
  } else if (PassesWeightGate(mode, weight)) {
    const int w = IntWeight(weight);
    WithKernel(mode, [&](auto kernel) { BlendRows<decltype(kernel)>(d, s, area, w); });
  }
}

// Clips (x, y, width, height) to the view; false when nothing is left.
bool ClipToView(const PixelView& view, int64_t& x, int64_t& y, int64_t& width, int64_t& height) {
  if (x < 0) {
    width += x;
    x = 0;
  }
  if (y < 0) {
    height += y;
    y = 0;
  }
  width = std::min<int64_t>(width, view.width - x);
  height = std::min<int64_t>(height, view.height - y);
  return width > 0 && height > 0;
}

template <class Kernel>
void FillRows(const PixelView& view, int x, int y, int width, int height, const Colour& c, int a,
              int w) {
  uint32_t* row = view.Row(y) + x;
  for (int j = 0; j < height; ++j, row += view.step) {
    for (int i = 0; i < width; ++i) Kernel::Apply(row + i, c.r, c.g, c.b, a, w);
  }
}

}  // namespace

void BlitRect(Bitmap* dest, Bitmap* source, int x, int y, const PixelRect* sourceRect, float weight,
              int mode) {
  if (!source) return;
  if (sourceRect) {
    BlitClipped(dest, source, x, y, sourceRect->left, sourceRect->top, sourceRect->right,
                sourceRect->bottom, weight, mode);
  } else {
    BlitClipped(dest, source, x, y, 0, 0, source->Width(), source->Height(), weight, mode);
  }
}

void BlitRect(Bitmap* dest, Bitmap* source, int x, int y, int sourceX, int sourceY, int width,
              int height, float weight, int mode) {
  BlitClipped(dest, source, x, y, sourceX, sourceY, static_cast<int64_t>(sourceX) + width,
              static_cast<int64_t>(sourceY) + height, weight, mode);
}

void CopyWhole(Bitmap* dest, Bitmap* source) {
  if (!dest || !source) return;
  dest->SetSize(source->Width(), source->Height());
  BlitRect(dest, source, 0, 0, nullptr, 1.0f, ModeCopy);
}

void FillBitmapRect(Bitmap* bitmap, int x, int y, int width, int height, uint32_t colour,
                    float weight, int mode) {
  PixelView view;
  if (!ViewOf(bitmap, view)) return;
  const Colour c(colour);
  if (mode & AlphaWeighted) weight = static_cast<float>(c.a) * weight * 0.003921569f;
  int64_t fx = x, fy = y, fw = width, fh = height;
  if (!ClipToView(view, fx, fy, fw, fh)) return;
  const int w = IntWeight(weight);
  // The weight stands in for the source alpha. Beyond +-1024 the alpha channel
  // saturates either way, so holding it there only keeps w x w inside an int.
  const int a = std::clamp(w, -1024, 1024);
  WithPlainKernel(mode, [&](auto kernel) {
    FillRows<decltype(kernel)>(view, static_cast<int>(fx), static_cast<int>(fy),
                               static_cast<int>(fw), static_cast<int>(fh), c, a, w);
  });
}

void MaskFill(Bitmap* bitmap, int x, int y, int width, int height, uint32_t andMask,
              uint32_t orValue) {
  PixelView view;
  if (!ViewOf(bitmap, view)) return;
  int64_t fx = x, fy = y, fw = width, fh = height;
  if (!ClipToView(view, fx, fy, fw, fh)) return;
  uint32_t* row = view.Row(fy) + fx;
  for (int64_t j = 0; j < fh; ++j, row += view.step) {
    for (int64_t i = 0; i < fw; ++i) row[i] = (row[i] & andMask) | orValue;
  }
}

uint32_t ReadBitmapPixel(Bitmap* bitmap, int x, int y) {
  PixelView view;
  if (!ViewOf(bitmap, view) || !view.Contains(x, y)) return 0;
  return view.Row(y)[x];
}

void PlotBitmapPixel(Bitmap* bitmap, int x, int y, uint32_t colour, float weight, int mode) {
  PixelView view;
  if (!ViewOf(bitmap, view) || !view.Contains(x, y) || !PassesWeightGate(mode, weight)) return;
  const Colour c(colour);
  const int w = IntWeight(weight);
  uint32_t* dst = view.Row(y) + x;
  WithKernel(mode, [&](auto kernel) { decltype(kernel)::Apply(dst, c.r, c.g, c.b, c.a, w); });
}
