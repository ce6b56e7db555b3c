// The waveform display's geometry: axis labels and their texts, the views'
// coordinate mappings and range checks, the zoom window, and the sample store.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "controls/LabelList.h"
#include "controls/SampleStore.h"
#include "controls/WaveDisplay.h"
#include "controls/WaveView.h"

namespace {

using Labels = std::vector<std::pair<float, std::string>>;

Labels Entries(const LabelList& list) {
  Labels out;
  for (int i = 0; i < list.Count(); ++i) out.emplace_back(list.Position(i), list.Text(i));
  return out;
}

void ExpectLabels(const LabelList& list, const Labels& expected, const char* what) {
  Labels actual = Entries(list);
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(actual[i].first, expected[i].first, 0.0005) << what << " label " << i;
    EXPECT_EQ(actual[i].second, expected[i].second) << what << " label " << i;
  }
}

TEST(AxisLabels, TimeAxes) {
  struct Case {
    int64_t start, end;
    const char* low;
    const char* high;
    Labels labels;
  };
  const Case cases[] = {
      // The main view at first: 5 s, steps of 1 s, hundredths shown.
      {0, 220500, "0:00.00", "0:05.00",
       {{0.2f, "0:01.00"}, {0.4f, "0:02.00"}, {0.6f, "0:03.00"}, {0.8f, "0:04.00"}}},
      // The overview at first: 30 s, step 10 halved to 5 because 30 / 10 < 4.
      {0, 1323000, "0:00", "0:30",
       {{1 / 6.f, "0:05"}, {2 / 6.f, "0:10"}, {3 / 6.f, "0:15"}, {4 / 6.f, "0:20"}, {5 / 6.f, "0:25"}}},
      // Starting on a step: no label at the start.
      {44100, 264600, "0:01.00", "0:06.00",
       {{0.2f, "0:02.00"}, {0.4f, "0:03.00"}, {0.6f, "0:04.00"}, {0.8f, "0:05.00"}}},
      // A tick between 0.06 and 0.1 of the axis is kept without a text.
      {26460, 246960, "0:00.60", "0:05.60",
       {{0.08f, ""}, {0.28f, "0:02.00"}, {0.48f, "0:03.00"}, {0.68f, "0:04.00"}, {0.88f, "0:05.00"}}},
      // A tick closer than 0.06 to an end is dropped (0:01 at 0.05).
      {33075, 253575, "0:00.75", "0:05.75",
       {{0.25f, "0:02.00"}, {0.45f, "0:03.00"}, {0.65f, "0:04.00"}, {0.85f, "0:05.00"}}},
      // Minutes, and the overview grown past a minute: 65 s, step 10.
      {0, 2866500, "0:00", "1:05",
       {{10 / 65.f, "0:10"}, {20 / 65.f, "0:20"}, {30 / 65.f, "0:30"}, {40 / 65.f, "0:40"},
        {50 / 65.f, "0:50"}, {60 / 65.f, ""}}},
  };
  for (const Case& c : cases) {
    LabelList labels;
    BuildTimeLabels(labels, c.start, c.end, 44100);
    std::string what = std::to_string(c.start) + ".." + std::to_string(c.end);
    EXPECT_STREQ(labels.LowText(), c.low) << what;
    EXPECT_STREQ(labels.HighText(), c.high) << what;
    ExpectLabels(labels, c.labels, what.c_str());
  }
}

TEST(AxisLabels, GainAxes) {
  struct Case {
    double bottom, top;
    const char* low;
    const char* high;
    Labels labels;
  };
  const Case cases[] = {
      // -12 dB is dropped: it would lie within 0.06 of the -9 dB label.
      {-1.0, 1.0, "+0.0", "+0.0",
       {{0.5f, "-oo"}, {0.1460f, "-3.0"}, {0.2494f, "-6.0"}, {0.3226f, "-9.0"},
        {0.8540f, "-3.0"}, {0.7506f, "-6.0"}, {0.6774f, "-9.0"}}},
      // Entirely above zero: no "-oo", no negative half.
      // (-12 dB would lie at 0.0016, inside the margin.)
      {0.25, 1.0, "-12.0", "+0.0", {{0.6106f, "-3.0"}, {0.3350f, "-6.0"}, {0.1398f, "-9.0"}}},
      // Gain 0 at an end reads "-oo"; +3 dB at 0.9417 lies inside the top margin.
      {0.0, 1.5, "-oo", "+3.5",
       {{0.6667f, "+0.0"}, {0.4720f, "-3.0"}, {0.3341f, "-6.0"}, {0.2365f, "-9.0"}, {0.1674f, "-12.0"}}},
  };
  for (const Case& c : cases) {
    LabelList labels;
    BuildGainLabels(labels, c.bottom, c.top);
    std::string what = std::to_string(c.bottom) + ".." + std::to_string(c.top);
    EXPECT_STREQ(labels.LowText(), c.low) << what;
    EXPECT_STREQ(labels.HighText(), c.high) << what;
    ExpectLabels(labels, c.labels, what.c_str());
  }
}

TEST(AxisLabels, Texts) {
  const std::pair<double, const char*> levels[] = {
      {0.0, "+0.0"}, {6.02, "+6.0"}, {-3.0, "-3.0"}, {-144.0, "-144.0"}, {-144.5, "-oo"}};
  char text[LabelList::kTextBytes];
  for (auto [dB, expected] : levels) {
    FormatLevelText(text, dB);
    EXPECT_STREQ(text, expected) << dB;
  }
  struct TimeCase {
    double seconds;
    bool hundredths;
    const char* expected;
  };
  const TimeCase times[] = {{0.0, true, "0:00.00"},     {0.625, true, "0:00.63"},  {59.999, true, "1:00.00"},
                            {61.234, true, "1:01.23"},  {125.0, false, "2:05"},    {0.57, true, "0:00.57"},
                            {3599.994, false, "59:59"}, {3599.996, false, "60:00"}};
  for (const TimeCase& t : times) {
    FormatTimeText(text, t.seconds, t.hundredths);
    EXPECT_STREQ(text, t.expected) << t.seconds;
  }
}

TEST(WaveViewGeometry, MappingsOfTheMainView) {
  WaveView main(0, 220500, 1.0, WaveDisplay::kMainRect, 44100);
  EXPECT_EQ(main.ZeroY(), 196);
  EXPECT_EQ(main.GainBottom(), -512);
  EXPECT_EQ(main.GainTop(), 512);
  struct Case {
    int64_t sample;
    int x;
  };
  for (Case c : {Case{0, 30}, Case{403, 30}, Case{404, 31}, Case{110250, 303}, Case{220499, 575}, Case{-404, 29}}) {
    EXPECT_EQ(main.SampleToX(c.sample), c.x) << c.sample;
  }
  // x to a sample and back truncates twice: at most one pixel to the left.
  for (int x = 30; x < 576; x += 37) {
    int back = main.SampleToX(main.XToSample(x));
    EXPECT_TRUE(back == x || back == x - 1) << x;
  }
  EXPECT_EQ(main.XToSample(30), 0);
  EXPECT_EQ(main.GainToY(512), 40);
  EXPECT_EQ(main.GainToY(-512), 352);
  EXPECT_EQ(main.GainToY(0), 196);
  EXPECT_EQ(main.YToGain(40), 510);
  EXPECT_EQ(main.YToGain(196), 0);
  int x = 0, y = 0;
  main.ToPixel(220500 / 2, 0.5, &x, &y);
  EXPECT_EQ(x, 303);
  EXPECT_EQ(y, 196 - 78);
  // Levels far beyond 16 bits saturate instead of wrapping round.
  main.ToPixel(0, 64.0, &x, &y);
  EXPECT_EQ(y, 196 - static_cast<int>(32767 * (313.0 / 1024)));
  int64_t sample = 0;
  double gain = 0.0;
  main.FromPixel(303, 118, &sample, &gain);
  EXPECT_NEAR(static_cast<double>(sample), 110250.0, 1.0);
  EXPECT_EQ(gain, 255 / 512.0);
}

TEST(WaveViewGeometry, RangeChecksRefuseEmptyAndInvertedRanges) {
  WaveView view(0, 220500, 1.0, WaveDisplay::kMainRect, 44100);
  struct TimeCase {
    int64_t from, to;
    bool accepted;
  };
  for (TimeCase c : {TimeCase{100, 100, false}, TimeCase{200, 100, false}, TimeCase{-1, 100, false},
                     TimeCase{0, int64_t{1} << 40, false}, TimeCase{1000, 2024, true}}) {
    EXPECT_EQ(view.SetTimeRange(c.from, c.to), c.accepted) << c.from << ".." << c.to;
  }
  EXPECT_EQ(view.Start(), 1000);
  EXPECT_EQ(view.End(), 2024);
  struct GainCase {
    int bottom, top;
    bool accepted;
  };
  for (GainCase c : {GainCase{0, 0, false}, GainCase{10, -10, false}, GainCase{-40000, 10, false},
                     GainCase{-256, 768, true}}) {
    EXPECT_EQ(view.SetGainRange(c.bottom, c.top), c.accepted) << c.bottom << ".." << c.top;
  }
  EXPECT_EQ(view.GainBottom(), -256);
  EXPECT_EQ(view.GainTop(), 768);
  // zero y = top + (int)(768 * 313 / 1024)
  EXPECT_EQ(view.ZeroY(), 40 + 234);
}

TEST(ZoomWindow, KeptInsideTheOverview) {
  struct Case {
    PixelRect in, out;
  };
  const Case cases[] = {
      {{30, 373, 125, 417}, {30, 373, 125, 417}},   // inside: unchanged
      {{20, 373, 115, 417}, {30, 373, 125, 417}},   // past the left edge: moved right
      {{10, 350, 650, 440}, {30, 362, 604, 428}},   // larger than the overview: both edges
      {{560, 400, 620, 440}, {544, 388, 604, 428}}, // past right and bottom: one pixel inside
  };
  for (const Case& c : cases) {
    PixelRect r = c.in;
    WaveDisplay::KeepInsideOverview(r);
    EXPECT_EQ(r, c.out) << c.in.left << "," << c.in.top << "," << c.in.right << "," << c.in.bottom;
  }
}

TEST(SampleStore, PagesCreatedOnWriteAndReadBack) {
  SampleStore store;
  int count = 0;
  EXPECT_EQ(store.Get(0, false, &count), nullptr);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(store.Get(-1, true, &count), nullptr);
  EXPECT_EQ(count, -1);
  // A write across a page boundary makes both pages, zero-filled elsewhere.
  std::vector<int16_t> values = {1, -2, 3, -4, 5};
  ASSERT_TRUE(store.Write(values.data(), SampleStore::kPageSize - 2, 5));
  EXPECT_EQ(store.PageCount(), 2);
  int16_t* p = store.Get(SampleStore::kPageSize - 2, false, &count);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(p[0], 1);
  EXPECT_EQ(p[1], -2);
  p = store.Get(SampleStore::kPageSize, false, &count);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(count, SampleStore::kPageSize);
  EXPECT_EQ(p[2], 5);
  EXPECT_EQ(p[3], 0);
  EXPECT_EQ(*store.Get(0, false, &count), 0);
  store.Clear();
  EXPECT_EQ(store.PageCount(), 0);
  EXPECT_EQ(store.Get(SampleStore::kPageSize, false, &count), nullptr);
}

TEST(SampleStore, OverBudgetValuesAreNotStored) {
  SampleStore store(2);
  std::vector<int16_t> values(3 * SampleStore::kPageSize, 100);
  EXPECT_FALSE(store.Write(values.data(), 0, static_cast<int>(values.size())));
  EXPECT_TRUE(store.Overflowed());
  EXPECT_EQ(store.PageCount(), 2);
  ColumnSums sums;
  store.Accumulate(0, 3 * SampleStore::kPageSize, 1.0, sums);
  EXPECT_EQ(sums.count, 2 * SampleStore::kPageSize);  // the third page is absent, not silent
  EXPECT_EQ(sums.min, 100);
  // Positions that no int32 holds are never stored.
  int count = 0;
  EXPECT_EQ(store.Get(SampleStore::kPositionLimit, true, &count), nullptr);
}

// The overview's columns come from block summaries; a walk over every value
// at another scale's store gives the same statistics and the same picture.
TEST(SampleStore, SummariesGiveTheSamePictureAsTheFullWalk) {
  std::mt19937 random(9);
  std::uniform_int_distribution<int> value(-900, 900);
  const int pages = 48;
  std::vector<int16_t> data(static_cast<size_t>(pages) * SampleStore::kPageSize);
  for (auto& v : data) v = static_cast<int16_t>(value(random) * (value(random) > 600 ? 30 : 1));
  WaveView summarised(0, 1323000, 1.5, WaveDisplay::kOverviewRect, 44100);
  WaveView walked(0, 1323000, 1.5, WaveDisplay::kOverviewRect, 44100);
  SampleStore withSummaries;
  SampleStore withoutSummaries;
  withSummaries.SetSummaryScale(summarised.PixelsPerGainUnit());
  withoutSummaries.SetSummaryScale(1.0);
  // Pages 5, 17 and 30..33 stay missing; two writes overlap as after a host loop.
  for (SampleStore* store : {&withSummaries, &withoutSummaries}) {
    for (int page = 0; page < pages; ++page) {
      if (page == 5 || page == 17 || (page >= 30 && page < 34)) continue;
      store->Write(data.data() + static_cast<size_t>(page) * SampleStore::kPageSize,
                   static_cast<int64_t>(page) * SampleStore::kPageSize, SampleStore::kPageSize);
    }
    store->Write(data.data() + 777, 300000, 5000);
  }
  const int64_t end = static_cast<int64_t>(pages) * SampleStore::kPageSize + 220500;
  summarised.Update(withSummaries, 0, end, 1.0, 3, true);
  walked.Update(withoutSummaries, 0, end, 1.0, 3, true);
  int nonEmpty = 0;
  for (int c = 0; c < summarised.Width(); ++c) {
    const ColumnStats& a = summarised.Stats()[c];
    const ColumnStats& b = walked.Stats()[c];
    EXPECT_TRUE(a.below == b.below && a.above == b.above && a.spread == b.spread) << "column " << c;
    nonEmpty += a.above > 0;
  }
  EXPECT_GT(nonEmpty, 400);
  const size_t pixels = static_cast<size_t>(summarised.Width()) * summarised.Height();
  EXPECT_TRUE(std::equal(summarised.Image(), summarised.Image() + pixels, walked.Image()));
}

}  // namespace
