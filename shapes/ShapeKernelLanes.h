// ShapeKernelLanes: the shaped-run loop written once over a set of lanes (2
// doubles with SSE2, 4 with AVX). Included only by ShapeKernelSse2.cpp and
// ShapeKernelAvx.cpp.
//
// Each group of lanes takes three steps: the curve levels of the group
// (independent per sample: one packed square root and division), the
// follower's envelope sample by sample (the only serial part: a dependent
// subtract, multiply and add per sample), then the gain and the clipper
// (independent per sample). The serial chain of one group overlaps the packed
// work of its neighbours in the processor, and the knee's square roots and
// divisions run only for a channel with a sample beyond the knee. Every lane
// computes exactly what the scalar formulas do, in the same order.
//
// Everything here has internal linkage, and the file calls no inline function
// of another header with double or float arguments: the AVX translation unit
// must not emit a copy of a shared function that the linker could pick for
// code running on a processor without AVX.
//
// Audio thread, under PlugLock: no allocation, no lock, no system call.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>

#include "shapes/ShapeCurve.h"
#include "shapes/ShapeKernel.h"
#include "shapes/ShapeStore.h"

namespace {

// The vector types carry no may_alias attribute (as __m128d does), so they can
// be template arguments; they convert to and from the intrinsics' types.
struct Sse2Lanes {
  using Vec = SamplePair;
  static constexpr int kWidth = 2;
  static Vec Broadcast(double x) { return _mm_set1_pd(x); }
  static Vec Ramp() { return _mm_set_pd(1.0, 0.0); }  // lane j holds j
  static Vec Load(const double* p) { return _mm_loadu_pd(p); }
  static Vec Load(const float* p) {
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
  }
  static void Store(double* p, Vec v) { _mm_storeu_pd(p, v); }
  static void Store(float* p, Vec v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(_mm_cvtpd_ps(v))); }
  static Vec Abs(Vec v) { return _mm_andnot_pd(_mm_set1_pd(-0.0), v); }
  // The second operand for NaN, as std::max(b, a) gives a.
  static Vec Max(Vec a, Vec b) { return _mm_max_pd(a, b); }
  static Vec Greater(Vec a, Vec b) { return _mm_cmpgt_pd(a, b); }
  static Vec Less(Vec a, Vec b) { return _mm_cmplt_pd(a, b); }
  static Vec AtLeast(Vec a, Vec b) { return _mm_cmpge_pd(a, b); }
  static Vec AtMost(Vec a, Vec b) { return _mm_cmple_pd(a, b); }
  static Vec NotEqual(Vec a, Vec b) { return _mm_cmpneq_pd(a, b); }
  static Vec And(Vec a, Vec b) { return _mm_and_pd(a, b); }
  static Vec Or(Vec a, Vec b) { return _mm_or_pd(a, b); }
  static int Mask(Vec m) { return _mm_movemask_pd(m); }
  static Vec Select(Vec m, Vec yes, Vec no) { return _mm_or_pd(_mm_and_pd(m, yes), _mm_andnot_pd(m, no)); }
};

#if defined(__AVX__)
struct AvxLanes {
  using Vec = SampleQuad;
  static constexpr int kWidth = 4;
  static Vec Broadcast(double x) { return _mm256_set1_pd(x); }
  static Vec Ramp() { return _mm256_set_pd(3.0, 2.0, 1.0, 0.0); }
  static Vec Load(const double* p) { return _mm256_loadu_pd(p); }
  static Vec Load(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
  static void Store(double* p, Vec v) { _mm256_storeu_pd(p, v); }
  static void Store(float* p, Vec v) { _mm_storeu_ps(p, _mm256_cvtpd_ps(v)); }
  static Vec Abs(Vec v) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v); }
  static Vec Max(Vec a, Vec b) { return _mm256_max_pd(a, b); }
  static Vec Greater(Vec a, Vec b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
  static Vec Less(Vec a, Vec b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  static Vec AtLeast(Vec a, Vec b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
  static Vec AtMost(Vec a, Vec b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
  static Vec NotEqual(Vec a, Vec b) { return _mm256_cmp_pd(a, b, _CMP_NEQ_UQ); }
  static Vec And(Vec a, Vec b) { return _mm256_and_pd(a, b); }
  static Vec Or(Vec a, Vec b) { return _mm256_or_pd(a, b); }
  static int Mask(Vec m) { return _mm256_movemask_pd(m); }
  // Bitwise, not BLENDVPD: GCC turns a blend of compared values into branches per lane.
  static Vec Select(Vec m, Vec yes, Vec no) { return _mm256_or_pd(_mm256_and_pd(m, yes), _mm256_andnot_pd(m, no)); }
};
#endif

// Shapes count samples of both channels in groups of L::kWidth; the last
// group may be partial. See ShapeStore::ShapeRun for the formulas.
template <class L, class Sample>
void RunLanes(const ShapeRunSetup& run, double first, Sample* left, Sample* right, int64_t count,
              FollowerState& state) {
  using Vec = typename L::Vec;
  constexpr int kWidth = L::kWidth;
  const ShapeCurve& curve = *run.curve;
  const double attack = run.attack;
  const double release = run.release;
  const Vec kneeFactor = L::Broadcast(run.kneeFactor);
  const Vec w = L::Broadcast(run.blend);
  const Vec dry = L::Broadcast(run.dry);
  const Vec floor = L::Broadcast(ShapeStore::kEnvelopeFloor);
  const Vec maxGain = L::Broadcast(ShapeStore::kMaxGain);
  const Vec zero = L::Broadcast(0.0);

  double env = state.envelope;
  Vec lastGain = L::Broadcast(state.gain);
  int lastLane = 0;
  Vec n = L::Broadcast(first) + L::Ramp();  // exact: positions are integers far below 2^53
  for (int64_t i = 0; i < count; i += kWidth, n += static_cast<double>(kWidth)) {
    const int lanes = count - i < kWidth ? static_cast<int>(count - i) : kWidth;
    const int used = (1 << lanes) - 1;
    Vec l;
    Vec r;
    if (lanes == kWidth) {
      l = L::Load(left + i);
      r = L::Load(right + i);
    } else {
      Sample partLeft[kWidth] = {};
      Sample partRight[kWidth] = {};
      std::memcpy(partLeft, left + i, static_cast<size_t>(lanes) * sizeof(Sample));
      std::memcpy(partRight, right + i, static_cast<size_t>(lanes) * sizeof(Sample));
      l = L::Load(partLeft);
      r = L::Load(partRight);
    }

    // Curve levels of the group.
    const Vec lvl = curve.Level(n);

    // The peak envelope, sample by sample. std::max(|l|, |r|) keeps |l| when
    // either is NaN, as MAXPD keeps its second operand. The envelopes are
    // gathered in a register: a vector load of four scalar stores would wait
    // for the stores to retire.
    const Vec peaks = L::Max(L::Abs(r), L::Abs(l));
    Vec envs = zero;
#pragma GCC unroll 4
    for (int j = 0; j < kWidth; ++j) {
      if (j < lanes) {
        const double peak = peaks[j];
        // Selecting the coefficient rather than branching keeps noisy input free of mispredictions.
        const double coef = peak > env ? attack : release;
        env = peak + (env - peak) * coef;
        if (!(env >= ShapeStore::kEnvelopeFloor && env <= DBL_MAX)) env = shapekernel::MendEnvelope(env, lvl[j]);
      }
      envs[j] = env;
    }

    // Follower gain, then the clipper on each channel.
    Vec g = lvl / envs * dry + w;
    if (~L::Mask(L::And(L::AtLeast(g, floor), L::AtMost(g, maxGain))) & used) {
      // A gain outside floor .. maxGain: capped at +-maxGain, 0 for a tiny
      // one, 1 for NaN; other negative gains stay.
      const Vec nan = L::NotEqual(g, g);
      Vec mended = L::Select(nan, L::Broadcast(1.0), g);
      mended = L::Select(L::Less(L::Abs(g), floor), zero, mended);
      mended = L::Select(L::Less(g, -maxGain), -maxGain, mended);
      g = L::Select(L::Greater(g, maxGain), maxGain, mended);
    }
    const Vec gl = l * g;
    const Vec gr = r * g;
    const Vec c = lvl * kneeFactor;
    const Vec aboveL = L::Greater(gl, c);
    const Vec belowL = L::Less(gl, -c);
    const Vec aboveR = L::Greater(gr, c);
    const Vec belowR = L::Less(gr, -c);
    Vec outL = gl;
    Vec outR = gr;
    // The knee's square roots and divisions run only for a channel with a
    // sample beyond the knee in this group.
    const int clipL = L::Mask(L::Or(aboveL, belowL)) & used;
    const int clipR = L::Mask(L::Or(aboveR, belowR)) & used;
    if (clipL | clipR) {
      const Knee<Vec> knee(c, lvl);
      const Vec regular = L::And(L::Greater(lvl, zero), L::NotEqual(knee.QuadraticCoefficient(), zero));
      const int irregular = ~L::Mask(regular) & used;
      // Above the knee the shaped output weighs against the dry sample; below
      // -c the same with the sign turned; in between the sample stays.
      auto clip = [&](Vec v, Vec above, Vec below) {
        const Vec magnitude = L::Abs(v);
        Vec y = knee.Output(magnitude);
        if (irregular) {
          double cs[kWidth], levels[kWidth], magnitudes[kWidth], ys[kWidth];
          L::Store(cs, c);
          L::Store(levels, lvl);
          L::Store(magnitudes, magnitude);
          L::Store(ys, y);
          for (int j = 0; j < lanes; ++j) {
            if (irregular & (1 << j)) ys[j] = shapekernel::DegenerateKnee(cs[j], levels[j], magnitudes[j]);
          }
          y = L::Load(ys);
        }
        const Vec shaped = y * w;
        return L::Select(above, shaped + v * dry, L::Select(below, -shaped + v * dry, v));
      };
      if (clipL) outL = clip(gl, aboveL, belowL);
      if (clipR) outR = clip(gr, aboveR, belowR);
    }

    if (lanes == kWidth) {
      L::Store(left + i, outL);
      L::Store(right + i, outR);
    } else {
      Sample partLeft[kWidth];
      Sample partRight[kWidth];
      L::Store(partLeft, outL);
      L::Store(partRight, outR);
      std::memcpy(left + i, partLeft, static_cast<size_t>(lanes) * sizeof(Sample));
      std::memcpy(right + i, partRight, static_cast<size_t>(lanes) * sizeof(Sample));
    }
    lastGain = g;
    lastLane = lanes - 1;
  }
  double gains[kWidth];
  L::Store(gains, lastGain);
  state.envelope = env;
  state.gain = gains[lastLane];
}

}  // namespace
