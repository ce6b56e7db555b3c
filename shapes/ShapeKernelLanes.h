// ShapeKernelLanes: the shaped-run loop written once over a set of lanes (2
// doubles with SSE2, 4 with AVX). Included only by ShapeKernelSse2.cpp and
// ShapeKernelAvx.cpp.
//
// Each group of lanes takes three steps: the curve levels of the group
// (independent per sample: one packed square root and division), the
// follower's envelope sample by sample (the only serial part: a dependent
// subtract, multiply and add per sample), then the gain and the clipper
// (independent per sample). The loop runs the first two steps of one group
// next to the last step of the group before it, so the processor overlaps the
// serial chain with the packed square roots and divisions; the knee's run only
// for a channel with a sample beyond the knee. Every lane
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

  // A group of samples between the serial and the packed steps.
  struct Group {
    Vec l, r, lvl, envs;
    int64_t at;
    int lanes;
  };
  double env = state.envelope;

  // Loads a group, solves its curve levels and runs the follower through it.
  auto follow = [&](int64_t at) {
    Group group;
    group.at = at;
    group.lanes = count - at < kWidth ? static_cast<int>(count - at) : kWidth;
    if (group.lanes == kWidth) {
      group.l = L::Load(left + at);
      group.r = L::Load(right + at);
    } else {
      Sample partLeft[kWidth] = {};
      Sample partRight[kWidth] = {};
      std::memcpy(partLeft, left + at, static_cast<size_t>(group.lanes) * sizeof(Sample));
      std::memcpy(partRight, right + at, static_cast<size_t>(group.lanes) * sizeof(Sample));
      group.l = L::Load(partLeft);
      group.r = L::Load(partRight);
    }
    // Exact: positions are integers far below 2^53.
    group.lvl = curve.Level(L::Broadcast(first + static_cast<double>(at)) + L::Ramp());

    // The peak envelope, sample by sample. std::max(|l|, |r|) keeps |l| when
    // either is NaN, as MAXPD keeps its second operand. The envelopes are
    // gathered in a register: a vector load of four scalar stores would wait
    // for the stores to retire.
    const Vec peaks = L::Max(L::Abs(group.r), L::Abs(group.l));
    group.envs = zero;
#pragma GCC unroll 4
    for (int j = 0; j < kWidth; ++j) {
      if (j < group.lanes) {
        const double peak = peaks[j];
        // Selecting the coefficient rather than branching keeps noisy input free of mispredictions.
        const double coef = peak > env ? attack : release;
        env = peak + (env - peak) * coef;
        if (!(env >= ShapeStore::kEnvelopeFloor && env <= DBL_MAX)) env = shapekernel::MendEnvelope(env, group.lvl[j]);
      }
      group.envs[j] = env;
    }
    return group;
  };

  // Follower gain, then the clipper on each channel; stores the group and
  // returns the gains used.
  auto shape = [&](const Group& group) {
    const int lanes = group.lanes;
    const int used = (1 << lanes) - 1;
    const Vec lvl = group.lvl;
    Vec g = lvl / group.envs * dry + w;
    if (~L::Mask(L::And(L::AtLeast(g, floor), L::AtMost(g, maxGain))) & used) {
      // A gain outside floor .. maxGain: capped at +-maxGain, 0 for a tiny
      // one, 1 for NaN; other negative gains stay.
      const Vec nan = L::NotEqual(g, g);
      Vec mended = L::Select(nan, L::Broadcast(1.0), g);
      mended = L::Select(L::Less(L::Abs(g), floor), zero, mended);
      mended = L::Select(L::Less(g, -maxGain), -maxGain, mended);
      g = L::Select(L::Greater(g, maxGain), maxGain, mended);
    }
    const Vec gl = group.l * g;
    const Vec gr = group.r * g;
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
      L::Store(left + group.at, outL);
      L::Store(right + group.at, outR);
    } else {
      Sample partLeft[kWidth];
      Sample partRight[kWidth];
      L::Store(partLeft, outL);
      L::Store(partRight, outR);
      std::memcpy(left + group.at, partLeft, static_cast<size_t>(lanes) * sizeof(Sample));
      std::memcpy(right + group.at, partRight, static_cast<size_t>(lanes) * sizeof(Sample));
    }
    return g;
  };

  if (count <= 0) return;
  // Each step runs the follower through the next group before the packed
  // work of the previous one, so the processor finds both close together and
  // overlaps the serial chain with the square roots and divisions.
  Group pending = follow(0);
  for (int64_t at = kWidth; at < count; at += kWidth) {
    const Group next = follow(at);
    shape(pending);
    pending = next;
  }
  const Vec lastGain = shape(pending);
  const int lastLane = pending.lanes - 1;
  double gains[kWidth];
  L::Store(gains, lastGain);
  state.envelope = env;
  state.gain = gains[lastLane];
}

}  // namespace
