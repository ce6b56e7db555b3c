// Line clipping, plain (stepped) lines and Wu anti-aliased lines.
#include "raster/Lines.h"

#include <cmath>
#include <cstdint>

#include "raster/BlendKernels.h"
#include "raster/PixelView.h"

namespace {

// Out-codes of trunc(x), trunc(y), written as float comparisons so that no
// out-of-range value is ever converted: trunc(x) < 0 exactly when x <= -1.
int OutCode(float x, float y, double width, double height) {
  int code = 0;
  if (x <= -1.0f) code |= 1;
  if (x >= width) code |= 2;
  if (y <= -1.0f) code |= 4;
  if (y >= height) code |= 8;
  return code;
}

// Each move puts one point on an edge of the area; a handful settle any segment,
// and the cap keeps rounding from ever making it loop.
constexpr int kMaxClipMoves = 16;

// A moved coordinate, narrowed to float. A point of a far, nearly flat segment
// can land beyond the float range (its next move would then make a NaN);
// holding it at the range's end keeps every coordinate finite.
float Narrow(double v) {
  constexpr double kFloatMax = 3.4028234663852886e38;
  return static_cast<float>(v > kFloatMax ? kFloatMax : v < -kFloatMax ? -kFloatMax : v);
}

bool ClipToArea(float& x1, float& y1, float& x2, float& y2, double width, double height) {
  if (!(width >= 1.0) || !(height >= 1.0)) return false;
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) {
    return false;
  }
  int code1 = OutCode(x1, y1, width, height);
  int code2 = OutCode(x2, y2, width, height);
  for (int moves = 0; code1 | code2; ++moves) {
    if (code1 & code2) return false;
    if (moves == kMaxClipMoves) {
      // The moves went back and forth between two edges around a corner
      // (each edge lies beyond the other point). What is visible lies next to
      // the point that is inside: keep that pixel rather than lose the line.
      if (code1 == 0) {
        x2 = x1;
        y2 = y1;
        return true;
      }
      if (code2 == 0) {
        x1 = x2;
        y1 = y2;
        return true;
      }
      return false;
    }
    const int code = code1 ? code1 : code2;
    // Doubles: float products of far-away points would overflow.
    const double ax = x1, ay = y1, bx = x2, by = y2;
    double x, y;
    if (code & 8) {
      x = ax + (height - ay) * (bx - ax) / (by - ay);
      y = height - 1.0;
    } else if (code & 4) {
      x = ax - ay * (bx - ax) / (by - ay);
      y = 0.0;
    } else if (code & 2) {
      y = ay + (width - ax) * (by - ay) / (bx - ax);
      x = width - 1.0;
    } else {
      y = ay - ax * (by - ay) / (bx - ax);
      x = 0.0;
    }
    if (code == code1) {
      x1 = Narrow(x);
      y1 = Narrow(y);
      code1 = OutCode(x1, y1, width, height);
    } else {
      x2 = Narrow(x);
      y2 = Narrow(y);
      code2 = OutCode(x2, y2, width, height);
    }
  }
  return true;
}

struct Channels {
  int r, g, b, a;
  explicit Channels(uint32_t word)
      : r(RedOf(word)), g(GreenOf(word)), b(BlueOf(word)), a(AlphaOf(word)) {}
};

// Stores the colour word unblended: an opaque colour at full weight needs no blend.
struct StoreColour {
  static void Apply(uint32_t* dst, int r, int g, int b, int a, int) {
    *dst = (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) |
           (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
  }
};

template <class Kernel>
struct Pen {
  const PixelView& view;
  Channels c;
  // Major/minor swapped back for steep lines.
  bool steep;

  void Put(int x, int y, int w) const {
    if (view.Contains(x, y)) Kernel::Apply(view.Row(y) + x, c.r, c.g, c.b, c.a, w);
  }
  void PutAxis(int major, int minor, int w) const {
    if (steep) {
      Put(minor, major, w);
    } else {
      Put(major, minor, w);
    }
  }
};

template <class Kernel>
void PlainLine(const PixelView& view, Channels c, float x1, float y1, float x2, float y2, int w) {
  Pen<Kernel> pen{view, c, false};
  if (static_cast<int>(x1) == static_cast<int>(x2) && static_cast<int>(y1) == static_cast<int>(y2)) {
    pen.Put(static_cast<int>(x1 + 0.5f), static_cast<int>(y1 + 0.5f), 256);
    return;
  }
  pen.steep = std::fabs(x2 - x1) < std::fabs(y2 - y1);
  if (pen.steep) {
    std::swap(x1, y1);
    std::swap(x2, y2);
  }
  if (x1 > x2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const float k = x2 > x1 ? std::fabs(y2 - y1) / (x2 - x1) : 0.0f;
  const int step = y2 > y1 ? 1 : -1;
  const int last = static_cast<int>(x2 + 0.5f);
  int minor = static_cast<int>(y1 + 0.5f);
  float error = 0.0f;
  for (int major = static_cast<int>(x1 + 0.5f); major <= last; ++major) {
    pen.PutAxis(major, minor, w);
    error += k;
    if (error >= 0.5f) {
      minor += step;
      error -= 1.0f;
    }
  }
}

float FractionOf(float v) { return v - std::floor(v); }

template <class Kernel>
void WuLine(const PixelView& view, Channels c, float x1, float y1, float x2, float y2,
            float weight) {
  Pen<Kernel> pen{view, c, false};
  auto coverage = [weight](float cover) { return IntWeight(weight * cover); };
  if (static_cast<int>(x1) == static_cast<int>(x2) && static_cast<int>(y1) == static_cast<int>(y2)) {
    const int px = static_cast<int>(x1), py = static_cast<int>(y1);
    const int w = IntWeight((FractionOf(y1) + FractionOf(x1)) * 0.25f);
    pen.Put(px, py, w);
    pen.Put(px + 1, py, w);
    pen.Put(px, py + 1, w);
    pen.Put(px + 1, py + 1, w);
    return;
  }
  pen.steep = std::fabs(x2 - x1) < std::fabs(y2 - y1);
  if (pen.steep) {
    std::swap(x1, y1);
    std::swap(x2, y2);
  }
  if (x2 < x1) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const float g = x2 > x1 ? (y2 - y1) / (x2 - x1) : 0.0f;
  auto pair = [&](int major, float y, float gap) {
    const float f = FractionOf(y);
    const int minor = static_cast<int>(y);
    pen.PutAxis(major, minor, coverage((1.0f - f) * gap));
    pen.PutAxis(major, minor + 1, coverage(f * gap));
  };

  const float xp1 = std::floor(x1 + 0.5f);
  const float yFirst = y1 + g * (xp1 - x1);
  pair(static_cast<int>(xp1), yFirst, 1.0f - ((x1 + 0.5f) - xp1));

  const float xp2 = std::floor(x2 + 0.5f);
  pair(static_cast<int>(xp2), y2 + g * (xp2 - x2), (x2 + 0.5f) - xp2);

  const int lastMajor = (pen.steep ? view.height : view.width) - 1;
  const int first = static_cast<int>(xp1);
  if (first == lastMajor) return;
  const int end = static_cast<int>(xp2) - 1;
  float y = yFirst + g;
  int major = first + 1;
  for (; major < end; ++major, y += g) pair(major, y, 1.0f);
  pair(major, y, 1.0f);
}

}  // namespace

bool ClipLine(float& x1, float& y1, float& x2, float& y2, int width, int height) {
  return ClipToArea(x1, y1, x2, y2, width, height);
}

bool ClipLineToRect(float& x1, float& y1, float& x2, float& y2, const PixelRect& rect) {
  const float left = static_cast<float>(rect.left);
  const float top = static_cast<float>(rect.top);
  float ax = x1 - left, ay = y1 - top, bx = x2 - left, by = y2 - top;
  const double width = static_cast<double>(rect.right) - rect.left;
  const double height = static_cast<double>(rect.bottom) - rect.top;
  if (!ClipToArea(ax, ay, bx, by, width, height)) return false;
  x1 = ax + left;
  y1 = ay + top;
  x2 = bx + left;
  y2 = by + top;
  return true;
}

void DrawBitmapLine(Bitmap* bitmap, float x1, float y1, float x2, float y2, uint32_t colour,
                    float weight, int mode, bool antiAliased) {
  PixelView view;
  if (!ViewOf(bitmap, view)) return;
  if (!ClipLine(x1, y1, x2, y2, view.width, view.height)) return;
  const Channels c(colour);
  if (!antiAliased && c.a == 255 && weight == 1.0f) {
    PlainLine<StoreColour>(view, c, x1, y1, x2, y2, 256);
    return;
  }
  if (!PassesWeightGate(mode, weight)) return;
  WithKernel(mode, [&](auto kernel) {
    using Kernel = decltype(kernel);
    if (antiAliased) {
      WuLine<Kernel>(view, c, x1, y1, x2, y2, weight);
    } else {
      PlainLine<Kernel>(view, c, x1, y1, x2, y2, IntWeight(weight));
    }
  });
}
