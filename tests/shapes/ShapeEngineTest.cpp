// The gain-shape engine: smoothing, segment choice, follower and clipper,
// finiteness in silence and at level 0, and independence of the block size.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "ShapeTestUtil.h"
#include "shapes/ShapeCurve.h"

using shapetest::Append;
using shapetest::MakeFlat;
using shapetest::MakeSegment;
using shapetest::Noise;

namespace {

struct Stereo {
  std::vector<double> left;
  std::vector<double> right;
};

Stereo NoisePair(size_t frames, uint32_t seed, double amplitude) {
  return {Noise(frames, seed, amplitude), Noise(frames, seed + 1000, amplitude)};
}

Stereo Constant(size_t frames, double value) {
  return {std::vector<double>(frames, value), std::vector<double>(frames, value)};
}

// Processes the whole signal in blocks of the given size starting at pos.
void Process(ShapeStore& store, Stereo& audio, int32_t pos, size_t block) {
  for (size_t at = 0; at < audio.left.size(); at += block) {
    const size_t frames = std::min(block, audio.left.size() - at);
    store.ApplyShapes(audio.left.data() + at, audio.right.data() + at, pos + static_cast<int32_t>(at),
                      static_cast<int32_t>(frames));
  }
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

void ExpectSameBits(const Stereo& a, const Stereo& b) {
  EXPECT_TRUE(SameBits(a.left, b.left));
  EXPECT_TRUE(SameBits(a.right, b.right));
}

// A list with gaps, touching neighbours, curves, a muted and a bypassed
// segment, and segments that end inside any block size used below.
void FillVariedList(ShapeStore& store) {
  Append(store, MakeSegment(1500, 4100, 0.2, 1.2, 0.4));
  store.At(0)->blend = 0.3;
  store.At(0)->follow = 0.9;
  Append(store, MakeFlat(4100, 4999, 0.05, 0.0, 0.0, 1.0));
  Append(store, MakeFlat(6001, 6700, 0.5));
  store.At(2)->mute = 1;
  Append(store, MakeFlat(6700, 9000, 0.3, 0.2, 0.5, 0.0));
  Append(store, MakeSegment(9000, 12003, 0.0, 0.8, 0.1));
  store.At(4)->bypass = 1;
  Append(store, MakeSegment(12003, 30011, 0.7, 0.01, 0.9));
  store.At(5)->control.pos = 12100;
  Append(store, MakeFlat(30500, 30501, 0.4, 1.0, 0.7, 0.6));
}

}  // namespace

TEST(ShapeEngine, NoSegmentsAtUnityGainPassesBitExact) {
  ShapeStore store;
  Stereo audio = NoisePair(3000, 1, 1.0);
  const Stereo input = audio;
  Process(store, audio, 0, 512);
  ExpectSameBits(audio, input);
  EXPECT_EQ(store.currentIndex, -1);
}

TEST(ShapeEngine, SmoothingEasesTheGainToUnityAndSnapsExactly) {
  ShapeStore store;
  store.gain = 0.5;
  store.releaseCoef = 0.99;
  store.currentIndex = 4;
  Stereo audio = NoisePair(4096, 2, 1.0);
  const Stereo input = audio;
  store.ApplyShapes(audio.left.data(), audio.right.data(), 0, 4096);

  double g = 0.5;
  size_t snapped = 0;
  for (size_t i = 0; i < 4096; ++i) {
    g = (g - 1.0) * 0.99 + 1.0;
    if (std::fabs(g - 1.0) < 1e-8) {
      snapped = i;
      break;
    }
    ASSERT_EQ(audio.left[i], input.left[i] * g) << i;
    ASSERT_EQ(audio.right[i], input.right[i] * g) << i;
  }
  ASSERT_GT(snapped, 1000u);
  for (size_t i = snapped; i < 4096; ++i) ASSERT_EQ(audio.left[i], input.left[i]) << i;
  EXPECT_EQ(store.gain, 1.0);
  EXPECT_EQ(store.currentIndex, -1);

  // Before any run the fall coefficient is 0: the first step reaches 1 at once.
  ShapeStore fresh;
  fresh.gain = 0.25;
  audio = input;
  fresh.ApplyShapes(audio.left.data(), audio.right.data(), 0, 16);
  EXPECT_EQ(fresh.gain, 1.0);
  EXPECT_EQ(audio.left[0], input.left[0]);
}

TEST(ShapeEngine, GapIntoASegmentIsSmoothedThenShaped) {
  auto setUp = [](ShapeStore& store) {
    Append(store, MakeSegment(100, 5000, 0.3, 0.9, 0.2));
    store.gain = 0.6;
    store.releaseCoef = 0.95;
  };
  ShapeStore store;
  setUp(store);
  Stereo audio = NoisePair(400, 3, 0.8);
  const Stereo input = audio;
  store.ApplyShapes(audio.left.data(), audio.right.data(), 0, 400);
  EXPECT_EQ(store.currentIndex, 0);

  ShapeStore smoothOnly;
  smoothOnly.gain = 0.6;
  smoothOnly.releaseCoef = 0.95;
  Stereo lead = {std::vector<double>(input.left.begin(), input.left.begin() + 100),
                 std::vector<double>(input.right.begin(), input.right.begin() + 100)};
  Process(smoothOnly, lead, 0, 100);
  ShapeStore shapeOnly;
  setUp(shapeOnly);
  Stereo rest = {std::vector<double>(input.left.begin() + 100, input.left.end()),
                 std::vector<double>(input.right.begin() + 100, input.right.end())};
  Process(shapeOnly, rest, 100, 300);

  lead.left.insert(lead.left.end(), rest.left.begin(), rest.left.end());
  lead.right.insert(lead.right.end(), rest.right.begin(), rest.right.end());
  ExpectSameBits(audio, lead);
  EXPECT_NE(audio.left[150], input.left[150]);
}

TEST(ShapeEngine, MutedSegmentGivesExactZerosAtBothPartialEndsAndKeepsTheFollower) {
  ShapeStore store;
  Append(store, MakeFlat(100, 300, 0.5));
  store.At(0)->mute = 1;
  Stereo audio = Constant(512, 0.7);
  Process(store, audio, 0, 64);  // 100 and 300 both fall inside blocks
  for (size_t i = 0; i < 512; ++i) {
    const double expected = i >= 100 && i < 300 ? 0.0 : 0.7;
    ASSERT_EQ(audio.left[i], expected) << i;
    ASSERT_EQ(audio.right[i], expected) << i;
  }

  // The follower gain carries across a muted segment; entering it still
  // restarts the envelope at the curve.
  store.gain = 0.8;
  store.envelope = 0.125;
  audio = Constant(50, 0.7);
  store.ApplyShapes(audio.left.data(), audio.right.data(), 120, 50);
  EXPECT_EQ(store.gain, 0.8);
  EXPECT_EQ(store.envelope, 0.5);
  EXPECT_EQ(audio.left[49], 0.0);
}

TEST(ShapeEngine, BypassedSegmentsActAsAbsentOneByOne) {
  ShapeStore withBypass;
  ShapeStore without;
  for (ShapeStore* store : {&withBypass, &without}) Append(*store, MakeFlat(0, 1000, 0.2, 0.7, 0.5, 0.3));
  Append(withBypass, MakeFlat(1000, 1500, 0.9));
  Append(withBypass, MakeFlat(1500, 2000, 0.9));
  withBypass.At(1)->bypass = 1;
  withBypass.At(1)->mute = 1;
  withBypass.At(2)->bypass = 1;
  for (ShapeStore* store : {&withBypass, &without}) Append(*store, MakeFlat(2000, 3000, 0.4, 0.3, 0.0, 0.8));

  Stereo a = NoisePair(3500, 4, 0.9);
  Stereo b = a;
  Process(withBypass, a, 0, 512);
  Process(without, b, 0, 512);
  ExpectSameBits(a, b);
  EXPECT_NE(a.left[1200], 0.0);
}

TEST(ShapeEngine, FullBlendWithHardClipLimitsToTheCurveOnly) {
  ShapeStore store;
  Append(store, MakeFlat(0, 100000, 0.5, 0.5, 0.0, 1.0));
  Stereo audio = NoisePair(4000, 5, 0.45);
  const Stereo quiet = audio;
  Process(store, audio, 0, 512);
  ExpectSameBits(audio, quiet);  // below the curve: untouched, bit for bit

  audio = NoisePair(4000, 6, 1.6);
  const Stereo loud = audio;
  Process(store, audio, 4000, 512);
  for (size_t i = 0; i < 4000; ++i) {
    for (auto [in, out] : {std::pair{loud.left[i], audio.left[i]}, std::pair{loud.right[i], audio.right[i]}}) {
      if (std::fabs(in) <= 0.5) {
        ASSERT_EQ(out, in) << i;
      } else {
        ASSERT_NEAR(out, std::copysign(0.5, in), 1e-12) << i;
      }
    }
  }
}

TEST(ShapeEngine, SoftKneeNeverTurnsLouderInputDown) {
  ShapeStore store;
  Append(store, MakeFlat(0, 100000, 0.5, 0.5, 1.0, 1.0));
  Stereo audio = Constant(3000, 0.0);
  for (size_t i = 0; i < 3000; ++i) {
    audio.left[i] = 3.0 * static_cast<double>(i) / 3000.0;
    audio.right[i] = -audio.left[i];
  }
  const Stereo input = audio;
  Process(store, audio, 0, 512);
  for (size_t i = 0; i < 3000; ++i) {
    ASSERT_EQ(audio.right[i], -audio.left[i]) << i;
    if (i > 0) {
      ASSERT_GE(audio.left[i], audio.left[i - 1] - 1e-12) << i;  // rounding at the flat top only
    }
    ASSERT_LE(audio.left[i], 0.5 + 1e-12) << i;
    if (input.left[i] <= 0.125) {
      ASSERT_EQ(audio.left[i], input.left[i]) << i;  // below the knee
    }
    if (input.left[i] >= 1.0) {
      ASSERT_NEAR(audio.left[i], 0.5, 1e-12) << i;  // beyond 2 x level
    }
  }
}

TEST(ShapeEngine, ZeroBlendFollowsTheLevel) {
  ShapeStore store;
  Append(store, MakeFlat(1000, 100000, 0.25, 0.5, 1.0, 0.0));
  Stereo audio = Constant(2000, 0.25);
  Process(store, audio, 1000, 256);
  for (size_t i = 0; i < 2000; ++i) {
    ASSERT_DOUBLE_EQ(audio.left[i], 0.25) << i;
    ASSERT_DOUBLE_EQ(audio.right[i], 0.25) << i;
  }
  // A quieter signal is brought up towards the level.
  audio = Constant(44100, 0.05);
  Process(store, audio, 3000, 512);
  EXPECT_NEAR(audio.left.back(), 0.25, 1e-3);
  EXPECT_LT(audio.left[0], 0.1);
}

TEST(ShapeEngine, TimeConstantsCountSamplesOfA44100HzRate) {
  EXPECT_EQ(ShapeStore().sampleRate, 44100.0);
  const double e = std::exp(-1.0);
  // follow 0: 20 ms rise, 882 samples at 44100 Hz.
  ShapeStore rise;
  Append(rise, MakeFlat(0, 100000, 0.5, 0.0, 1.0, 0.0));
  Stereo audio = Constant(1000, 1.0);
  Process(rise, audio, 0, 64);
  EXPECT_NEAR(audio.left[881], 0.5 / (1.0 - 0.5 * e), 1e-9);
  // follow 1: 20 ms fall.
  ShapeStore fall;
  Append(fall, MakeFlat(0, 100000, 0.5, 1.0, 1.0, 0.0));
  audio = Constant(1000, 0.25);
  Process(fall, audio, 0, 64);
  EXPECT_NEAR(audio.left[881], 0.25 * 0.5 / (0.25 + 0.25 * e), 1e-9);
}

TEST(ShapeEngine, ReenteringAfterAGapRestartsTheFollowerAtTheCurve) {
  auto setUp = [](ShapeStore& store) { Append(store, MakeSegment(0, 10000, 0.2, 0.6, 0.3)); };
  ShapeStore store;
  setUp(store);
  Stereo first = Constant(2000, 0.9);
  Process(store, first, 0, 512);  // moves the envelope well away from the curve
  Stereo gap = Constant(100, 0.1);
  Process(store, gap, 20000, 100);
  EXPECT_EQ(store.currentIndex, -1);
  Stereo again = NoisePair(700, 7, 0.5);
  Stereo reference = again;
  Process(store, again, 3000, 700);

  ShapeStore fresh;
  setUp(fresh);
  Process(fresh, reference, 3000, 700);
  ExpectSameBits(again, reference);
}

TEST(ShapeEngine, LevelZeroAndLongSilenceStayFiniteAndNormal) {
  for (double blend : {0.0, 0.25, 1.0}) {
    for (double clip : {0.0, 1.0}) {
      ShapeStore store;
      Append(store, MakeFlat(0, 1000000, 0.0, 1.0, clip, blend));
      Stereo audio = NoisePair(5000, 8, 1.0);
      const Stereo input = audio;
      Process(store, audio, 0, 512);
      for (size_t i = 0; i < 5000; ++i) {
        ASSERT_TRUE(std::isfinite(audio.left[i])) << blend << " " << clip << " " << i;
        ASSERT_LE(std::fabs(audio.left[i]), std::fabs(input.left[i])) << i;
      }
      EXPECT_EQ(std::fpclassify(store.envelope), FP_NORMAL);
    }
  }

  // Twenty seconds of digital silence (long enough for an unfloored envelope to
  // sink through the denormals to 0), then full scale, then near-silence.
  ShapeStore store;
  Append(store, MakeFlat(0, 10000000, 0.5, 1.0, 1.0, 0.0));
  Stereo silence = Constant(882000, 0.0);
  Process(store, silence, 0, 512);
  for (double v : silence.left) ASSERT_EQ(v, 0.0);
  EXPECT_EQ(std::fpclassify(store.envelope), FP_NORMAL);
  EXPECT_GE(store.envelope, ShapeStore::kEnvelopeFloor);

  Stereo audio = Constant(44100, 0.0);
  audio.left[0] = 1.0;
  for (size_t i = 1; i < audio.left.size(); ++i) audio.left[i] = audio.right[i] = (i & 1) ? 1e-6 : -1e-6;
  const Stereo input = audio;
  Process(store, audio, 882000, 512);
  for (size_t i = 0; i < audio.left.size(); ++i) {
    ASSERT_TRUE(std::isfinite(audio.left[i]) && std::isfinite(audio.right[i])) << i;
    ASSERT_LE(std::fabs(audio.left[i]), ShapeStore::kMaxGain * std::fabs(input.left[i])) << i;
  }
  EXPECT_EQ(std::fpclassify(store.envelope), FP_NORMAL);
  EXPECT_LE(store.gain, ShapeStore::kMaxGain);
}

TEST(ShapeEngine, NonFiniteInputDoesNotPoisonLaterOutput) {
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    ShapeStore store;
    Append(store, MakeFlat(0, 100000, 0.5, 0.5, 0.5, 0.5));
    Stereo audio = NoisePair(1000, 9, 0.9);
    audio.left[10] = bad;
    Process(store, audio, 0, 1000);
    for (size_t i = 11; i < 1000; ++i) ASSERT_TRUE(std::isfinite(audio.left[i])) << i;
    EXPECT_TRUE(std::isfinite(store.envelope));
    EXPECT_TRUE(std::isfinite(store.gain));
  }
}

TEST(ShapeEngine, PositionsNearTheInt32LimitUse64BitArithmetic) {
  const int32_t top = std::numeric_limits<int32_t>::max();
  ShapeStore store;
  Append(store, MakeFlat(top - 100, top, 0.5));
  store.At(0)->mute = 1;
  Stereo audio = Constant(100, 0.5);
  store.ApplyShapes(audio.left.data(), audio.right.data(), top - 50, 100);
  for (size_t i = 0; i < 100; ++i) ASSERT_EQ(audio.left[i], i < 50 ? 0.0 : 0.5) << i;
}

TEST(ShapeEngine, CurveLevelSolvesThePositionAndClampsOutside) {
  const ShapeSegment* line = MakeSegment(1000, 3000, 0.2, 0.6, 1.0);
  EXPECT_DOUBLE_EQ(ShapeStore::CurveLevel(*line, 1500), 0.4);
  EXPECT_EQ(ShapeStore::CurveLevel(*line, 1000), 0.2);
  EXPECT_EQ(ShapeStore::CurveLevel(*line, 3000), 1.0);
  EXPECT_EQ(ShapeStore::CurveLevel(*line, -5), 0.2);
  EXPECT_EQ(ShapeStore::CurveLevel(*line, int64_t{1} << 40), 1.0);
  delete line;

  ShapeSegment* curve = MakeSegment(0, 10000, 0.1, 2.0, 0.3);
  curve->control.pos = 9000;
  for (double t : {0.1, 0.25, 0.5, 0.9}) {
    const double pos = 2 * t * (1 - t) * 9000 + t * t * 10000;
    const double level = (1 - t) * (1 - t) * 0.1 + 2 * t * (1 - t) * 2.0 + t * t * 0.3;
    const double n = std::round(pos);
    // The level at the nearest sample lies within one sample's slope of the exact one.
    EXPECT_NEAR(ShapeStore::CurveLevel(*curve, static_cast<int64_t>(n)), level, 0.01) << t;
  }
  curve->start.pos = curve->control.pos = curve->end.pos = 50;  // no extent at all
  EXPECT_TRUE(std::isfinite(ShapeStore::CurveLevel(*curve, 50)));
  EXPECT_TRUE(std::isfinite(ShapeStore::CurveLevel(*curve, 60)));
  delete curve;
}

TEST(ShapeEngineBlocks, OutputDoesNotDependOnTheBlockSize) {
  Stereo input = NoisePair(40000, 10, 1.0);
  for (size_t i = 0; i < 40000; ++i) {
    const double swell = 0.05 + 0.95 * std::fabs(std::sin(static_cast<double>(i) * 0.0007));
    input.left[i] *= swell;
    input.right[i] *= swell;
    if (i >= 20000 && i < 24000) input.left[i] = input.right[i] = 0.0;
  }
  Stereo reference;
  for (size_t block : {4096, 512, 64, 7, 1}) {
    ShapeStore store;
    FillVariedList(store);
    Stereo audio = input;
    Process(store, audio, 1000, block);
    if (reference.left.empty()) {
      reference = audio;
      continue;
    }
    SCOPED_TRACE(block);
    ExpectSameBits(audio, reference);
  }
  EXPECT_FALSE(SameBits(reference.left, input.left));
}

TEST(ShapeEngineBlocks, RandomListsGiveTheSameOutputInAnyBlockSize) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    auto fill = [&](ShapeStore& store) {
      std::mt19937 local(seed);
      std::uniform_int_distribution<int> len(1, 3000);
      std::uniform_real_distribution<double> u(0.0, 1.0);
      int32_t at = 0;
      while (at < 30000) {
        at += len(local) * (u(local) < 0.5 ? 0 : 1);  // gaps or touching neighbours
        const int32_t end = at + len(local);
        ShapeSegment* s = MakeSegment(at, end, u(local), 2 * u(local), u(local));
        s->control.pos = at + static_cast<int32_t>((end - at) * u(local));
        s->follow = u(local);
        s->clip = u(local);
        s->blend = u(local);
        s->mute = u(local) < 0.1;
        s->bypass = u(local) < 0.1;
        Append(store, s);
        at = end;
      }
    };
    Stereo input = NoisePair(32768, 100 + seed, 1.2);
    Stereo reference;
    for (size_t block : {4096, 512, 64, 7, 1}) {
      ShapeStore store;
      fill(store);
      Stereo audio = input;
      Process(store, audio, 0, block);
      for (double v : audio.left) ASSERT_TRUE(std::isfinite(v));
      if (reference.left.empty()) {
        reference = audio;
        continue;
      }
      SCOPED_TRACE(testing::Message() << "seed " << seed << " block " << block);
      ExpectSameBits(audio, reference);
    }
  }
}

TEST(ShapeEngine, PortableExpStaysWithinAnUlpOfTheRuntimes) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> small(-0.02, 0.0);
  std::uniform_real_distribution<double> wide(-700.0, 709.0);
  for (int i = 0; i < 200000; ++i) {
    const double x = i % 2 ? small(random) : wide(random);
    const double expected = std::exp(x);
    const double got = shapemath::Exp(x);
    ASSERT_LE(std::fabs(got - expected), std::fabs(std::nextafter(expected, 0.0) - expected)) << x;
  }
  EXPECT_EQ(shapemath::Exp(0.0), 1.0);
  EXPECT_EQ(shapemath::Exp(-1000.0), 0.0);
  EXPECT_TRUE(std::isnan(shapemath::Exp(std::numeric_limits<double>::quiet_NaN())));
}

// The engine remembers which leading segments it may pass over; a commit that
// changes the list, or a position that goes back, must make it look again.
TEST(ShapeEngine, CommitsAndJumpsBackMakeTheSegmentSearchStartOver) {
  ShapeStore before;
  Append(before, MakeFlat(0, 4000, 0.3, 0.5, 1.0, 0.0));
  before.At(0)->bypass = 1;
  Append(before, MakeFlat(6000, 7000, 0.5));
  ShapeStore after;
  Append(after, MakeFlat(0, 4000, 0.3, 0.5, 1.0, 0.0));  // the same, no longer bypassed
  Append(after, MakeFlat(6000, 7000, 0.5));

  ShapeStore engine;
  ASSERT_TRUE(ShapeStore::CopyShapes(before, engine));
  Stereo first = NoisePair(512, 20, 0.9);
  Process(engine, first, 1000, 512);  // passes the bypassed segment by

  // A store that never searched, in the same follower state, with the new list.
  ShapeStore fresh;
  ASSERT_TRUE(ShapeStore::CopyShapes(after, fresh));
  fresh.currentIndex = engine.currentIndex;
  fresh.envelope = engine.envelope;
  fresh.gain = engine.gain;
  fresh.attackCoef = engine.attackCoef;
  fresh.releaseCoef = engine.releaseCoef;
  ASSERT_TRUE(ShapeStore::CopyShapes(after, engine));

  const Stereo input = NoisePair(1024, 21, 0.9);
  Stereo got = input, expected = input;
  Process(engine, got, 1512, 512);
  Process(fresh, expected, 1512, 512);
  ExpectSameBits(got, expected);
  EXPECT_NE(got.left[100], input.left[100]);  // shaped: the segment is found again

  // Back before the first segment ends (a loop): still found.
  ShapeStore bypassing;
  ASSERT_TRUE(ShapeStore::CopyShapes(before, bypassing));
  Stereo late = NoisePair(512, 22, 0.9);
  Process(bypassing, late, 6500, 512);
  bypassing.At(0)->bypass = 0;  // not told to the search: only the jump back makes it look again
  ShapeStore plain;
  ASSERT_TRUE(ShapeStore::CopyShapes(before, plain));
  plain.At(0)->bypass = 0;
  plain.currentIndex = bypassing.currentIndex;
  plain.envelope = bypassing.envelope;
  plain.gain = bypassing.gain;
  plain.attackCoef = bypassing.attackCoef;
  plain.releaseCoef = bypassing.releaseCoef;
  Stereo again = input, reference = input;
  Process(bypassing, again, 100, 512);
  Process(plain, reference, 100, 512);
  ExpectSameBits(again, reference);
}
