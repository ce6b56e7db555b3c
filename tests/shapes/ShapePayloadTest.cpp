// The saved payload of shapes: round trips, and payloads that did not come
// from this plug-in (truncated, oversized, non-finite, reversed, unordered).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "ShapeTestUtil.h"

using shapetest::Append;
using shapetest::MakeFlat;
using shapetest::MakeSegment;
using shapetest::Noise;
using shapetest::Record;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<uint8_t> Payload(const ShapeStore& store) {
  HeapBuffer buffer;
  EXPECT_TRUE(store.WriteShapes(buffer));
  return std::vector<uint8_t>(buffer.Data(), buffer.Data() + buffer.Size());
}

std::vector<uint8_t> PayloadOf(int32_t count, const std::vector<ShapeSegment>& records) {
  std::vector<uint8_t> bytes(4);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(static_cast<uint32_t>(count) >> (8 * i));
  for (const ShapeSegment& segment : records) {
    const std::vector<uint8_t> record = Record(segment);
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  return bytes;
}

bool Read(ShapeStore& store, const std::vector<uint8_t>& bytes, size_t offset = 0) {
  return store.ReadShapes(bytes.data(), bytes.size(), offset);
}

// Every property the engine and the editor rely on after a restore.
void ExpectSane(const ShapeStore& store) {
  for (int i = 0; i < store.Count(); ++i) {
    const ShapeSegment& s = *store.At(i);
    if (i > 0) {
      EXPECT_LE(store.At(i - 1)->start.pos, s.start.pos) << i;
    }
    EXPECT_LE(s.start.pos, s.control.pos);
    EXPECT_LE(s.control.pos, s.end.pos);
    for (double setting : {s.follow, s.clip, s.blend}) {
      EXPECT_GE(setting, 0.0);
      EXPECT_LE(setting, 1.0);
    }
    for (const ShapePoint* p : {&s.start, &s.control, &s.end}) {
      EXPECT_GE(p->level, 0.0);
      EXPECT_LT(p->level, 64.0);
      EXPECT_EQ(p->hit, 0);
    }
    EXPECT_EQ(s.selected, 0);
  }
}

// Runs the engine over the store's range and checks that the output stays finite.
void ExpectFiniteOutput(ShapeStore& store, int32_t from, int32_t frames) {
  std::vector<double> left = Noise(static_cast<size_t>(frames), 3, 1.5);
  std::vector<double> right = Noise(static_cast<size_t>(frames), 4, 1.5);
  store.ApplyShapes(left.data(), right.data(), from, frames);
  for (int32_t i = 0; i < frames; ++i) {
    ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i])) << i;
  }
}

}  // namespace

TEST(ShapePayload, EmptyStoreWritesACountOfZeroAfterWhatTheBufferHolds) {
  ShapeStore store;
  HeapBuffer buffer;
  buffer.Append("head", 4);
  ASSERT_TRUE(store.WriteShapes(buffer));
  ASSERT_EQ(buffer.Size(), 8u);
  EXPECT_EQ(std::memcmp(buffer.Data(), "head\0\0\0\0", 8), 0);
}

TEST(ShapePayload, OwnStateReadsBackIdenticalApartFromSelectedAndHit) {
  ShapeStore store;
  Append(store, MakeSegment(100, 900, 0.25, 1.5, 0.75));
  Append(store, MakeFlat(900, 2000, 0.5, 0.1, 0.2, 0.3));
  Append(store, MakeSegment(5000, 7000, 0.0, 2.0, 63.5));
  store.At(0)->control.hit = 1;
  store.At(1)->mute = 1;
  store.At(1)->start.x = 321;
  store.At(1)->end.yNeg = -40;
  store.At(2)->bypass = 1;
  store.At(2)->visible = 0;
  store.At(2)->end.posShown = 0;
  const std::vector<uint8_t> written = Payload(store);
  ASSERT_EQ(written.size(), 4 + 3 * 128u);

  HeapBuffer state;
  state.Append("tag.bright..colmap..", 20);
  state.Append(written.data(), written.size());
  ShapeStore restored;
  ASSERT_TRUE(restored.ReadShapes(state, 20));
  ASSERT_EQ(restored.Count(), 3);
  ExpectSane(restored);

  std::vector<uint8_t> expected = written;
  for (int k = 0; k < 3; ++k) {
    expected[4 + 128 * k + 1] = 0;                                           // selected
    for (int p = 0; p < 3; ++p) expected[4 + 128 * k + 32 + 32 * p + 28] = 0;  // hit
  }
  EXPECT_EQ(Payload(restored), expected);

  // Restoring the same state twice gives the same list as restoring it once.
  ASSERT_TRUE(restored.ReadShapes(state, 20));
  EXPECT_EQ(restored.Count(), 3);
  EXPECT_EQ(Payload(restored), expected);
}

TEST(ShapePayload, NoPayloadAfterTheOffsetRestoresAnEmptyList) {
  ShapeStore store;
  Append(store, MakeFlat(0, 10, 0.5));
  store.copySource = 0;
  const std::vector<uint8_t> three = {0, 0, 0};
  EXPECT_TRUE(Read(store, three));
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(store.copySource, -1);

  Append(store, MakeFlat(0, 10, 0.5));
  const std::vector<uint8_t> zeroCount = {9, 9, 0, 0, 0, 0};
  EXPECT_TRUE(Read(store, zeroCount, 2));
  EXPECT_EQ(store.Count(), 0);
  Append(store, MakeFlat(0, 10, 0.5));
  EXPECT_TRUE(Read(store, zeroCount, 100));  // offset past the end
  EXPECT_EQ(store.Count(), 0);
  EXPECT_TRUE(store.ReadShapes(nullptr, 0, 0));
}

TEST(ShapePayloadHostile, BadCountsFailAndKeepTheCurrentList) {
  ShapeStore store;
  Append(store, MakeFlat(0, 10, 0.5));
  Append(store, MakeFlat(10, 20, 0.5));
  ShapeSegment* first = store.At(0);
  const std::vector<ShapeSegment> two(2);

  const std::vector<std::vector<uint8_t>> payloads = {
      PayloadOf(3, two),                                        // one record short
      [&] { auto p = PayloadOf(2, two); p.pop_back(); return p; }(),  // last record truncated
      PayloadOf(-1, two),
      PayloadOf(std::numeric_limits<int32_t>::min(), {}),
      PayloadOf(std::numeric_limits<int32_t>::max(), two),
      PayloadOf(1 << 25, {}),
  };
  for (size_t i = 0; i < payloads.size(); ++i) {
    EXPECT_FALSE(Read(store, payloads[i])) << i;
    ASSERT_EQ(store.Count(), 2) << i;
    EXPECT_EQ(store.At(0), first) << i;
  }
  // A complete payload followed by bytes of something else is fine.
  std::vector<uint8_t> trailing = PayloadOf(2, two);
  trailing.insert(trailing.end(), 100, 0xab);
  EXPECT_TRUE(Read(store, trailing));
  EXPECT_EQ(store.Count(), 2);
}

TEST(ShapePayloadHostile, NonFiniteAndOutOfRangeValuesAreSanitised) {
  const double bad[] = {kNaN, kInf, -kInf, -3.0, 1e300};
  std::vector<ShapeSegment> records;
  for (double value : bad) {
    ShapeSegment segment;
    segment.start.pos = static_cast<int32_t>(records.size()) * 100;
    segment.control.pos = segment.start.pos + 50;
    segment.end.pos = segment.start.pos + 100;
    segment.follow = segment.clip = segment.blend = value;
    segment.start.level = segment.control.level = segment.end.level = value;
    records.push_back(segment);
  }
  ShapeStore store;
  ASSERT_TRUE(Read(store, PayloadOf(static_cast<int32_t>(records.size()), records)));
  ASSERT_EQ(store.Count(), 5);
  ExpectSane(store);
  // Non-finite values take the defaults; finite ones are clamped.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(store.At(i)->follow, 0.5);
    EXPECT_EQ(store.At(i)->clip, 1.0);
    EXPECT_EQ(store.At(i)->blend, 0.5);
    EXPECT_EQ(store.At(i)->control.level, 0.0);
  }
  EXPECT_EQ(store.At(3)->follow, 0.0);
  EXPECT_EQ(store.At(3)->start.level, 0.0);
  EXPECT_EQ(store.At(4)->clip, 1.0);
  EXPECT_EQ(store.At(4)->end.level, std::nextafter(64.0, 0.0));
  ExpectFiniteOutput(store, 0, 600);
}

TEST(ShapePayloadHostile, ReversedPointsSwapAndUnorderedSegmentsSortStably) {
  std::vector<ShapeSegment> records(4);
  // Reversed: start after end, with the control point outside both.
  records[0].start = {.pos = 900, .level = 0.9};
  records[0].control = {.pos = 2000, .level = 0.4};
  records[0].end = {.pos = 500, .level = 0.1};
  for (int i = 1; i < 4; ++i) {
    records[i].start.pos = i == 1 ? 100 : 300;  // two share a start: their order must hold
    records[i].control.pos = records[i].start.pos - 50;
    records[i].end.pos = records[i].start.pos + 100;
    records[i].follow = 0.25 * i;
  }
  ShapeStore store;
  ASSERT_TRUE(Read(store, PayloadOf(4, records)));
  ASSERT_EQ(store.Count(), 4);
  ExpectSane(store);
  EXPECT_EQ(store.At(0)->start.pos, 100);
  EXPECT_EQ(store.At(0)->control.pos, 100);
  EXPECT_EQ(store.At(1)->follow, 0.5);
  EXPECT_EQ(store.At(2)->follow, 0.75);
  const ShapeSegment& swapped = *store.At(3);
  EXPECT_EQ(swapped.start.pos, 500);
  EXPECT_EQ(swapped.start.level, 0.1);
  EXPECT_EQ(swapped.end.pos, 900);
  EXPECT_EQ(swapped.end.level, 0.9);
  EXPECT_EQ(swapped.control.pos, 900);
  ExpectFiniteOutput(store, 0, 1200);
}

TEST(ShapePayloadHostile, RandomRecordsEitherFailOrGiveASaneList) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> byte(0, 255);
  int restored = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int records = trial % 7;
    std::vector<uint8_t> bytes(4 + 128 * records + trial % 3);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(byte(random));
    if (trial % 2 == 0) {
      // Positions near 0, so that the engine run below meets the segments.
      for (int k = 0; k < records; ++k) {
        for (size_t point = 32; point < 128; point += 32) {
          const int32_t pos = byte(random) * 16;
          std::memcpy(bytes.data() + 4 + 128 * k + point, &pos, 4);
        }
      }
    }
    // Mostly honest counts so that most trials get past the size check.
    const int32_t count = trial % 5 == 0 ? static_cast<int32_t>(byte(random) - 128) : records;
    std::memcpy(bytes.data(), &count, 4);
    ShapeStore store;
    Append(store, MakeFlat(0, 10, 0.5));
    if (!Read(store, bytes)) {
      EXPECT_EQ(store.Count(), 1);
      continue;
    }
    ++restored;
    EXPECT_EQ(store.Count(), count);
    ExpectSane(store);
    if (store.Count() > 0) ExpectFiniteOutput(store, std::max(0, store.At(0)->start.pos), 4096);
  }
  EXPECT_GT(restored, 200);
}
