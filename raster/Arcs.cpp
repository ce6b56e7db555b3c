// Arcs and circles: quarter arcs walked one octant at a time, anti-aliased or plain.
//
// Each quarter arc is drawn in local coordinates u = r sin(phi), v = r cos(phi)
// and mapped to the screen by its quadrant's matrix. The first octant steps u by
// whole pixels and the second steps v, each keeping its other coordinate on a
// whole-pixel lattice that drops by one whenever the circle crosses a row.
//
// An arc whose ends lie well inside the bitmap is drawn without bounds tests.
// Any other arc is drawn only over the steps that can reach the bitmap, with
// every pixel tested; it starts on the same lattice as the whole arc would, so a
// clipped arc shows exactly the pixels of the unclipped one.
#include <algorithm>
#include <cmath>

#include "raster/BlendKernels.h"
#include "raster/Lines.h"
#include "raster/PixelView.h"

namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kQuadrantsPerRadian = 0.63661975f;
constexpr double kInverseSqrt2 = 0.70710678118654752;
// Margin that the untested path keeps from the edges: the lattice strays less
// than two pixels from the circle, and the inner pixel of a pair one more.
constexpr double kUntestedMargin = 4.0;
// Above this radius doubles no longer place every step within a pixel.
constexpr double kUntestedMaxRadius = 1.0e6;
// Slack around the steps that can reach the bitmap, for the same reasons.
constexpr double kClipSlack = 4.0;

// Quadrant q maps local (u, v) to (cx + m0 u + m1 v, cy + m2 u + m3 v).
struct QuadrantMatrix {
  int m0, m1, m2, m3;
};
constexpr QuadrantMatrix kQuadrantMatrices[4] = {
    {1, 0, 0, -1}, {0, 1, 1, 0}, {-1, 0, 0, 1}, {0, -1, -1, 0}};

float NormaliseAngle(float angle) {
  if (angle >= 0.0f && angle <= kTwoPi) return angle;
  angle = std::fmod(angle, kTwoPi);
  return angle < 0.0f ? angle + kTwoPi : angle;
}

struct ArcContext {
  const PixelView& view;
  int r, g, b, a;
  float weight;
  bool antiAliased;
  double cx, cy, radius;
};

// One octant's walk: the major coordinate steps by 1 from a0 while <= aLimit;
// the minor one is sqrt(r^2 - major^2), starting at b0. The axis factors are
// the quadrant matrix's entries for the major and minor coordinates.
struct Octant {
  double a0, aLimit, b0;
  int ax, bx, ay, by;
};

template <class Kernel, bool Tested>
struct ArcPen {
  const ArcContext& ctx;
  const Octant& o;

  void Put(double major, double minor, float cover) const {
    const double x = ctx.cx + o.ax * major + o.bx * minor;
    const double y = ctx.cy + o.ay * major + o.by * minor;
    if constexpr (Tested) {
      if (!(x > -1.0 && x < ctx.view.width && y > -1.0 && y < ctx.view.height)) return;
    }
    Kernel::Apply(ctx.view.Row(static_cast<int>(y)) + static_cast<int>(x), ctx.r, ctx.g, ctx.b,
                  ctx.a, IntWeight(cover * ctx.weight));
  }
};

double MinorAt(double radius, double major) {
  return std::sqrt(std::max(radius * radius - major * major, 0.0));
}

// Walks steps first .. first + count of the octant. minor and previousFraction
// carry the lattice state that the walk from step 0 would have at `first`.
template <class Kernel, bool Tested>
void WalkOctant(const ArcContext& ctx, const Octant& o, double first, int count, double minor,
                double previousFraction) {
  const ArcPen<Kernel, Tested> pen{ctx, o};
  for (int i = 0; i <= count; ++i) {
    const double major = o.a0 + (first + i);
    const double exact = MinorAt(ctx.radius, major);
    const double fraction = std::ceil(exact) - exact;
    if (fraction < previousFraction) minor -= 1.0;
    previousFraction = fraction;
    if (ctx.antiAliased) {
      pen.Put(major, minor, static_cast<float>(1.0 - fraction));
      pen.Put(major, minor - 1.0, static_cast<float>(fraction));
    } else {
      pen.Put(major, minor, 1.0f);
    }
  }
}

// Interval of screen positions along one axis whose pixels can be drawn,
// expressed in the local coordinate that moves along it by `sign`.
void LocalRange(double centre, int sign, int size, double slack, double& lo, double& hi) {
  if (sign > 0) {
    lo = -1.0 - centre - slack;
    hi = size - centre + slack;
  } else {
    lo = centre - size - slack;
    hi = centre + 1.0 + slack;
  }
}

template <class Kernel>
void TestedOctant(const ArcContext& ctx, const Octant& o) {
  const double steps = std::floor(o.aLimit - o.a0);
  if (!(steps >= 0.0)) return;
  const bool majorOnX = o.ax != 0;
  double aLo, aHi, bLo, bHi;
  LocalRange(majorOnX ? ctx.cx : ctx.cy, majorOnX ? o.ax : o.ay,
             majorOnX ? ctx.view.width : ctx.view.height, kClipSlack, aLo, aHi);
  LocalRange(majorOnX ? ctx.cy : ctx.cx, majorOnX ? o.by : o.bx,
             majorOnX ? ctx.view.height : ctx.view.width, kClipSlack, bLo, bHi);
  // The minor coordinate falls as the major one grows, so its range is a major range too.
  const double r = ctx.radius;
  if (bHi < 0.0 || bLo > r) return;
  if (bHi < r) aLo = std::max(aLo, std::sqrt(r * r - bHi * bHi));
  if (bLo > 0.0) aHi = std::min(aHi, std::sqrt(r * r - bLo * bLo));
  const double first = std::max(std::ceil(aLo - o.a0) - 1.0, 0.0);
  const double last = std::min(std::floor(aHi - o.a0) + 1.0, steps);
  if (!(first <= last)) return;
  // The steps that can reach the bitmap span its extent along the major axis
  // plus the slack; the cap only matters where doubles lose whole pixels.
  const double maxCount = (majorOnX ? ctx.view.width : ctx.view.height) + 4.0 * kClipSlack;
  const int count = static_cast<int>(std::min(last - first, maxCount));
  double minor = o.b0;
  double previousFraction = 0.0;
  if (first > 0.0) {
    const double exact = MinorAt(r, o.a0 + first);
    minor = o.b0 - (std::ceil(o.b0) - std::ceil(exact));
    previousFraction = std::ceil(exact) - exact;
  }
  WalkOctant<Kernel, true>(ctx, o, first, count, minor, previousFraction);
}

bool InsideWithMargin(const PixelView& view, double x, double y) {
  return x >= kUntestedMargin && x <= view.width - 1 - kUntestedMargin && y >= kUntestedMargin &&
         y <= view.height - 1 - kUntestedMargin;
}

template <class Kernel>
void QuarterArc(const ArcContext& ctx, int quadrant, float phi1, float phi2) {
  const double p1 = std::clamp(static_cast<double>(phi1), 0.0, static_cast<double>(kHalfPi));
  const double p2 = std::clamp(static_cast<double>(phi2), 0.0, static_cast<double>(kHalfPi));
  if (p1 > p2) return;
  const QuadrantMatrix& m = kQuadrantMatrices[quadrant & 3];
  const double r = ctx.radius;
  const double u1 = r * std::sin(p1), v1 = r * std::cos(p1);
  const double u2 = r * std::sin(p2), v2 = r * std::cos(p2);
  const double diagonal = r * kInverseSqrt2;
  const Octant first{u1, std::min(diagonal, u2 - 1.0), v1, m.m0, m.m1, m.m2, m.m3};
  const Octant second{v2, std::min(diagonal, v1 - 1.0), u2, m.m1, m.m0, m.m3, m.m2};

  const bool inside = r <= kUntestedMaxRadius &&
                      InsideWithMargin(ctx.view, ctx.cx + m.m0 * u1 + m.m1 * v1,
                                       ctx.cy + m.m2 * u1 + m.m3 * v1) &&
                      InsideWithMargin(ctx.view, ctx.cx + m.m0 * u2 + m.m1 * v2,
                                       ctx.cy + m.m2 * u2 + m.m3 * v2);
  if (inside) {
    for (const Octant* o : {&first, &second}) {
      const double steps = std::floor(o->aLimit - o->a0);
      if (steps >= 0.0) WalkOctant<Kernel, false>(ctx, *o, 0.0, static_cast<int>(steps), o->b0, 0.0);
    }
  } else {
    TestedOctant<Kernel>(ctx, first);
    TestedOctant<Kernel>(ctx, second);
  }
}

}  // namespace

void DrawBitmapArc(Bitmap* bitmap, float centreX, float centreY, float radius, float startAngle,
                   float endAngle, uint32_t colour, float weight, int mode, bool antiAliased) {
  PixelView view;
  if (!ViewOf(bitmap, view)) return;
  if (!std::isfinite(centreX) || !std::isfinite(centreY) || !std::isfinite(radius) ||
      !std::isfinite(startAngle) || !std::isfinite(endAngle) || !(radius > 0.0f)) {
    return;
  }
  if (!PassesWeightGate(mode, weight)) return;

  const float start = NormaliseAngle(startAngle);
  const float end = NormaliseAngle(endAngle);
  const int q1 = static_cast<int>(start * kQuadrantsPerRadian);
  int q2 = static_cast<int>(std::ceil(end * kQuadrantsPerRadian)) - 1;
  const float startLocal = start - static_cast<float>(q1) * kHalfPi;
  const float endLocal = end - static_cast<float>(q2) * kHalfPi;
  // An end before the start wraps through the top.
  if (q2 < q1) q2 += 4 + ((q1 - q2 - 1) & ~3);

  const ArcContext ctx{view,   RedOf(colour), GreenOf(colour), BlueOf(colour), AlphaOf(colour),
                       weight, antiAliased,   centreX,         centreY,        radius};
  WithKernel(mode, [&](auto kernel) {
    using Kernel = decltype(kernel);
    if (q1 == q2) {
      QuarterArc<Kernel>(ctx, q1, startLocal, endLocal);
      return;
    }
    QuarterArc<Kernel>(ctx, q1, startLocal, kHalfPi);
    for (int q = q1 + 1; q < q2; ++q) QuarterArc<Kernel>(ctx, q, 0.0f, kHalfPi);
    QuarterArc<Kernel>(ctx, q2, 0.0f, endLocal);
  });
}

void DrawBitmapCircle(Bitmap* bitmap, float centreX, float centreY, float radius, uint32_t colour,
                      float weight, int mode, bool antiAliased) {
  DrawBitmapArc(bitmap, centreX, centreY, radius, 0.0f, kTwoPi, colour, weight, mode, antiAliased);
}
