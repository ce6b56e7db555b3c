// The gain-shape engine: the ShapeStore operations that run on the audio
// thread in every process call. Inside a segment a peak-envelope follower and
// a soft-knee clipper bring the audio to the curve's level, weighed by the
// segment's blend; outside every segment the follower gain eases back to 1.
// The per-sample loop of a shaped run lives in ShapeKernel*.cpp.
//
// Everything here runs on the audio thread under PlugLock: no allocation, no
// lock, no system call. The arithmetic keeps its order of operations so that
// every build gives the same bits, for double and for float samples.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "shapes/ShapeCurve.h"
#include "shapes/ShapeKernel.h"
#include "shapes/ShapeStore.h"

namespace {

// A segment setting limited to 0..1, NaN taking the default, as a restore
// would leave it; only a list built by hand can hold anything else.
double Setting(double value, double fallback) {
  if (value >= 0.0) return value <= 1.0 ? value : 1.0;
  return value < 0.0 ? 0.0 : fallback;
}

}  // namespace

namespace shapekernel {

bool AvxUsable() {
#if defined(__x86_64__)
  // The processor's check also asks the system whether it saves AVX registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx");
#else
  return false;
#endif
}

double DegenerateKnee(double c, double lvl, double v) { return Knee<double>(c, lvl).Degenerate(v); }

}  // namespace shapekernel

double ShapeStore::CurveLevel(const ShapeSegment& segment, int64_t position) {
  return ShapeCurve(segment).Level(static_cast<double>(position));
}

void ShapeStore::ApplyShapes(double* left, double* right, int32_t pos, int32_t count) {
  ApplyShapesTo(left, right, pos, count);
}

void ShapeStore::ApplyShapes(float* left, float* right, int32_t pos, int32_t count) {
  ApplyShapesTo(left, right, pos, count);
}

void ShapeStore::ShapeRun(double* left, double* right, int64_t from, int64_t to, const ShapeSegment& segment) {
  ShapeRunOn(left, right, from, to, segment);
}

void ShapeStore::ShapeRun(float* left, float* right, int64_t from, int64_t to, const ShapeSegment& segment) {
  ShapeRunOn(left, right, from, to, segment);
}

void ShapeStore::SmoothToUnity(double* left, double* right, int64_t count) { SmoothOn(left, right, count); }

void ShapeStore::SmoothToUnity(float* left, float* right, int64_t count) { SmoothOn(left, right, count); }

template <class Sample>
void ShapeStore::ApplyShapesTo(Sample* left, Sample* right, int32_t pos, int32_t count) {
  if (count <= 0 || !left || !right) return;
  int64_t position = pos;
  int64_t remaining = count;
  ShapeSegment* const* items = segments_.Items();
  const int segmentCount = Count();
  // The block's last sample stays the same from step to step and the position
  // only grows, so a segment passed over in one step fails again in the next:
  // each step goes on scanning where the previous one stopped. Across blocks,
  // segments that are bypassed or end before an earlier block's start stay
  // passed over while the list is unchanged and the position does not go back.
  const int64_t last = position + remaining - 1;
  const int known = scanList_ == listChanges_ && position >= scanPosition_ ? scanFrom_ : 0;
  int k = known;
  while (k < segmentCount &&
         (items[k]->bypass || items[k]->end.pos <= position || items[k]->start.pos > last)) {
    ++k;
  }
  int passed = known;
  while (passed < k && (items[passed]->bypass || items[passed]->end.pos <= position)) ++passed;
  scanFrom_ = passed;
  scanPosition_ = position;
  scanList_ = listChanges_;
  while (remaining > 0) {
    while (k < segmentCount &&
           (items[k]->bypass || items[k]->end.pos <= position || items[k]->start.pos > last)) {
      ++k;
    }
    if (k == segmentCount) {
      SmoothOn(left, right, remaining);
      return;
    }
    const ShapeSegment& segment = *items[k];
    if (segment.start.pos > position) {
      const int64_t lead = segment.start.pos - position;
      SmoothOn(left, right, lead);
      left += lead;
      right += lead;
      position += lead;
      remaining -= lead;
      continue;
    }
    if (k != currentIndex) {
      // Entering a segment, also again after a gap, starts the follower at the curve.
      const double level = CurveLevel(segment, position);
      envelope = level >= kEnvelopeFloor && level <= DBL_MAX ? level : shapekernel::MendEnvelope(level, level);
      currentIndex = k;
    }
    const int64_t runEnd = std::min<int64_t>(segment.end.pos, position + remaining);
    const int64_t run = runEnd - position;
    if (segment.mute) {
      std::memset(left, 0, static_cast<size_t>(run) * sizeof(Sample));
      std::memset(right, 0, static_cast<size_t>(run) * sizeof(Sample));
    } else {
      ShapeRunOn(left, right, position, runEnd, segment);
    }
    left += run;
    right += run;
    position = runEnd;
    remaining -= run;
  }
}

template <class Sample>
void ShapeStore::ShapeRunOn(Sample* left, Sample* right, int64_t from, int64_t to, const ShapeSegment& segment) {
  const ShapeCurve curve(segment);
  const double f = Setting(segment.follow, 0.5);
  const double q = Setting(segment.clip, 1.0);
  const double w = Setting(segment.blend, 0.5);
  const double sr = sampleRate;
  attackCoef = shapemath::Exp(-1.0 / (((1.0 - f) * 18.0 + 2.0) * sr * 0.001));
  releaseCoef = shapemath::Exp(-1.0 / (sr * ((1.0 - f) * 180.0 + 20.0) * 0.001));
  const ShapeRunSetup setup{&curve, attackCoef, releaseCoef, 1.0 - 0.75 * q, w, 1.0 - w};
  FollowerState state{envelope, gain};
  const double first = static_cast<double>(from);
#if defined(__x86_64__)
  if (wideVectors) {
    shapekernel::RunAvx(setup, first, left, right, to - from, state);
  } else {
    shapekernel::RunSse2(setup, first, left, right, to - from, state);
  }
#else
  shapekernel::RunSse2(setup, first, left, right, to - from, state);
#endif
  envelope = state.envelope;
  gain = state.gain;
}

template <class Sample>
void ShapeStore::SmoothOn(Sample* left, Sample* right, int64_t count) {
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
    left[i] = static_cast<Sample>(left[i] * g);
    right[i] = static_cast<Sample>(right[i] * g);
  }
  gain = g;
}
