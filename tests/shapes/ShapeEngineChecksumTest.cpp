// The gain-shape engine's exact output, pinned by a checksum: random segment
// lists (levels of 0, tiny and large levels, control points at the ends and
// midway, settings at 0 and 1, muted and bypassed segments) over random signals
// (silence, denormals, loud stretches, NaN and infinities) in random block
// sizes. Any change of a single output bit changes the checksum, so a faster
// engine must give exactly the output this one has always given. The 4-lane
// AVX loop and float samples are held to the same output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "shapes/ShapeKernel.h"
#include "shapes/ShapeStore.h"

namespace {

// Values from raw generator output, so the cases do not depend on how a
// standard library implements its distributions.
class Dice {
 public:
  explicit Dice(uint64_t seed) : random_(seed) {}
  double Unit() { return static_cast<double>(random_() >> 11) * 0x1.0p-53; }
  int32_t Between(int32_t low, int32_t high) {
    return low + static_cast<int32_t>(random_() % static_cast<uint64_t>(high - low + 1));
  }
  // A setting that sits exactly at an end of 0..1 one time in five.
  double Setting() {
    const double u = Unit();
    return u < 0.1 ? 0.0 : u < 0.2 ? 1.0 : Unit();
  }
  double Level() {
    const double u = Unit();
    return u < 0.1 ? 0.0 : u < 0.15 ? 63.0 * Unit() : u < 0.2 ? 1e-12 : 2.0 * Unit();
  }

 private:
  std::mt19937_64 random_;
};

void FillList(ShapeStore& store, Dice& dice, int32_t end) {
  int32_t at = dice.Between(0, 500);
  while (at < end) {
    if (dice.Unit() < 0.5) at += dice.Between(1, 3000);  // a gap, or touching neighbours
    auto* segment = new ShapeSegment;
    segment->start.pos = at;
    segment->end.pos = at + (dice.Unit() < 0.05 ? dice.Between(0, 2) : dice.Between(1, 6000));
    const int32_t length = segment->end.pos - at;
    const double place = dice.Unit();
    segment->control.pos = place < 0.1    ? at
                           : place < 0.2  ? segment->end.pos
                           : place < 0.35 ? at + length / 2
                                          : at + static_cast<int32_t>(length * dice.Unit());
    segment->start.level = dice.Level();
    segment->control.level = dice.Unit() < 0.2 ? segment->start.level : dice.Level();
    segment->end.level = dice.Unit() < 0.2 ? segment->start.level : dice.Level();
    segment->follow = dice.Setting();
    segment->clip = dice.Setting();
    segment->blend = dice.Setting();
    segment->mute = dice.Unit() < 0.08;
    segment->bypass = dice.Unit() < 0.08;
    store.InsertSegment(store.Count(), segment);
    at = segment->end.pos;
  }
}

std::vector<double> Signal(Dice& dice, size_t frames, bool nonFinite) {
  std::vector<double> samples(frames);
  double amplitude = 0.5;
  for (size_t i = 0; i < frames; ++i) {
    if (i % 997 == 0) {
      const double u = dice.Unit();
      amplitude = u < 0.15 ? 0.0 : u < 0.25 ? 1e-310 : u < 0.35 ? 4.0 : u < 0.45 ? 1e-6 : 1.5 * dice.Unit();
    }
    samples[i] = amplitude * (2.0 * dice.Unit() - 1.0);
    if (nonFinite) {
      const double u = dice.Unit();
      if (u < 0.0005) {
        samples[i] = std::numeric_limits<double>::quiet_NaN();
      } else if (u < 0.001) {
        samples[i] = (dice.Unit() < 0.5 ? 1.0 : -1.0) * std::numeric_limits<double>::infinity();
      } else if (u < 0.002) {
        samples[i] = 1e300;
      }
    }
  }
  return samples;
}

uint64_t Fnv1a(uint64_t hash, const void* data, size_t bytes) {
  const auto* byte = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < bytes; ++i) hash = (hash ^ byte[i]) * 1099511628211ull;
  return hash;
}

// Output of one random case (widened to double), with the follower state it ends in.
struct CaseOutput {
  std::vector<double> left, right;
  double gain = 0.0;
  double envelope = 0.0;
};

// Runs case `seed` through the engine with samples of type Sample, on the wide
// (AVX) or the SSE2 vectors; floatValues rounds the input to float values first.
template <class Sample>
CaseOutput RunCase(uint64_t seed, bool wide, bool floatValues) {
  constexpr size_t kFrames = 16384;
  Dice dice(seed);
  ShapeStore store;
  store.wideVectors = wide;
  FillList(store, dice, static_cast<int32_t>(kFrames));
  if (dice.Unit() < 0.3) {  // a follower left mid-way by earlier audio
    store.gain = 3.0 * dice.Unit();
    store.envelope = dice.Unit();
    store.releaseCoef = dice.Unit();
  }
  const bool nonFinite = seed % 5 == 4;
  std::vector<double> signals[2] = {Signal(dice, kFrames, nonFinite), Signal(dice, kFrames, nonFinite)};
  std::vector<Sample> audio[2];
  for (int c = 0; c < 2; ++c) {
    for (double v : signals[c]) audio[c].push_back(static_cast<Sample>(floatValues ? static_cast<float>(v) : v));
  }
  const int32_t pos = dice.Between(0, 300);
  for (size_t at = 0; at < kFrames;) {
    size_t block = static_cast<size_t>(dice.Unit() < 0.3 ? dice.Between(1, 16) : dice.Between(1, 2000));
    if (block > kFrames - at) block = kFrames - at;
    store.ApplyShapes(audio[0].data() + at, audio[1].data() + at, pos + static_cast<int32_t>(at),
                      static_cast<int32_t>(block));
    at += block;
  }
  return {{audio[0].begin(), audio[0].end()}, {audio[1].begin(), audio[1].end()}, store.gain, store.envelope};
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

uint64_t Checksum(const CaseOutput& out, uint64_t hash) {
  hash = Fnv1a(hash, out.left.data(), out.left.size() * sizeof(double));
  hash = Fnv1a(hash, out.right.data(), out.right.size() * sizeof(double));
  hash = Fnv1a(hash, &out.gain, sizeof out.gain);
  return Fnv1a(hash, &out.envelope, sizeof out.envelope);
}

constexpr int kCases = 30;

}  // namespace

TEST(ShapeEngineChecksum, RandomListsAndSignalsGiveTheKnownOutput) {
  uint64_t hash = 1469598103934665603ull;
  for (int c = 0; c < kCases; ++c) hash = Checksum(RunCase<double>(1000 + c, false, false), hash);
  EXPECT_EQ(hash, 0xf9e25d6bfb959a28ull) << std::hex << hash;
}

TEST(ShapeEngineChecksum, WideVectorsGiveTheSameOutputAsSse2) {
  if (!shapekernel::AvxUsable()) GTEST_SKIP() << "this processor has no AVX";
  for (int c = 0; c < kCases; ++c) {
    const CaseOutput narrow = RunCase<double>(1000 + c, false, false);
    const CaseOutput wide = RunCase<double>(1000 + c, true, false);
    SCOPED_TRACE(c);
    EXPECT_TRUE(SameBits(wide.left, narrow.left));
    EXPECT_TRUE(SameBits(wide.right, narrow.right));
    EXPECT_EQ(std::memcmp(&wide.gain, &narrow.gain, sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(&wide.envelope, &narrow.envelope, sizeof(double)), 0);
  }
}

// Float samples are shaped in double and rounded once: exactly the double
// engine's output for the same values, narrowed.
TEST(ShapeEngineChecksum, FloatSamplesGiveTheNarrowedDoubleOutput) {
  for (bool wide : {false, true}) {
    if (wide && !shapekernel::AvxUsable()) continue;
    for (int c = 0; c < kCases; c += 3) {
      CaseOutput expected = RunCase<double>(1000 + c, wide, true);
      for (auto* channel : {&expected.left, &expected.right}) {
        for (double& v : *channel) v = static_cast<float>(v);
      }
      const CaseOutput got = RunCase<float>(1000 + c, wide, true);
      SCOPED_TRACE(testing::Message() << "case " << c << (wide ? " AVX" : " SSE2"));
      EXPECT_TRUE(SameBits(got.left, expected.left));
      EXPECT_TRUE(SameBits(got.right, expected.right));
      EXPECT_EQ(got.gain, expected.gain);
    }
  }
}
