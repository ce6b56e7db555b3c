// Segment record layout, list operations of ShapeStore and copies between stores.
#include <gtest/gtest.h>

#include <cstring>

#include "ShapeTestUtil.h"

using shapetest::Append;
using shapetest::MakeFlat;
using shapetest::Record;

namespace {

double DoubleAt(const std::vector<uint8_t>& bytes, size_t offset) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | bytes[offset + i];
  double value;
  std::memcpy(&value, &bits, 8);
  return value;
}

int32_t Int32At(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<int32_t>(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
                              static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

ShapeSegment Distinct(int seed) {
  ShapeSegment segment;
  segment.visible = static_cast<uint8_t>(seed & 1);
  segment.selected = 1;
  segment.bypass = static_cast<uint8_t>((seed >> 1) & 1);
  segment.mute = static_cast<uint8_t>((seed >> 2) & 1);
  segment.follow = 0.125 * (seed % 8);
  segment.clip = 1.0 / (seed + 2);
  segment.blend = 0.75;
  ShapePoint* points[] = {&segment.start, &segment.control, &segment.end};
  for (int p = 0; p < 3; ++p) {
    points[p]->pos = seed * 1000 + p * 100;
    points[p]->level = 0.1 * (p + 1) + seed;
    points[p]->x = -seed - p;
    points[p]->yNeg = 300 + p;
    points[p]->yPos = 200 - p;
    points[p]->hit = static_cast<uint8_t>(p == 1);
    points[p]->negShown = 0;
    points[p]->posShown = 1;
  }
  return segment;
}

}  // namespace

TEST(ShapeSegmentRecord, FieldsSitAtTheirOffsetsLittleEndianWithZeroPadding) {
  ShapeSegment segment = Distinct(5);
  segment.end.pos = -2;
  const std::vector<uint8_t> bytes = Record(segment);
  ASSERT_EQ(bytes.size(), 128u);
  EXPECT_EQ(bytes[0], 1);  // visible
  EXPECT_EQ(bytes[1], 1);  // selected
  EXPECT_EQ(bytes[2], 0);  // bypass
  EXPECT_EQ(bytes[3], 1);  // mute
  EXPECT_EQ(DoubleAt(bytes, 8), segment.follow);
  EXPECT_EQ(DoubleAt(bytes, 16), segment.clip);
  EXPECT_EQ(DoubleAt(bytes, 24), segment.blend);
  const ShapePoint* points[] = {&segment.start, &segment.control, &segment.end};
  for (int p = 0; p < 3; ++p) {
    const size_t base = 32 + 32 * p;
    EXPECT_EQ(Int32At(bytes, base), points[p]->pos);
    EXPECT_EQ(DoubleAt(bytes, base + 8), points[p]->level);
    EXPECT_EQ(Int32At(bytes, base + 16), points[p]->x);
    EXPECT_EQ(Int32At(bytes, base + 20), points[p]->yNeg);
    EXPECT_EQ(Int32At(bytes, base + 24), points[p]->yPos);
    EXPECT_EQ(bytes[base + 28], points[p]->hit);
    EXPECT_EQ(bytes[base + 29], points[p]->negShown);
    EXPECT_EQ(bytes[base + 30], points[p]->posShown);
    for (size_t pad : {base + 4, base + 5, base + 6, base + 7, base + 31}) EXPECT_EQ(bytes[pad], 0) << pad;
  }
  for (size_t pad = 4; pad < 8; ++pad) EXPECT_EQ(bytes[pad], 0) << pad;
  EXPECT_EQ(bytes[128 - 32], 0xfe);  // end.pos -2, low byte first
  EXPECT_EQ(bytes[128 - 29], 0xff);

  ShapeSegment back;
  ReadSegmentRecord(bytes.data(), back);
  EXPECT_EQ(Record(back), bytes);
}

TEST(ShapeSegmentRecord, DefaultsMatchANewSegment) {
  const ShapeSegment segment;
  const std::vector<uint8_t> bytes = Record(segment);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 1);
  EXPECT_EQ(DoubleAt(bytes, 8), 0.5);
  EXPECT_EQ(DoubleAt(bytes, 16), 1.0);
  EXPECT_EQ(DoubleAt(bytes, 24), 0.5);
  EXPECT_EQ(bytes[32 + 29], 1);
  EXPECT_EQ(bytes[32 + 30], 1);
}

TEST(ShapeStoreList, InsertClampsTheIndexAndTakesOwnership) {
  ShapeStore store;
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(store.At(0), nullptr);
  ShapeSegment* b = store.InsertSegment(0, MakeFlat(200, 300, 0.5));
  ShapeSegment* a = store.InsertSegment(-7, MakeFlat(100, 200, 0.5));
  ShapeSegment* d = store.InsertSegment(99, MakeFlat(400, 500, 0.5));
  ShapeSegment* c = store.InsertSegment(2, MakeFlat(300, 400, 0.5));
  ASSERT_EQ(store.Count(), 4);
  EXPECT_EQ(store.At(0), a);
  EXPECT_EQ(store.At(1), b);
  EXPECT_EQ(store.At(2), c);
  EXPECT_EQ(store.At(3), d);
  EXPECT_EQ(store.At(-1), nullptr);
  EXPECT_EQ(store.At(4), nullptr);
  EXPECT_EQ(store.InsertSegment(0, nullptr), nullptr);
  EXPECT_EQ(store.Count(), 4);
}

TEST(ShapeStoreList, RemoveDeletesAndCopySourceFollowsTheSegment) {
  ShapeStore store;
  for (int i = 0; i < 4; ++i) Append(store, MakeFlat(i * 100, i * 100 + 50, 0.5));
  ShapeSegment* named = store.At(2);
  store.copySource = 2;

  store.InsertSegment(0, MakeFlat(-100, -50, 0.5));
  EXPECT_EQ(store.At(store.copySource), named);
  store.InsertSegment(store.Count(), MakeFlat(900, 950, 0.5));
  EXPECT_EQ(store.At(store.copySource), named);
  EXPECT_TRUE(store.RemoveSegment(0));
  EXPECT_EQ(store.At(store.copySource), named);
  EXPECT_TRUE(store.RemoveSegment(4));
  EXPECT_EQ(store.At(store.copySource), named);

  EXPECT_FALSE(store.RemoveSegment(-1));
  EXPECT_FALSE(store.RemoveSegment(store.Count()));
  EXPECT_EQ(store.Count(), 4);
  EXPECT_TRUE(store.RemoveSegment(2));
  EXPECT_EQ(store.copySource, -1);
  EXPECT_EQ(store.Count(), 3);
  EXPECT_EQ(store.At(2)->start.pos, 300);

  store.copySource = 1;
  store.ClearShapes();
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(store.copySource, -1);
}

TEST(ShapeStoreList, LookupsByPosition) {
  ShapeStore store;
  Append(store, MakeFlat(100, 200, 0.5));
  Append(store, MakeFlat(200, 300, 0.5));
  Append(store, MakeFlat(400, 500, 0.5));

  EXPECT_EQ(store.CountStartingAtOrBefore(INT64_MIN), 0);
  EXPECT_EQ(store.CountStartingAtOrBefore(99), 0);
  EXPECT_EQ(store.CountStartingAtOrBefore(100), 1);
  EXPECT_EQ(store.CountStartingAtOrBefore(250), 2);
  EXPECT_EQ(store.CountStartingAtOrBefore(400), 3);
  EXPECT_EQ(store.CountStartingAtOrBefore(INT64_MAX), 3);
  EXPECT_EQ(store.CountStartingAtOrBefore(int64_t{1} << 40), 3);

  // A segment ending exactly at the position does not count as wholly before it.
  EXPECT_EQ(store.CountWhollyBefore(200), 0);
  EXPECT_EQ(store.CountWhollyBefore(201), 1);
  EXPECT_EQ(store.CountWhollyBefore(300), 1);
  EXPECT_EQ(store.CountWhollyBefore(350), 2);
  EXPECT_EQ(store.CountWhollyBefore(450), 2);
  EXPECT_EQ(store.CountWhollyBefore(501), 3);
  EXPECT_EQ(store.CountWhollyBefore(INT64_MIN), 0);

  ShapeStore empty;
  EXPECT_EQ(empty.CountStartingAtOrBefore(0), 0);
  EXPECT_EQ(empty.CountWhollyBefore(0), 0);
}

TEST(ShapeStoreCopy, LongerSourceKeepsTheDestinationsSegmentsAndAppends) {
  ShapeStore source;
  ShapeStore destination;
  for (int i = 0; i < 5; ++i) Append(source, new ShapeSegment(Distinct(i)));
  for (int i = 0; i < 2; ++i) Append(destination, MakeFlat(i, i + 1, 0.1));
  ShapeSegment* kept0 = destination.At(0);
  ShapeSegment* kept1 = destination.At(1);
  destination.currentIndex = 3;
  destination.envelope = 0.25;
  destination.gain = 0.75;
  destination.flipped = 1;
  source.gain = 2.0;

  ASSERT_TRUE(ShapeStore::CopyShapes(source, destination));
  ASSERT_EQ(destination.Count(), 5);
  EXPECT_EQ(destination.At(0), kept0);
  EXPECT_EQ(destination.At(1), kept1);
  for (int i = 0; i < 5; ++i) {
    EXPECT_NE(destination.At(i), source.At(i));
    EXPECT_EQ(Record(*destination.At(i)), Record(*source.At(i))) << i;
    EXPECT_EQ(destination.At(i)->control.hit, 1);  // flags travel too
  }
  // Engine and edit fields belong to each store.
  EXPECT_EQ(destination.currentIndex, 3);
  EXPECT_EQ(destination.envelope, 0.25);
  EXPECT_EQ(destination.gain, 0.75);
  EXPECT_EQ(destination.flipped, 1);
  EXPECT_EQ(source.Count(), 5);
}

TEST(ShapeStoreCopy, ShorterSourceDropsTheLastSegmentsAndEqualCountsReuseEverything) {
  ShapeStore source;
  ShapeStore destination;
  for (int i = 0; i < 2; ++i) Append(source, new ShapeSegment(Distinct(i + 10)));
  for (int i = 0; i < 6; ++i) Append(destination, new ShapeSegment(Distinct(i)));
  ShapeSegment* kept[2] = {destination.At(0), destination.At(1)};
  destination.copySource = 1;

  ASSERT_TRUE(ShapeStore::CopyShapes(source, destination));
  ASSERT_EQ(destination.Count(), 2);
  EXPECT_EQ(destination.copySource, -1);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(destination.At(i), kept[i]);
    EXPECT_EQ(Record(*destination.At(i)), Record(*source.At(i)));
  }

  source.At(1)->mute = 1;
  source.At(1)->end.level = 3.5;
  ASSERT_TRUE(ShapeStore::CopyShapes(source, destination));
  ASSERT_EQ(destination.Count(), 2);
  EXPECT_EQ(destination.At(0), kept[0]);
  EXPECT_EQ(destination.At(1), kept[1]);
  EXPECT_EQ(destination.At(1)->mute, 1);
  EXPECT_EQ(destination.At(1)->end.level, 3.5);

  ShapeStore empty;
  ASSERT_TRUE(ShapeStore::CopyShapes(empty, destination));
  EXPECT_EQ(destination.Count(), 0);
  EXPECT_TRUE(ShapeStore::CopyShapes(source, source));
  EXPECT_EQ(source.Count(), 2);
}
