// The engine against its formulas: a plain, sample-by-sample transcription of
// the per-sample arithmetic (curve level, peak follower, soft knee, blend),
// with the engine's safeguards (envelope floor, gain cap, knee parameter held
// at 1, curve parameter clamped, segment choice by end), is run beside
// ApplyShapes on random segment lists and random blocks. The two must agree to
// within 1e-9 relative; they differ only in how e^x is computed and in how the
// engine pairs samples. A wrong coefficient anywhere would show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "shapes/ShapeStore.h"
#include "tests/shapes/ShapeTestUtil.h"

namespace {

struct Reference {
  int currentIndex = -1;
  double sampleRate = 44100.0;
  double envelope = 1.0;
  double gain = 1.0;
  double attack = 0.0;
  double release = 0.0;

  static double Level(const ShapeSegment& g, double n) {
    const double s = g.start.pos, c = g.control.pos, e = g.end.pos;
    const double a = s - 2.0 * c + e;
    const double b = 2.0 * (c - s);
    double t;
    if (a == 0.0) {
      t = b != 0.0 ? -(s - n) / b : 0.0;
    } else {
      t = (std::sqrt(std::max(0.0, b * b - 4.0 * a * (s - n))) - b) / (2.0 * a);
    }
    t = std::clamp(t, 0.0, 1.0);
    return ((1.0 - t) * g.start.level + 2.0 * t * g.control.level) * (1.0 - t) + t * t * g.end.level;
  }

  // The knee's output for a magnitude v above its start C, at curve level lvl.
  static double Knee(double v, double C, double lvl) {
    const double a = C - 2.0 * lvl + 2.0 * lvl;
    const double b = 2.0 * (lvl - C);
    double u = a == 0.0 ? -(C - v) / b : (std::sqrt(std::max(0.0, b * b - 4.0 * a * (C - v))) - b) / (2.0 * a);
    u = std::clamp(u, 0.0, 1.0);
    return ((1.0 - u) * C + 2.0 * u * lvl) * (1.0 - u) + u * u * lvl;
  }

  void Smooth(double* l, double* r, int64_t count) {
    currentIndex = -1;
    if (gain == 1.0) return;
    for (int64_t i = 0; i < count; ++i) {
      gain = (gain - 1.0) * release + 1.0;
      if (std::fabs(gain - 1.0) < 1e-8) {
        gain = 1.0;
        return;
      }
      l[i] *= gain;
      r[i] *= gain;
    }
  }

  void Run(double* l, double* r, int64_t from, int64_t to, const ShapeSegment& g) {
    const double f = g.follow, q = g.clip, w = g.blend, sr = sampleRate;
    attack = std::exp(-1.0 / (((1.0 - f) * 18.0 + 2.0) * sr * 0.001));
    release = std::exp(-1.0 / (sr * ((1.0 - f) * 180.0 + 20.0) * 0.001));
    const double kneeFactor = 1.0 - 0.75 * q;
    for (int64_t n = from; n < to; ++n, ++l, ++r) {
      const double peak = std::max(std::fabs(*l), std::fabs(*r));
      envelope = peak + (envelope - peak) * (peak > envelope ? attack : release);
      envelope = std::max(envelope, 1e-20);
      const double lvl = Level(g, static_cast<double>(n));
      gain = std::min(lvl / envelope * (1.0 - w) + w, 100.0);
      for (double* v : {l, r}) {
        *v *= gain;
        const double C = lvl * kneeFactor;
        if (*v > C) {
          *v = Knee(*v, C, lvl) * w + *v * (1.0 - w);
        } else if (*v < -C) {
          *v = -Knee(-*v, C, lvl) * w + *v * (1.0 - w);
        }
      }
    }
  }

  void Apply(const std::vector<const ShapeSegment*>& list, double* l, double* r, int64_t pos, int64_t n) {
    while (n > 0) {
      const int64_t last = pos + n - 1;
      int k = 0;
      const int count = static_cast<int>(list.size());
      while (k < count && (list[k]->bypass || list[k]->end.pos <= pos || list[k]->start.pos > last)) ++k;
      if (k == count) {
        Smooth(l, r, n);
        return;
      }
      const ShapeSegment& g = *list[static_cast<size_t>(k)];
      if (g.start.pos > pos) {
        const int64_t lead = g.start.pos - pos;
        Smooth(l, r, lead);
        l += lead, r += lead, pos += lead, n -= lead;
        continue;
      }
      if (k != currentIndex) {
        envelope = Level(g, static_cast<double>(pos));
        currentIndex = k;
      }
      const int64_t runEnd = std::min<int64_t>(g.end.pos, pos + n);
      const int64_t run = runEnd - pos;
      if (g.mute) {
        std::fill(l, l + run, 0.0);
        std::fill(r, r + run, 0.0);
      } else {
        Run(l, r, pos, runEnd, g);
      }
      l += run, r += run, pos = runEnd, n -= run;
    }
  }
};

// Random segments in order, curved (the control point anywhere inside), with
// settings across 0..1 and now and then muted or bypassed.
void RandomSegments(std::mt19937& random, ShapeStore& store) {
  std::uniform_int_distribution<int> countOf(1, 6), gap(0, 6000), length(50, 30000);
  std::uniform_real_distribution<double> unit(0.0, 1.0), level(0.02, 1.5);
  int32_t at = gap(random);
  for (int i = countOf(random); i > 0; --i) {
    const int32_t end = at + length(random);
    ShapeSegment* g = shapetest::MakeSegment(at, end, level(random), level(random), level(random));
    g->control.pos = at + static_cast<int32_t>(unit(random) * (end - at));
    g->follow = unit(random);
    g->clip = unit(random);
    g->blend = unit(random);
    g->mute = unit(random) < 0.1;
    g->bypass = unit(random) < 0.1;
    shapetest::Append(store, g);
    at = end + gap(random);
  }
}

TEST(EngineFormulas, ApplyShapesFollowsTheFormulasOnRandomSegments) {
  constexpr double kTolerance = 1e-9;  // relative, or absolute below 1
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    std::mt19937 random(seed);
    ShapeStore store;
    RandomSegments(random, store);
    std::vector<const ShapeSegment*> list;
    for (int i = 0; i < store.Count(); ++i) list.push_back(store.At(i));
    Reference reference;
    std::uniform_int_distribution<int> blockOf(1, 4096);
    std::uniform_real_distribution<double> amplitude(0.0005, 1.2), unit(0.0, 1.0);
    const int64_t total = store.At(store.Count() - 1)->end.pos + 3000;
    double worst = 0.0;
    for (int64_t pos = 0; pos < total;) {
      const int block = blockOf(random);
      const double loud = amplitude(random);
      std::vector<double> left = shapetest::Noise(static_cast<size_t>(block), random(), loud);
      std::vector<double> right = shapetest::Noise(static_cast<size_t>(block), random(), loud * unit(random));
      std::vector<double> refLeft = left, refRight = right;
      store.ApplyShapes(left.data(), right.data(), static_cast<int32_t>(pos), block);
      reference.Apply(list, refLeft.data(), refRight.data(), pos, block);
      for (int i = 0; i < block; ++i) {
        const size_t k = static_cast<size_t>(i);
        for (auto [got, want] : {std::pair{left[k], refLeft[k]}, std::pair{right[k], refRight[k]}}) {
          const double error = std::fabs(got - want) / std::max(1.0, std::fabs(want));
          worst = std::max(worst, error);
          ASSERT_LE(error, kTolerance) << "seed " << seed << " position " << pos + i;
        }
      }
      pos += block;
    }
    EXPECT_EQ(store.gain, reference.gain) << "seed " << seed;
    EXPECT_LE(worst, kTolerance);
  }
}

}  // namespace
