// TurnBlit: scaled, rotated and mirrored blit, nearest or bilinear, in 16.16 fixed point.
//
// Coordinates are carried in 64 bits: with 32 bits a source point past 32767
// pixels would overflow. Every fixed-point value is held inside bounds that
// keep a whole walk (origin + rows x row step + columns x column step) far from
// the 64-bit limits, so no input can overflow.
#include <algorithm>
#include <cmath>

#include "raster/BlendKernels.h"
#include "raster/Blit.h"
#include "raster/PixelView.h"

namespace {

constexpr double kFixedOne = 65536.0;
// 2^46: a source origin 2^30 pixels away; 2^30: a step of 16384 pixels per pixel.
constexpr double kMaxFixedOrigin = 70368744177664.0;
constexpr double kMaxFixedStep = 1073741824.0;

int64_t ToFixed(double v, double limit) {
  return static_cast<int64_t>(std::clamp(v * kFixedOne, -limit, limit));
}

// Integer part truncates toward zero; the fraction is the low 16 bits, as in a
// 32-bit two's complement 16.16 value.
int64_t WholePart(int64_t v) { return v / 65536; }
int FractionPart(int64_t v) { return static_cast<int>(v & 0xFFFF); }

struct SampleBounds {
  int64_t left, top, right, bottom;
};

struct Walk {
  int64_t s0, t0;          // source point of the destination's top-left pixel
  int64_t dsdx, dtdx;      // per destination pixel
  int64_t dsdy, dtdy;      // per destination row
  int destX, destY, width, height;
};

struct Sample {
  int r, g, b, a;
};

Sample Pixel(uint32_t p) { return {RedOf(p), GreenOf(p), BlueOf(p), AlphaOf(p)}; }

// Bilinear weights sum to 65535: a uniform 255 area comes out as 254.
Sample Bilinear(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, int fx, int fy) {
  const int c11 = static_cast<int>((static_cast<uint32_t>(fx) * static_cast<uint32_t>(fy)) >> 16);
  const int c10 = fx - c11;
  const int c01 = fy - c11;
  const int c00 = 65535 - fx - fy + c11;
  auto mix = [&](int shift) {
    const int sum = static_cast<int>((p00 >> shift) & 255) * c00 +
                    static_cast<int>((p10 >> shift) & 255) * c10 +
                    static_cast<int>((p01 >> shift) & 255) * c01 +
                    static_cast<int>((p11 >> shift) & 255) * c11;
    return sum / 65536;
  };
  return {mix(16), mix(8), mix(0), mix(24)};
}

// Linear weights sum to 65536, so the last row and column of the sampling
// bounds keep a uniform area's value.
Sample Linear(uint32_t nearPixel, uint32_t farPixel, int f) {
  auto mix = [&](int shift) {
    return (static_cast<int>((farPixel >> shift) & 255) * f +
            static_cast<int>((nearPixel >> shift) & 255) * (65536 - f)) /
           65536;
  };
  return {mix(16), mix(8), mix(0), mix(24)};
}

template <class Kernel, bool Smooth>
void TurnRows(const PixelView& dest, const PixelView& source, const SampleBounds& k,
              const Walk& walk, const int w) {
  int64_t rowS = walk.s0;
  int64_t rowT = walk.t0;
  uint32_t* dstRow = dest.Row(walk.destY) + walk.destX;
  for (int j = 0; j < walk.height; ++j, dstRow += dest.step) {
    int64_t s = rowS;
    int64_t t = rowT;
    for (int i = 0; i < walk.width; ++i, s += walk.dsdx, t += walk.dtdx) {
      const int64_t si = WholePart(s);
      const int64_t ti = WholePart(t);
      if (si < k.left || si >= k.right || ti < k.top || ti >= k.bottom) continue;
      const uint32_t* row = source.Row(ti) + si;
      Sample c;
      if constexpr (Smooth) {
        const bool lastColumn = si == k.right - 1;
        const bool lastRow = ti == k.bottom - 1;
        if (!lastRow && !lastColumn) {
          const uint32_t* below = row + source.step;
          c = Bilinear(row[0], row[1], below[0], below[1], FractionPart(s), FractionPart(t));
        } else if (!lastRow) {
          c = Linear(row[0], row[source.step], FractionPart(t));
        } else if (!lastColumn) {
          c = Linear(row[0], row[1], FractionPart(s));
        } else {
          c = Pixel(row[0]);
        }
      } else {
        c = Pixel(row[0]);
      }
      Kernel::Apply(dstRow + i, c.r, c.g, c.b, c.a, w);
    }
    rowS += walk.dsdy;
    rowT += walk.dtdy;
  }
}

bool AllFinite(std::initializer_list<double> values) {
  for (double v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

// trunc(v), held to [0, limit]: bounds beyond the bitmap sample nothing more.
int64_t BoundToInt(double v, int limit) {
  return static_cast<int64_t>(std::clamp(v, 0.0, static_cast<double>(limit)));
}

}  // namespace

void TurnBlit(Bitmap* dest, Bitmap* source, int destX, int destY, int destWidth, int destHeight,
              float sourceX, float sourceY, float sourceWidth, float sourceHeight, double angle,
              bool clipToSource, float weight, int mode, float centreOffsetX,
              float centreOffsetY) {
  if (!dest || !source || destWidth == 0 || destHeight == 0) return;
  if (!AllFinite({sourceX, sourceY, sourceWidth, sourceHeight, angle, centreOffsetX,
                  centreOffsetY})) {
    return;
  }
  PixelView d, src;
  if (!ViewOf(dest, d) || !ViewOf(source, src)) return;
  if (!PassesWeightGate(mode, weight)) return;

  double sx = sourceX, sy = sourceY, sw = sourceWidth, sh = sourceHeight;
  SampleBounds bounds{0, 0, src.width, src.height};
  if (clipToSource) {
    bounds.left = BoundToInt(std::max(sx, 0.0), src.width);
    bounds.top = BoundToInt(std::max(sy, 0.0), src.height);
    bounds.right = BoundToInt(std::min(sx + sw, static_cast<double>(src.width)), src.width);
    bounds.bottom = BoundToInt(std::min(sy + sh, static_cast<double>(src.height)), src.height);
  }
  if (bounds.left >= bounds.right || bounds.top >= bounds.bottom) return;

  int64_t dx = destX, dy = destY, dw = destWidth, dh = destHeight;
  if (dw < 0) {
    dx += dw;
    sx += sw;
    sw = -sw;
    dw = -dw;
  }
  if (dh < 0) {
    dy += dh;
    sy += sh;
    sh = -sh;
    dh = -dh;
  }

  const double xScale = sw / static_cast<double>(dw);
  const double yScale = sh / static_cast<double>(dh);
  const double cosA = std::cos(angle);
  const double sinA = std::sin(angle);
  const double dsdx = xScale * cosA;
  const double dtdx = -yScale * sinA;
  const double dsdy = xScale * sinA;
  const double dtdy = yScale * cosA;
  const double fw = static_cast<double>(dw), fh = static_cast<double>(dh);
  double s0 = sx - ((fw * dsdx + fh * dsdy - sw) * 0.5 - centreOffsetX);
  double t0 = sy - ((fh * dtdy + fw * dtdx - sh) * 0.5 - centreOffsetY);

  if (dx < 0) {
    s0 -= static_cast<double>(dx) * dsdx;
    t0 -= static_cast<double>(dx) * dtdx;
    dw += dx;
    dx = 0;
  }
  if (dy < 0) {
    s0 -= static_cast<double>(dy) * dsdy;
    t0 -= static_cast<double>(dy) * dtdy;
    dh += dy;
    dy = 0;
  }
  dw = std::min<int64_t>(dw, d.width - dx);
  dh = std::min<int64_t>(dh, d.height - dy);
  if (dw < 1 || dh < 1) return;

  const Walk walk{ToFixed(s0, kMaxFixedOrigin),  ToFixed(t0, kMaxFixedOrigin),
                  ToFixed(dsdx, kMaxFixedStep),  ToFixed(dtdx, kMaxFixedStep),
                  ToFixed(dsdy, kMaxFixedStep),  ToFixed(dtdy, kMaxFixedStep),
                  static_cast<int>(dx),          static_cast<int>(dy),
                  static_cast<int>(dw),          static_cast<int>(dh)};
  const int w = IntWeight(weight);
  const bool smooth = (mode & 0xFF00) == SmoothSample;
  WithKernel(mode, [&](auto kernel) {
    using Kernel = decltype(kernel);
    if (smooth) {
      TurnRows<Kernel, true>(d, src, bounds, walk, w);
    } else {
      TurnRows<Kernel, false>(d, src, bounds, walk, w);
    }
  });
}
