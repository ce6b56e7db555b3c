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

#include "shapes/ShapeCurve.h"
#include "shapes/ShapeStore.h"

namespace {

// A segment setting limited to 0..1, NaN taking the default, as a restore
// would leave it; only a list built by hand can hold anything else.
double Setting(double value, double fallback) {
  if (value >= 0.0) return value <= 1.0 ? value : 1.0;
  return value < 0.0 ? 0.0 : fallback;
}

// Weighs the knee's output y for the magnitude of v against v itself; inside
// the knee's start v stays.
inline double Clip(double v, double y, double c, double w, double dry) {
  const double shaped = y * w;
  return v > c ? shaped + v * dry : (v < -c ? -shaped + v * dry : v);
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
  attackCoef = shapemath::Exp(-1.0 / (((1.0 - f) * 18.0 + 2.0) * sr * 0.001));
  releaseCoef = shapemath::Exp(-1.0 / (sr * ((1.0 - f) * 180.0 + 20.0) * 0.001));
  const double attack = attackCoef;
  const double release = releaseCoef;
  const double kneeFactor = 1.0 - 0.75 * q;
  const double dry = 1.0 - w;

  // The peak envelope after one more sample. Selecting the coefficient rather
  // than branching keeps noisy input free of mispredictions.
  auto follow = [attack, release](double env, double l, double r, double lvl) {
    const double peak = std::max(std::fabs(l), std::fabs(r));
    const double coef = peak > env ? attack : release;
    env = peak + (env - peak) * coef;
    if (!(env >= kEnvelopeFloor && env <= DBL_MAX)) env = MendEnvelope(env, lvl);
    return env;
  };
  // Applies the follower gain and the clipper to one sample of both channels;
  // returns the gain used.
  auto shape = [kneeFactor, w, dry](double& left, double& right, double lvl, double g) {
    if (!(g >= kEnvelopeFloor && g <= kMaxGain)) g = MendGain(g);
    const double l = left * g;
    const double r = right * g;
    const double c = lvl * kneeFactor;
    const Knee knee(c, lvl);
    double yl;
    double yr;
    if (knee.Regular()) {
      const SamplePair y = knee.Output(SamplePair{std::fabs(l), std::fabs(r)});
      yl = y[0];
      yr = y[1];
    } else {
      yl = knee.Degenerate(std::fabs(l));
      yr = knee.Degenerate(std::fabs(r));
    }
    left = Clip(l, yl, c, w, dry);
    right = Clip(r, yr, c, w, dry);
    return g;
  };

  // Two samples a step: their curve levels and follower gains are solved as
  // pairs; the envelope itself runs sample by sample.
  double env = envelope;
  double g = gain;
  double n = static_cast<double>(from);
  const int64_t count = to - from;
  int64_t i = 0;
  for (; i + 1 < count; i += 2, n += 2.0) {
    const SamplePair lvl = curve.Level(SamplePair{n, n + 1.0});
    const double env0 = follow(env, left[i], right[i], lvl[0]);
    env = follow(env0, left[i + 1], right[i + 1], lvl[1]);
    const SamplePair gains = lvl / SamplePair{env0, env} * dry + w;
    shape(left[i], right[i], lvl[0], gains[0]);
    g = shape(left[i + 1], right[i + 1], lvl[1], gains[1]);
  }
  if (i < count) {
    const double lvl = curve.Level(n);
    env = follow(env, left[i], right[i], lvl);
    g = shape(left[i], right[i], lvl, lvl / env * dry + w);
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
