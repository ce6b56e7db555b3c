// Edits of the edit store that need no view, and host loop detection.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ShapeTestUtil.h"
#include "shapes/HostLoop.h"

using shapetest::Append;
using shapetest::MakeFlat;

namespace {

struct Span {
  int32_t start;
  int32_t end;
};

// A store of flat segments over the given spans, none selected.
void Fill(ShapeStore& store, const std::vector<Span>& spans) {
  for (const Span& span : spans) {
    ShapeSegment* segment = MakeFlat(span.start, span.end, 0.5);
    segment->selected = 0;
    Append(store, segment);
  }
}

std::vector<int32_t> Starts(const ShapeStore& store) {
  std::vector<int32_t> starts;
  for (int i = 0; i < store.Count(); ++i) starts.push_back(store.At(i)->start.pos);
  return starts;
}

}  // namespace

TEST(HostLoop, JumpsBackSnapToWholeBeatsAndRunningOnEndsTheLoop) {
  struct Case {
    const char* what;
    int64_t lastEnd;  // where the previous block ended
    int64_t first, end;
    double beat;
    LoopChange change;
    int64_t loopStart, loopEnd;
  };
  const Case cases[] = {
      {"4.49 beats stay as they are", 199001, 100000, 100512, 22050.0, LoopChange::kDetected, 100000, 199001},
      {"88300 narrows by 50 at each end", 188300, 100000, 100512, 22050.0, LoopChange::kDetected, 100050, 188250},
      {"88100 widens by 50 at each end", 188100, 100000, 100512, 22050.0, LoopChange::kDetected, 99950, 188150},
      {"no tempo, no snapping", 188300, 100000, 100512, 0.0, LoopChange::kDetected, 100000, 188300},
      {"under one beat never collapses", 105000, 100000, 100512, 22050.0, LoopChange::kDetected, 100000, 105000},
      {"play moving on says nothing", 512, 512, 1024, 22050.0, LoopChange::kNone, 0, 0},
      {"past 1024 without a loop: gone", 1000, 1000, 1025, 22050.0, LoopChange::kGone, 0, 0},
  };
  for (const Case& c : cases) {
    int64_t loopStart = 0, loopEnd = 0, lastEnd = c.lastEnd;
    EXPECT_EQ(TrackHostLoop(c.first, c.end, c.beat, loopStart, loopEnd, lastEnd), c.change) << c.what;
    EXPECT_EQ(loopStart, c.loopStart) << c.what;
    EXPECT_EQ(loopEnd, c.loopEnd) << c.what;
    EXPECT_EQ(lastEnd, c.end) << c.what;
  }

  // A detected loop holds until play runs more than 1024 samples past its end.
  int64_t loopStart = 1000, loopEnd = 5000, lastEnd = 5000;
  EXPECT_EQ(TrackHostLoop(5000, 6024, 0.0, loopStart, loopEnd, lastEnd), LoopChange::kNone);
  EXPECT_EQ(loopEnd, 5000);
  EXPECT_EQ(TrackHostLoop(6024, 6025, 0.0, loopStart, loopEnd, lastEnd), LoopChange::kGone);
  EXPECT_EQ(loopStart, 0);
  EXPECT_EQ(loopEnd, 0);
}

TEST(ShapeEdits, SelectionStepsAndWrapsAtBothEnds) {
  struct Case {
    int count, selected;
    bool next;
    int expected;  // first selected afterwards, -1 for none
  };
  const Case cases[] = {
      {3, 2, true, 0}, {3, 0, false, 2}, {3, 1, true, 2}, {3, 1, false, 0},
      {1, 0, true, 0}, {1, 0, false, 0}, {3, -1, true, -1}, {0, -1, false, -1},
  };
  for (const Case& c : cases) {
    ShapeStore store;
    for (int i = 0; i < c.count; ++i) Fill(store, {{i * 100, i * 100 + 50}});
    if (c.selected >= 0) store.At(c.selected)->selected = 1;
    c.next ? store.SelectNext() : store.SelectPrevious();
    EXPECT_EQ(store.FirstSelected(), c.expected) << c.count << " segments, from " << c.selected;
    int selectedCount = 0;
    for (int i = 0; i < store.Count(); ++i) selectedCount += store.At(i)->selected;
    EXPECT_EQ(selectedCount, c.expected < 0 ? 0 : 1);
  }
}

TEST(ShapeEdits, SettingsDeleteAndCopySourceActOnTheFirstSelected) {
  ShapeStore store;
  Fill(store, {{0, 100}, {200, 300}, {400, 500}});
  SegmentSettings settings;
  EXPECT_FALSE(store.GetSelectedSettings(&settings));
  EXPECT_FALSE(store.SetSelectedSettings(true, true, 0.1, 0.2, 0.3));
  EXPECT_FALSE(store.DeleteSelected());
  EXPECT_FALSE(store.MarkCopySource());

  store.At(1)->selected = 1;
  store.At(2)->selected = 1;
  EXPECT_TRUE(store.SetSelectedSettings(true, false, 1.5, -0.5, 0.25));
  ASSERT_TRUE(store.GetSelectedSettings(&settings));
  EXPECT_EQ(settings.controlPos, 250);
  EXPECT_TRUE(settings.bypass);
  EXPECT_FALSE(settings.mute);
  EXPECT_EQ(settings.follow, 1.0);
  EXPECT_EQ(settings.clip, 0.0);
  EXPECT_EQ(settings.blend, 0.25);
  EXPECT_EQ(store.At(2)->bypass, 0);  // only the first selected one

  // The copy source follows deletions before it and goes with its segment.
  store.At(1)->selected = 0;
  ASSERT_TRUE(store.MarkCopySource());
  EXPECT_EQ(store.copySource, 2);
  store.At(0)->selected = 1;
  ASSERT_TRUE(store.DeleteSelected());
  EXPECT_EQ(Starts(store), (std::vector<int32_t>{200, 400}));
  EXPECT_EQ(store.copySource, 1);
  ASSERT_TRUE(store.DeleteSelected());  // the segment at 400, the copy source
  EXPECT_EQ(Starts(store), (std::vector<int32_t>{200}));
  EXPECT_EQ(store.copySource, -1);
}

TEST(ShapeEdits, PasteSlotIsTheFirstGapWiderThanTheCopyByMoreThanOneSample) {
  ShapeStore store;
  // Gaps: 100..110 (10), 150..161 (11), 200..300 (100); then the end.
  Fill(store, {{0, 100}, {110, 150}, {161, 200}, {300, 400}});
  struct Case {
    int64_t position, length;
    int index;
    int64_t moved;
  };
  const Case cases[] = {
      {50, 8, 1, 100},     // 10 > 8 + 1: between the first two
      {50, 9, 2, 150},     // 10 is not > 10; 11 > 10
      {50, 10, 3, 200},    // only the wide gap
      {105, 8, 2, 150},    // 5 samples left after the click: the next gap
      {120, 8, 2, 150},    // on a segment: moved to its end
      {120, 200, 4, 400},  // nothing wide enough: after the last
      {500, 1000, 4, 500}, // after the last already
      {-50, 10, 3, 200},   // never before position 0
  };
  for (const Case& c : cases) {
    int64_t position = c.position;
    EXPECT_EQ(store.FindPasteSlot(position, c.length), c.index) << c.position << " + " << c.length;
    EXPECT_EQ(position, c.moved) << c.position << " + " << c.length;
  }
}

TEST(ShapeEdits, LoopCopyFillsTheNextFreePeriodsWithoutOverlap) {
  struct Case {
    const char* what;
    std::vector<Span> spans;
    int32_t loopStart, loopEnd;
    std::vector<int32_t> afterFirst, afterSecond;
  };
  const Case cases[] = {
      {"two segments: first then second period",
       {{1100, 1300}, {1500, 1800}},
       1000,
       2000,
       {1100, 1500, 2100, 2500},
       {1100, 1500, 2100, 2500, 3100, 3500}},
      {"one segment at the loop's start: second press goes one period further",
       {{1000, 1400}},
       1000,
       2000,
       {1000, 2000},
       {1000, 2000, 3000}},
      {"a segment reaching into the next period pushes the copy on",
       {{1100, 1300}, {1900, 2200}},
       1000,
       2000,
       {1100, 1900, 3100},
       {1100, 1900, 3100, 4100}},
      {"a segment touching the loop's end is not inside it",
       {{1100, 1300}, {1500, 2000}},
       1000,
       2000,
       {1100, 1500, 2100},
       {1100, 1500, 2100, 3100}},
  };
  for (const Case& c : cases) {
    ShapeStore store;
    Fill(store, c.spans);
    EXPECT_TRUE(store.CopyLoopShapes(c.loopStart, c.loopEnd)) << c.what;
    EXPECT_EQ(Starts(store), c.afterFirst) << c.what;
    EXPECT_TRUE(store.CopyLoopShapes(c.loopStart, c.loopEnd)) << c.what;
    EXPECT_EQ(Starts(store), c.afterSecond) << c.what;
    for (int i = 0; i < store.Count(); ++i) {
      EXPECT_EQ(store.At(i)->selected, 0) << c.what;
      if (i > 0) {
        EXPECT_LE(store.At(i - 1)->end.pos, store.At(i)->start.pos) << c.what << " at " << i;
      }
    }
  }

  ShapeStore store;
  Fill(store, {{1100, 1300}, {INT32_MAX - 900, INT32_MAX - 800}});
  EXPECT_FALSE(store.CopyLoopShapes(1100, 1100));  // an empty loop
  EXPECT_FALSE(store.CopyLoopShapes(3000, 4000));  // nothing inside
  EXPECT_FALSE(store.CopyLoopShapes(INT32_MAX - 1000, INT32_MAX - 400));  // no room left on the timeline
  EXPECT_EQ(store.Count(), 2);
}
