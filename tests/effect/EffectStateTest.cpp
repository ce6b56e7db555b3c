// Saved state through the host's chunk opcodes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/ByteOrder.h"
#include "core/Module.h"
#include "effect/EffectPlugin.h"
#include "shapes/ShapeSegment.h"
#include "tests/core/FakeHost.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct StateFixture : ::testing::Test {
  FakeHost host;
  EffectPlugin* plug = nullptr;
  AEffect* effect = nullptr;

  void SetUp() override {
    plug = static_cast<EffectPlugin*>(CreateEffectInstance(host.Callback()));
    ASSERT_NE(plug, nullptr);
    effect = plug->Effect();
  }
  void TearDown() override { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }

  Bytes Save() {
    void* data = nullptr;
    VstIntPtr size = effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f);
    if (size <= 0 || !data) return {};
    auto* bytes = static_cast<uint8_t*>(data);
    return Bytes(bytes, bytes + size);
  }
  VstIntPtr Load(const Bytes& bytes) {
    return effect->dispatcher(effect, effSetChunk, 0, static_cast<VstIntPtr>(bytes.size()),
                              const_cast<uint8_t*>(bytes.data()), 0.0f);
  }
  double Plain(int index) { return plug->ParamAt(index)->Plain(); }
};

ShapeSegment* MakeSegment(int32_t start, int32_t end, double level) {
  auto* s = new ShapeSegment();
  s->start.pos = start;
  s->control.pos = (start + end) / 2;
  s->end.pos = end;
  s->start.level = s->control.level = s->end.level = level;
  return s;
}

Bytes Header(int32_t tag, double bright, double colormap) {
  Bytes b(20);
  StoreLE32(b.data(), tag);
  StoreLEDouble(b.data() + 4, bright);
  StoreLEDouble(b.data() + 12, colormap);
  return b;
}

void AppendCount(Bytes& b, int32_t count) {
  b.resize(b.size() + 4);
  StoreLE32(b.data() + b.size() - 4, count);
}

void AppendRecord(Bytes& b, const ShapeSegment& s) {
  b.resize(b.size() + kSegmentRecordBytes);
  WriteSegmentRecord(s, b.data() + b.size() - kSegmentRecordBytes);
}

TEST_F(StateFixture, FreshInstanceSavesHeaderAndNoSegments) {
  Bytes state = Save();
  ASSERT_EQ(state.size(), 24u);
  EXPECT_EQ(LoadLE32(state.data()), 1001);
  EXPECT_EQ(LoadLEDouble(state.data() + 4), 1.0);
  EXPECT_EQ(LoadLEDouble(state.data() + 12), 3.0);
  EXPECT_EQ(LoadLE32(state.data() + 20), 0);
}

TEST_F(StateFixture, RoundTripRestoresParametersAndShapes) {
  plug->EngineStore().InsertSegment(0, MakeSegment(100, 900, 0.5));
  plug->EngineStore().InsertSegment(1, MakeSegment(1000, 5000, 0.25));
  plug->EngineStore().At(1)->mute = 1;
  effect->setParameter(effect, EffectPlugin::kBright, 0.5f);
  effect->setParameter(effect, EffectPlugin::kColormap, 0.0f);
  Bytes saved = Save();
  ASSERT_EQ(saved.size(), 24u + 2 * 128u);

  EffectPlugin* other = static_cast<EffectPlugin*>(CreateEffectInstance(host.Callback()));
  AEffect* e2 = other->Effect();
  ASSERT_EQ(e2->dispatcher(e2, effSetChunk, 0, static_cast<VstIntPtr>(saved.size()), saved.data(), 0.0f), 1);
  EXPECT_EQ(other->ParamAt(1)->Plain(), Plain(1));
  EXPECT_EQ(other->ParamAt(2)->Plain(), 0.0);
  ASSERT_EQ(other->EngineStore().Count(), 2);
  EXPECT_EQ(other->EngineStore().At(1)->mute, 1);
  EXPECT_EQ(other->EngineStore().At(0)->selected, 0);  // restored records are not selected

  // Restoring twice equals restoring once, and re-saving gives the same bytes
  // apart from the selection flag.
  ASSERT_EQ(e2->dispatcher(e2, effSetChunk, 0, static_cast<VstIntPtr>(saved.size()), saved.data(), 0.0f), 1);
  EXPECT_EQ(other->EngineStore().Count(), 2);
  void* data = nullptr;
  VstIntPtr size = e2->dispatcher(e2, effGetChunk, 0, 0, &data, 0.0f);
  ASSERT_EQ(size, static_cast<VstIntPtr>(saved.size()));
  Bytes resaved(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  for (size_t k = 0; k < 2; ++k) saved[24 + k * 128 + 1] = 0;  // `selected`
  EXPECT_EQ(resaved, saved);
  e2->dispatcher(e2, effClose, 0, 0, nullptr, 0.0f);
}

// A host may hand back the very buffer effGetChunk returned.
TEST_F(StateFixture, ItsOwnChunkBufferHandedBackLoads) {
  plug->EngineStore().InsertSegment(0, MakeSegment(100, 900, 0.5));
  effect->setParameter(effect, EffectPlugin::kColormap, 0.0f);
  void* data = nullptr;
  VstIntPtr size = effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f);
  ASSERT_EQ(size, 24 + 128);
  Bytes before(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  before[24 + 1] = 0;  // `selected` is not restored
  ASSERT_EQ(effect->dispatcher(effect, effSetChunk, 0, size, data, 0.0f), 1);
  EXPECT_EQ(Plain(EffectPlugin::kColormap), 0.0);
  ASSERT_EQ(plug->EngineStore().Count(), 1);
  EXPECT_EQ(plug->EngineStore().At(0)->end.pos, 900);
  EXPECT_EQ(Save(), before);
}

TEST_F(StateFixture, HeaderOnlyStateClearsShapes) {
  plug->EngineStore().InsertSegment(0, MakeSegment(0, 100, 1.0));
  EXPECT_EQ(Load(Header(1001, 20.0, -4.0)), 1);
  EXPECT_EQ(Plain(1), 10.0);
  EXPECT_EQ(Plain(2), 0.0);
  EXPECT_EQ(plug->EngineStore().Count(), 0);
  EXPECT_EQ(Load(Header(1001, -1.0, 2.0)), 1);
  EXPECT_DOUBLE_EQ(Plain(1), 0.1);
}

TEST_F(StateFixture, BadHeadersChangeNothing) {
  plug->EngineStore().InsertSegment(0, MakeSegment(0, 100, 1.0));
  Bytes wrongTag = Header(1000, 5.0, 1.0);
  AppendCount(wrongTag, 0);
  EXPECT_EQ(Load(wrongTag), 0);
  Bytes full = Header(1001, 5.0, 1.0);
  for (size_t cut : {0u, 3u, 4u, 11u, 12u, 19u}) {
    EXPECT_EQ(Load(Bytes(full.begin(), full.begin() + cut)), 0) << cut;
  }
  EXPECT_EQ(Plain(1), 1.0);
  EXPECT_EQ(Plain(2), 3.0);
  EXPECT_EQ(plug->EngineStore().Count(), 1);
  EXPECT_EQ(effect->dispatcher(effect, effSetChunk, 0, 24, nullptr, 0.0f), 0);
  EXPECT_EQ(effect->dispatcher(effect, effSetChunk, 0, -24, full.data(), 0.0f), 0);
}

TEST_F(StateFixture, HostileShapePayloadsFailWholeOrSanitise) {
  plug->EngineStore().InsertSegment(0, MakeSegment(0, 100, 1.0));
  ShapeSegment good;
  good.start.pos = 10;
  good.control.pos = 20;
  good.end.pos = 30;

  // More records announced than present: the parameters move, the shapes stay.
  Bytes truncated = Header(1001, 2.0, 1.0);
  AppendCount(truncated, 3);
  AppendRecord(truncated, good);
  AppendRecord(truncated, good);
  EXPECT_EQ(Load(truncated), 0);
  EXPECT_EQ(Plain(1), 2.0);
  ASSERT_EQ(plug->EngineStore().Count(), 1);
  EXPECT_EQ(plug->EngineStore().At(0)->end.pos, 100);

  for (int32_t count : {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(), 1 << 26}) {
    Bytes huge = Header(1001, 2.0, 1.0);
    AppendCount(huge, count);
    AppendRecord(huge, good);
    EXPECT_EQ(Load(huge), 0) << count;
    EXPECT_EQ(plug->EngineStore().Count(), 1);
  }

  // Non-finite numbers everywhere and a reversed segment are made sound.
  ShapeSegment wild;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  wild.follow = nan;
  wild.clip = inf;
  wild.blend = -inf;
  wild.start.pos = 5000;
  wild.control.pos = 9000;
  wild.end.pos = 1000;
  wild.start.level = nan;
  wild.control.level = inf;
  wild.end.level = -3.0;
  Bytes hostile = Header(1001, nan, inf);
  AppendCount(hostile, 2);
  AppendRecord(hostile, wild);
  AppendRecord(hostile, good);
  ASSERT_EQ(Load(hostile), 1);
  EXPECT_EQ(Plain(1), 1.0);   // NaN restores the default
  EXPECT_EQ(Plain(2), 3.0);   // +inf clamps to the top
  ShapeStore& store = plug->EngineStore();
  ASSERT_EQ(store.Count(), 2);
  EXPECT_EQ(store.At(0)->start.pos, 10);  // sorted by start
  const ShapeSegment& fixed = *store.At(1);
  EXPECT_LE(fixed.start.pos, fixed.control.pos);
  EXPECT_LE(fixed.control.pos, fixed.end.pos);
  for (double v : {fixed.follow, fixed.clip, fixed.blend, fixed.start.level, fixed.control.level, fixed.end.level}) {
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_GE(v, 0.0);
  }

  // Audio through such a state stays finite.
  host.time.samplePos = 900;
  std::vector<double> left(8192, 0.5), right(8192, -0.25);
  double* ins[2] = {left.data(), right.data()};
  double* outs[2] = {left.data(), right.data()};
  effect->processDoubleReplacing(effect, ins, outs, 8192);
  for (double v : left) ASSERT_TRUE(std::isfinite(v));
}

}  // namespace
