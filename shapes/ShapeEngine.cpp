// The gain-shape engine: the ShapeStore operations that run on the audio
// thread in every process call. Inside a segment a peak-envelope follower and
// a soft-knee clipper bring the audio to the curve's level, weighed by the
// segment's blend; outside every segment the follower gain eases back to 1.
//
// Everything here runs on the audio thread under PlugLock: no allocation, no
// lock, no system call. The arithmetic keeps its order of operations so that
// every build gives the same bits.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "shapes/ShapeStore.h"

namespace {

// A segment's curve, prepared once so that each sample costs one square root.
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

  // Solves position(t) = n for t in 0..1 and evaluates the level there. The
  // discriminant and t are clamped, so rounding (or a point outside the
  // segment) can never produce a NaN.
  double Level(double n) const {
    double t;
    if (a_ == 0.0) {
      t = b_ != 0.0 ? -(s_ - n) / b_ : 0.0;  // the control point lies midway
    } else {
      t = (std::sqrt(std::max(0.0, bb_ - fourA_ * (s_ - n))) - b_) / twoA_;
    }
    t = t > 0.0 ? (t < 1.0 ? t : 1.0) : 0.0;
    return ((1.0 - t) * ls_ + 2.0 * t * lc_) * (1.0 - t) + t * t * le_;
  }

 private:
  double s_, a_, b_, bb_, fourA_, twoA_, ls_, lc_, le_;
};

// A segment setting in 0..1; a value outside (only possible when a list was
// built by hand) falls back to the default.
double Setting(double value, double fallback) {
  return value >= 0.0 && value <= 1.0 ? value : fallback;
}

// Output of the clipper's quadratic knee for a magnitude v above the knee
// start c. The knee runs from input c to 2 * lvl, output c to lvl; louder input
// gives lvl (the parameter u stops at 1 rather than following the curve down).
double KneeOutput(double v, double c, double lvl) {
  if (!(lvl > 0.0)) return 0.0;  // a level of 0 is a ceiling of 0: nothing to solve
  const double a = c - 2.0 * lvl + 2.0 * lvl;
  const double b = 2.0 * (lvl - c);
  double u;
  if (a == 0.0) {
    u = b != 0.0 ? -(c - v) / b : 1.0;
  } else {
    u = (std::sqrt(std::max(0.0, b * b - 4.0 * a * (c - v))) - b) / (2.0 * a);
  }
  u = u > 0.0 ? (u < 1.0 ? u : 1.0) : (u <= 0.0 ? 0.0 : 1.0);
  return ((1.0 - u) * c + 2.0 * u * lvl) * (1.0 - u) + u * u * lvl;
}

// The envelope after a non-finite value or a fall below the floor.
double MendEnvelope(double envelope, double lvl) {
  if (envelope < ShapeStore::kEnvelopeFloor) return ShapeStore::kEnvelopeFloor;
  return lvl >= ShapeStore::kEnvelopeFloor && lvl <= DBL_MAX ? lvl : ShapeStore::kEnvelopeFloor;
}

// The gain after a value outside kEnvelopeFloor .. kMaxGain.
double MendGain(double gain) {
  if (gain > ShapeStore::kMaxGain) return ShapeStore::kMaxGain;
  if (gain < -ShapeStore::kMaxGain) return -ShapeStore::kMaxGain;
  if (std::fabs(gain) < ShapeStore::kEnvelopeFloor) return 0.0;
  return gain == gain ? gain : 1.0;
}

}  // namespace

double ShapeStore::CurveLevel(const ShapeSegment& segment, int64_t position) {
  return ShapeCurve(segment).Level(static_cast<double>(position));
}

void ShapeStore::ApplyShapes(double* left, double* right, int32_t pos, int32_t count) {
  if (count <= 0 || !left || !right) return;
  int64_t position = pos;
  int64_t remaining = count;
  ShapeSegment* const* items = segments_.Items();
  const int segmentCount = Count();
  while (remaining > 0) {
    const int64_t last = position + remaining - 1;
    int k = 0;
    while (k < segmentCount &&
           (items[k]->bypass || items[k]->end.pos <= position || items[k]->start.pos > last)) {
      ++k;
    }
    if (k == segmentCount) {
      SmoothToUnity(left, right, remaining);
      return;
    }
    const ShapeSegment& segment = *items[k];
    if (segment.start.pos > position) {
      const int64_t lead = segment.start.pos - position;
      SmoothToUnity(left, right, lead);
      left += lead;
      right += lead;
      position += lead;
      remaining -= lead;
      continue;
    }
    if (k != currentIndex) {
      // Entering a segment, also again after a gap, starts the follower at the curve.
      const double level = CurveLevel(segment, position);
      envelope = level >= kEnvelopeFloor && level <= DBL_MAX ? level : MendEnvelope(level, level);
      currentIndex = k;
    }
    const int64_t runEnd = std::min<int64_t>(segment.end.pos, position + remaining);
    const int64_t run = runEnd - position;
    if (segment.mute) {
      std::memset(left, 0, static_cast<size_t>(run) * sizeof(double));
      std::memset(right, 0, static_cast<size_t>(run) * sizeof(double));
    } else {
      ShapeRun(left, right, position, runEnd, segment);
    }
    left += run;
    right += run;
    position = runEnd;
    remaining -= run;
  }
}

void ShapeStore::ShapeRun(double* left, double* right, int64_t from, int64_t to, const ShapeSegment& segment) {
  const ShapeCurve curve(segment);
  const double f = Setting(segment.follow, 0.5);
  const double q = Setting(segment.clip, 1.0);
  const double w = Setting(segment.blend, 0.5);
  const double sr = sampleRate;
  attackCoef = std::exp(-1.0 / (((1.0 - f) * 18.0 + 2.0) * sr * 0.001));
  releaseCoef = std::exp(-1.0 / (sr * ((1.0 - f) * 180.0 + 20.0) * 0.001));
  const double attack = attackCoef;
  const double release = releaseCoef;
  const double kneeFactor = 1.0 - 0.75 * q;
  const double dry = 1.0 - w;

  double env = envelope;
  double g = gain;
  double n = static_cast<double>(from);
  const int64_t count = to - from;
  for (int64_t i = 0; i < count; ++i, n += 1.0) {
    double l = left[i];
    double r = right[i];
    const double peak = std::max(std::fabs(l), std::fabs(r));
    env = peak > env ? peak + (env - peak) * attack : peak + (env - peak) * release;
    const double lvl = curve.Level(n);
    if (!(env >= kEnvelopeFloor && env <= DBL_MAX)) env = MendEnvelope(env, lvl);
    g = lvl / env * dry + w;
    if (!(g >= kEnvelopeFloor && g <= kMaxGain)) g = MendGain(g);
    l *= g;
    r *= g;
    const double c = lvl * kneeFactor;
    if (l > c) {
      l = KneeOutput(l, c, lvl) * w + l * dry;
    } else if (l < -c) {
      l = -KneeOutput(-l, c, lvl) * w + l * dry;
    }
    if (r > c) {
      r = KneeOutput(r, c, lvl) * w + r * dry;
    } else if (r < -c) {
      r = -KneeOutput(-r, c, lvl) * w + r * dry;
    }
    left[i] = l;
    right[i] = r;
  }
  envelope = env;
  gain = g;
}

void ShapeStore::SmoothToUnity(double* left, double* right, int64_t count) {
  currentIndex = -1;
  if (gain == 1.0) return;
  if (!(std::fabs(gain) <= kMaxGain)) {
    gain = 1.0;
    return;
  }
  const double release = releaseCoef;
  double g = gain;
  for (int64_t i = 0; i < count; ++i) {
    g = (g - 1.0) * release + 1.0;
    if (std::fabs(g - 1.0) < kUnitySnap) {
      g = 1.0;
      break;
    }
    left[i] *= g;
    right[i] *= g;
  }
  gain = g;
}
