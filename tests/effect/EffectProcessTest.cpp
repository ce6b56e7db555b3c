// The effect's audio process: capture ring, jumps, channels, precision.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/Module.h"
#include "effect/EffectPlugin.h"
#include "shapes/ShapeKernel.h"
#include "tests/AllocationFailure.h"
#include "tests/core/FakeHost.h"

namespace {

ShapeSegment* Segment(int32_t start, int32_t end, double level, double blend, double clip) {
  auto* s = new ShapeSegment();
  s->start.pos = start;
  s->control.pos = start + (end - start) / 3;
  s->end.pos = end;
  s->start.level = level;
  s->control.level = level * 0.5;
  s->end.level = level * 0.8;
  s->blend = blend;
  s->clip = clip;
  return s;
}

struct ProcessFixture : ::testing::Test {
  FakeHost host;
  EffectPlugin* plug = nullptr;
  AEffect* effect = nullptr;
  std::vector<int16_t> captured = std::vector<int16_t>(EffectPlugin::kRingEntries);

  void SetUp() override {
    plug = static_cast<EffectPlugin*>(CreateEffectInstance(host.Callback()));
    ASSERT_NE(plug, nullptr);
    effect = plug->Effect();
  }
  void TearDown() override { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }

  // One block of constant stereo audio at a host position.
  void Block(double position, int frames, double left = 0.5, double right = 0.5) {
    host.time.samplePos = position;
    std::vector<double> l(static_cast<size_t>(frames), left), r(static_cast<size_t>(frames), right);
    double* ins[2] = {l.data(), r.data()};
    double* outs[2] = {l.data(), r.data()};
    effect->processDoubleReplacing(effect, ins, outs, frames);
  }
  int Read(int64_t* end = nullptr) {
    int64_t ignored;
    return plug->ReadCapture(captured.data(), end ? end : &ignored);
  }
};

TEST_F(ProcessFixture, ContinuousBlocksPublishTheirPredecessor) {
  Block(0, 512);
  EXPECT_EQ(Read(), 0);  // still pending
  Block(512, 512);
  int64_t end = 0;
  EXPECT_EQ(Read(&end), 512);
  EXPECT_EQ(end, 512);
  Block(1032, 512);  // 8 past the expected 1024: still continuous
  EXPECT_EQ(Read(&end), 512);
  EXPECT_EQ(end, 1024);
  Block(1553, 512);  // 9 past: a jump drops the pending run
  EXPECT_EQ(Read(), 0);
  Block(2065, 64);
  EXPECT_EQ(Read(&end), 512);
  EXPECT_EQ(end, 2065);
  Block(100, 64);  // backwards (loop wrap)
  EXPECT_EQ(Read(), 0);
}

TEST_F(ProcessFixture, CaptureHoldsTheSumInUnitsOf512) {
  Block(0, 4, 0.5, 0.5);
  Block(4, 4, -1.0, -1.0);
  Block(8, 4, 0.003, 0.003);
  Block(12, 4, 1e9, 1e9);
  Block(16, 4, NAN, 0.0);
  Block(20, 1);
  ASSERT_EQ(Read(), 20);
  EXPECT_EQ(captured[0], 256);
  EXPECT_EQ(captured[4], -512);
  EXPECT_EQ(captured[8], 1);  // 1.536 truncated
  EXPECT_EQ(captured[12], 32767);  // saturated, not wrapped
  EXPECT_EQ(captured[16], 0);  // NaN reads as silence
}

// Every entry of a mixed block, whatever its place among the samples converted
// together: the sum truncated towards zero, saturated, NaN as silence.
TEST_F(ProcessFixture, CaptureConvertsEachSampleOfAMixedBlock) {
  const double inf = INFINITY;
  struct Case {
    double left, right;
    int16_t entry;
  };
  const Case cases[] = {{0.5, 0.5, 256},        {-1.0, -1.0, -512},      {0.003, 0.003, 1},
                        {-0.003, -0.003, -1},   {1e9, 1e9, 32767},       {-1e9, -1e9, -32768},
                        {inf, 0.0, 32767},      {-inf, 0.0, -32768},     {NAN, 0.0, 0},
                        {0.0, NAN, 0},          {inf, -inf, 0},          {63.998, 0.0, 16383},
                        {127.99, 0.0, 32765},   {-128.0, 0.0, -32768},   {-127.999, 0.0, -32767},
                        {0.001, -0.002, 0},     {1e-300, 0.0, 0}};
  constexpr int kCases = sizeof cases / sizeof cases[0];
  constexpr int kRounds = 5;  // each round shifts the cases by one sample
  std::vector<double> l, r;
  std::vector<int16_t> expected;
  for (int round = 0; round < kRounds; ++round) {
    for (int k = 0; k < kCases; ++k) {
      const Case& c = cases[(k + round) % kCases];
      l.push_back(c.left);
      r.push_back(c.right);
      expected.push_back(c.entry);
    }
  }
  for (bool wide : {false, true}) {  // SSE2, and AVX where the processor has it
    plug->EngineStore().wideVectors = wide && shapekernel::AvxUsable();
    const double start = wide ? 100000.0 : 0.0;  // a jump: the ring starts afresh
    host.time.samplePos = start;
    std::vector<double> left = l, right = r;
    double* io[2] = {left.data(), right.data()};
    effect->processDoubleReplacing(effect, io, io, static_cast<int>(l.size()));
    Block(start + static_cast<double>(l.size()), 1);
    ASSERT_EQ(Read(), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(captured[i], expected[i]) << i << (wide ? " AVX" : "");
  }
}

TEST_F(ProcessFixture, AnUnreadRingKeepsTheNewestSamples) {
  // 20000 samples published without a reader: the newest 16384 are handed over.
  for (int i = 0; i <= 20000; i += 500) Block(i, 500, i / 40000.0, 0.0);
  int64_t end = 0;
  // The ring also holds the pending block at 20000, so 16384 - 500 published
  // samples remain: samples 4116..19999, oldest first.
  const int published = EffectPlugin::kRingEntries - 500;
  ASSERT_EQ(Read(&end), published);
  EXPECT_EQ(end, 20000);
  EXPECT_EQ(captured[published - 1], static_cast<int16_t>(19500 / 40000.0 * 256));
  EXPECT_EQ(captured[0], static_cast<int16_t>(4000 / 40000.0 * 256));
  EXPECT_EQ(captured[384], static_cast<int16_t>(4500 / 40000.0 * 256));
  // A single block longer than the ring leaves its newest entries.
  Block(20500 + 500, 40000, 0.25, 0.25);
  Block(61000, 1);
  EXPECT_EQ(Read(), EffectPlugin::kRingEntries - 1);  // the 1-sample block is pending
  EXPECT_EQ(captured[0], 128);
}

TEST_F(ProcessFixture, MonoHostsUseTheFirstChannel) {
  VstSpeakerArrangement mono{};
  mono.numChannels = 1;
  effect->dispatcher(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &mono, 0.0f);
  std::vector<double> in(64, 0.5), out(64, 9.0), untouched(64, 7.0);
  double* ins[2] = {in.data(), nullptr};
  double* outs[2] = {out.data(), untouched.data()};
  host.time.samplePos = 0;
  effect->processDoubleReplacing(effect, ins, outs, 64);
  EXPECT_EQ(out[10], 0.5);
  EXPECT_EQ(untouched[10], 7.0);  // not a channel the host gave
  Block(64, 1);
  ASSERT_EQ(Read(), 64);
  EXPECT_EQ(captured[0], 128);  // the spare channel is silent
}

// A block longer than announced: a stereo host needs no spare channel, so
// nothing is allocated and the block is shaped; a mono host's spare output
// cannot grow while memory is out, and its audio still passes through.
TEST_F(ProcessFixture, LongerBlocksAllocateOnlyForAMissingChannel) {
  constexpr int kFrames = 2048;  // far beyond the announced 64 and the spare buffers' slack
  effect->dispatcher(effect, effSetBlockSize, 0, 64, nullptr, 0.0f);
  plug->EngineStore().InsertSegment(0, Segment(0, 8000, 0.25, 1.0, 0.0));
  std::vector<double> in(kFrames), left(kFrames, 9.0), right(kFrames, 9.0), mono(kFrames, 9.0);
  for (int i = 0; i < kFrames; ++i) in[static_cast<size_t>(i)] = 0.9 * std::sin(i * 0.1);
  host.calls.reserve(4096);  // the fake host's own log must not allocate either
  host.time.samplePos = 0;
  long attempts = -1, failures = -1;
  {
    AllocationFailure noMemory(1, AllocationFailure::Mode::kFromThenOn);
    double* ins[2] = {in.data(), in.data()};
    double* outs[2] = {left.data(), right.data()};
    effect->processDoubleReplacing(effect, ins, outs, kFrames);
    attempts = noMemory.Attempts();
  }
  EXPECT_EQ(attempts, 0);
  EXPECT_NE(left, in);  // shaped
  EXPECT_EQ(left, right);

  VstSpeakerArrangement one{};
  one.numChannels = 1;
  effect->dispatcher(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&one), &one, 0.0f);
  host.time.samplePos = kFrames;
  {
    AllocationFailure noMemory(1, AllocationFailure::Mode::kFromThenOn);
    double* ins[2] = {in.data(), nullptr};
    double* outs[2] = {mono.data(), nullptr};
    effect->processDoubleReplacing(effect, ins, outs, kFrames);
    failures = noMemory.Failures();
  }
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(mono, in);
}

TEST_F(ProcessFixture, EmptyBlocksDoNothing) {
  Block(0, 64);
  std::vector<double> l(4, 0.1);
  double* ch[2] = {l.data(), l.data()};
  effect->processDoubleReplacing(effect, ch, ch, 0);
  effect->processDoubleReplacing(effect, ch, ch, -7);
  Block(64, 1);
  EXPECT_EQ(Read(), 64);
}

TEST_F(ProcessFixture, PositionsBeyond32BitsPassAudioWithoutCapture) {
  Block(3e9, 256, 0.5, 0.5);
  Block(3e9 + 256, 256, 0.5, 0.5);
  EXPECT_EQ(Read(), 0);
  host.time.samplePos = 3e9;
  std::vector<double> l(16, 0.25), r(16, 0.125), ol(16), orr(16);
  double* ins[2] = {l.data(), r.data()};
  double* outs[2] = {ol.data(), orr.data()};
  effect->processDoubleReplacing(effect, ins, outs, 16);
  EXPECT_EQ(ol, l);
  EXPECT_EQ(orr, r);
}

// Single-precision hosts hear the same shaping as double-precision ones, rounded once.
TEST(EffectPrecision, FloatHostsGetTheSameShaping) {
  FakeHost host;
  auto render = [&](bool single) {
    auto* plug = static_cast<EffectPlugin*>(CreateEffectInstance(host.Callback()));
    AEffect* e = plug->Effect();
    plug->EngineStore().InsertSegment(0, Segment(1000, 20000, 0.3, 0.5, 0.5));
    plug->EngineStore().InsertSegment(1, Segment(25000, 30000, 0.6, 1.0, 0.0));
    std::vector<double> result;
    for (int block = 0; block < 64; ++block) {
      host.time.samplePos = block * 512.0;
      std::vector<double> l(512), r(512);
      for (int i = 0; i < 512; ++i) {
        double t = (block * 512 + i) / 44100.0;
        // Values a float holds, so both paths start from the same samples.
        l[i] = static_cast<float>(0.8 * std::sin(2 * M_PI * 220 * t));
        r[i] = static_cast<float>(0.6 * std::sin(2 * M_PI * 330 * t));
      }
      if (single) {
        std::vector<float> fl(l.begin(), l.end()), fr(r.begin(), r.end());
        float* ins[2] = {fl.data(), fr.data()};
        e->processReplacing(e, ins, ins, 512);
        result.insert(result.end(), fl.begin(), fl.end());
      } else {
        double* ins[2] = {l.data(), r.data()};
        e->processDoubleReplacing(e, ins, ins, 512);
        result.insert(result.end(), l.begin(), l.end());
      }
    }
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    return result;
  };
  std::vector<double> dbl = render(false), flt = render(true);
  ASSERT_EQ(dbl.size(), flt.size());
  // The float path shapes in double and rounds once: the double path's output, narrowed.
  double maxChange = 0.0;
  for (size_t i = 0; i < dbl.size(); ++i) {
    ASSERT_EQ(flt[i], static_cast<float>(dbl[i])) << i;
    double t = static_cast<double>(i) / 44100.0;
    maxChange = std::max(maxChange, std::fabs(dbl[i] - 0.8 * std::sin(2 * M_PI * 220 * t)));
  }
  EXPECT_GT(maxChange, 0.1);  // the shapes really acted
}

}  // namespace
