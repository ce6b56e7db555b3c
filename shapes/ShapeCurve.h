// ShapeCurve and Knee: the per-sample arithmetic of the gain-shape engine, the
// curve's level at a sample position and the clipper's quadratic knee.
//
// Each is written once over a value type that is a double or a vector of
// doubles (2 lanes with SSE2, 4 with AVX), so the engine can solve several
// samples or channels with one packed square root and one packed division.
// Packed and scalar IEEE operations round alike, so every form gives the same
// bits, and so does every build; the order of operations is part of that and
// must not be changed (nor contracted into fused multiply-adds).
// Used on the audio thread: no allocation, no lock, no system call.
#pragma once

#include <cmath>

#include "shapes/ShapeSegment.h"

#if !defined(__SSE2__)
#error "the gain-shape engine needs SSE2 (i686 builds use -msse2 -mfpmath=sse)"
#endif
#include <emmintrin.h>
#if defined(__AVX__)
#include <immintrin.h>
#endif

// Two doubles processed together (GCC vector extension: +, -, *, / per lane,
// a scalar operand applies to both lanes).
typedef double SamplePair __attribute__((vector_size(16)));
#if defined(__AVX__)
typedef double SampleQuad __attribute__((vector_size(32)));
#endif

namespace shapemath {

inline double Sqrt(double x) { return std::sqrt(x); }
// max(x, 0), with NaN giving 0.
inline double AtLeastZero(double x) { return x > 0.0 ? x : 0.0; }
// min(x, 1) for x that is not NaN.
inline double AtMostOne(double x) { return x < 1.0 ? x : 1.0; }

inline SamplePair Sqrt(SamplePair x) { return _mm_sqrt_pd(x); }
// MAXPD and MINPD return their second operand for NaN or a pair of zeros,
// exactly like the scalar forms above.
inline SamplePair AtLeastZero(SamplePair x) { return _mm_max_pd(x, _mm_setzero_pd()); }
inline SamplePair AtMostOne(SamplePair x) { return _mm_min_pd(x, _mm_set1_pd(1.0)); }

#if defined(__AVX__)
// Only the translation unit built for AVX sees these; nothing it shares with
// the others is compiled there (see ShapeKernelLanes.h).
inline SampleQuad Sqrt(SampleQuad x) { return _mm256_sqrt_pd(x); }
inline SampleQuad AtLeastZero(SampleQuad x) { return _mm256_max_pd(x, _mm256_setzero_pd()); }
inline SampleQuad AtMostOne(SampleQuad x) { return _mm256_min_pd(x, _mm256_set1_pd(1.0)); }
#endif

template <class T>
T Clamp01(T x) {
  return AtMostOne(AtLeastZero(x));
}

// e^x from +, -, * and exact scaling only. The C runtimes of the targets round
// std::exp differently in the last bit (mingw-w64's and glibc's disagree for
// about one argument in 7000), which would make the follower's coefficients,
// and so the output, differ between the Windows and Linux builds. Accurate to
// about 1 ulp; arguments below -700 give 0 (no denormal coefficients).
inline double Exp(double x) {
  if (x != x) return x;
  if (x < -700.0) return 0.0;
  if (x > 709.0) return HUGE_VAL;
  constexpr double kLog2e = 1.4426950408889634;
  constexpr double kLn2Hi = 6.93147180369123816490e-01;  // few bits: k * kLn2Hi is exact
  constexpr double kLn2Lo = 1.90821492927058770002e-10;
  const double k = std::floor(x * kLog2e + 0.5);
  const double r = (x - k * kLn2Hi) - k * kLn2Lo;  // |r| <= 0.35
  // Taylor series of e^r - 1 to r^15 / 15!, far below an ulp for |r| <= 0.35.
  constexpr double kInverseFactorials[] = {
      1.0 / 2,           1.0 / 6,            1.0 / 24,            1.0 / 120,           1.0 / 720,
      1.0 / 5040,        1.0 / 40320,        1.0 / 362880,        1.0 / 3628800,       1.0 / 39916800,
      1.0 / 479001600,   1.0 / 6227020800.0, 1.0 / 87178291200.0, 1.0 / 1307674368000.0};
  double p = kInverseFactorials[13];
  for (int i = 12; i >= 0; --i) p = p * r + kInverseFactorials[i];
  const double expm1 = r + r * (r * p);
  return std::ldexp(1.0 + expm1, static_cast<int>(k));
}

}  // namespace shapemath

// A segment's curve, prepared once per run: position(t) = n is solved in
// closed form (one square root a sample) and the level evaluated at t.
class ShapeCurve {
 public:
  explicit ShapeCurve(const ShapeSegment& segment)
      : s_(segment.start.pos),
        a_(s_ - 2.0 * segment.control.pos + segment.end.pos),
        b_(2.0 * (segment.control.pos - s_)),
        bb_(b_ * b_),
        fourA_(4.0 * a_),
        twoA_(2.0 * a_),
        ls_(segment.start.level),
        lc_(segment.control.level),
        le_(segment.end.level) {}

  // The discriminant is clamped to >= 0 and t to 0..1, so rounding, a point
  // outside the segment or a segment without extent never give a NaN.
  template <class T>
  T Level(T n) const {
    using namespace shapemath;
    T t;
    if (a_ == 0.0) {
      // The control point lies midway: the position is linear in t.
      t = b_ != 0.0 ? -(s_ - n) / b_ : n * 0.0;
    } else {
      t = (Sqrt(AtLeastZero(bb_ - fourA_ * (s_ - n))) - b_) / twoA_;
    }
    t = Clamp01(t);
    return ((1.0 - t) * ls_ + 2.0 * t * lc_) * (1.0 - t) + t * t * le_;
  }

 private:
  double s_, a_, b_, bb_, fourA_, twoA_, ls_, lc_, le_;
};

// The clipper's quadratic knee at one curve level (per lane for vectors):
// from input c to 2 * lvl it bends the output from c up to lvl; louder input
// gives lvl (the parameter u stops at 1 instead of following the curve down).
template <class T>
class Knee {
 public:
  Knee(T c, T lvl)
      : c_(c), lvl_(lvl), a_(c - 2.0 * lvl + 2.0 * lvl), b_(2.0 * (lvl - c)), fourA_(4.0 * a_), twoA_(2.0 * a_) {}

  // Output applies where the level is above 0 and the knee has extent; the
  // rest goes through Degenerate, which divides by nothing that can be 0.
  bool Regular() const { return lvl_ > 0.0 && a_ != 0.0; }
  T QuadraticCoefficient() const { return a_; }

  // Output for a magnitude v; meaningful for v > c, finite for any v where regular.
  T Output(T v) const {
    using namespace shapemath;
    return At(Clamp01((Sqrt(AtLeastZero(b_ * b_ - fourA_ * (c_ - v))) - b_) / twoA_));
  }

  T Degenerate(T v) const {
    if (!(lvl_ > 0.0)) return 0.0;  // a level of 0 is a ceiling of 0
    return At(shapemath::Clamp01(b_ != 0.0 ? -(c_ - v) / b_ : 1.0));
  }

 private:
  T At(T u) const { return ((1.0 - u) * c_ + 2.0 * u * lvl_) * (1.0 - u) + u * u * lvl_; }

  T c_, lvl_, a_, b_, fourA_, twoA_;
};
