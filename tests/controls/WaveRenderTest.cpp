// The waveform display's picture: column statistics and painting, following
// the host's play cursor, the overview's growth, the look parameters, and the
// gain shapes, drawn from audio captured by a real instance.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "controls/SampleStore.h"
#include "controls/WaveView.h"
#include "tests/controls/DisplayRig.h"
#include "tools/PngFile.h"

namespace {

constexpr uint32_t Rgb(int r, int g, int b) {
  return 0xFF000000u | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}

// A main view over samples written column by column: value(column, i) gives
// the i-th sample of a column.
struct PaintedView {
  WaveView view{0, 220500, 1.0, WaveDisplay::kMainRect, 44100};
  SampleStore store;

  template <class F>
  void Fill(int c0, int c1, F value) {
    for (int c = c0; c < c1; ++c) {
      int64_t from = view.XToSample(view.Rect().left + c);
      int64_t to = view.XToSample(view.Rect().left + c + 1);
      std::vector<int16_t> values;
      for (int64_t n = from; n < to; ++n) values.push_back(value(c, static_cast<int>(n - from)));
      store.Write(values.data(), from, static_cast<int>(values.size()));
    }
  }
  void Paint(double brightness, int colourMap) { view.Update(store, 0, 220500, brightness, colourMap, true); }
  uint32_t At(int column, int row) const { return view.Image()[row * view.Width() + column]; }
  int Z() const { return view.ZeroRow(); }
};

TEST(WaveColumns, StatisticsAndPainting) {
  // Gain 0.5 is 256 units, 78 pixels at 313 / 1024 pixels per unit; the zero row is 157.
  PaintedView v;
  v.Fill(0, 100, [](int, int) { return int16_t{256}; });                        // steady positive value
  v.Fill(100, 200, [](int, int i) { return static_cast<int16_t>(i % 2 ? -256 : 256); });  // +-0.5
  v.Fill(200, 300, [](int, int i) { return static_cast<int16_t>(i % 2 ? 512 : 256); });   // all above zero
  v.Fill(399, 400, [](int, int i) { return static_cast<int16_t>(i % 2 ? -330 : 330); });  // a spike
  v.Paint(1.0, 3);
  ASSERT_EQ(v.Z(), 157);
  const ColumnStats* s = v.view.Stats();
  struct StatsCase {
    int column, below, above, spread;
  };
  for (StatsCase c : {StatsCase{50, -78, 78, 0}, StatsCase{150, 78, 78, 78}, StatsCase{250, -78, 156, 39},
                      StatsCase{399, 100, 100, 100}, StatsCase{450, 0, 0, 0}}) {
    EXPECT_EQ(s[c.column].below, c.below) << c.column;
    EXPECT_EQ(s[c.column].above, c.above) << c.column;
    EXPECT_EQ(s[c.column].spread, c.spread) << c.column;
  }
  const uint32_t solid = Rgb(95, 0, 255);
  auto paintedRows = [&](int column) {
    std::vector<int> rows;
    for (int r = 0; r < v.view.Height(); ++r) {
      if (v.At(column, r) != 0) rows.push_back(r);
    }
    return rows;
  };
  // A steady value leaves one solid row, 78 pixels above the zero row.
  EXPECT_EQ(paintedRows(50), std::vector<int>{157 - 78});
  EXPECT_EQ(v.At(50, 157 - 78), solid);
  // Values all above zero: the band between them, everything else cleared.
  std::vector<int> band = paintedRows(250);
  ASSERT_EQ(band.size(), 79u);
  EXPECT_EQ(band.front(), 157 - 156);
  EXPECT_EQ(band.back(), 157 - 78);
  for (int r : band) EXPECT_EQ(v.At(250, r), solid) << r;
  // Silence: black; and the zero row stays black everywhere.
  EXPECT_TRUE(paintedRows(450).empty());
  for (int c = 0; c < v.view.Width(); ++c) EXPECT_EQ(v.At(c, 157), 0u) << c;
  // Next to the spike: tails toward it, from weight 5 at its far end to 500
  // beside the zero row (colour A * weight / 512).
  EXPECT_EQ(v.At(398, 157 + 100), Rgb(95 * 5 / 512, 0, 255 * 5 / 512));
  EXPECT_EQ(v.At(398, 157 + 1), Rgb(95 * 500 / 512, 0, 255 * 500 / 512));
  EXPECT_EQ(v.At(398, 157 - 100), Rgb(95 * 5 / 512, 0, 255 * 5 / 512));
  EXPECT_EQ(v.At(398, 157 + 101), 0u);
  EXPECT_EQ(v.At(400, 157 + 50), Rgb(95 * 255 / 512, 0, 255 * 255 / 512));
  // At brightness 10 every channel of the solid colour from 26 up is capped.
  v.view.PaintColumns(0, v.view.Width(), 10.0, 3);
  EXPECT_EQ(v.At(50, 157 - 78), Rgb(255, 0, 255));
  v.view.PaintColumns(0, v.view.Width(), 10.0, 0);
  EXPECT_EQ(v.At(50, 157 - 78), Rgb(255, 255, 0));
  EXPECT_EQ(v.At(50, 157), 0u);
}

TEST(WaveColumns, EachColourMap) {
  // A +-0.5 signal: spread 78 = extent, so the outer rows show colour B and
  // the row beside the zero line is 1/78 B + 77/78 C.
  PaintedView v;
  v.Fill(0, v.view.Width(), [](int, int i) { return static_cast<int16_t>(i % 2 ? -256 : 256); });
  struct Case {
    int map;
    uint32_t outer, inner;
  };
  const Case cases[] = {
      {0, Rgb(255, 231, 10), Rgb(255, (231 + 255 * 77) / 78, (10 + 240 * 77) / 78)},
      {1, Rgb(255, 0, 0), Rgb(255, 255 * 77 / 78, 0)},
      {2, Rgb(0, 255, 0), Rgb(255 * 77 / 78, 255, 255 * 77 / 78)},
      {3, Rgb(18, 227, 255), Rgb((18 + 255 * 77) / 78, (227 + 255 * 77) / 78, 255)},
  };
  for (const Case& c : cases) {
    v.Paint(1.0, c.map);
    EXPECT_EQ(v.view.LoadedColourMap(), c.map);
    for (int row : {157 - 78, 157 + 78}) EXPECT_EQ(v.At(300, row), c.outer) << kColourMaps[c.map].name;
    for (int row : {157 - 1, 157 + 1}) EXPECT_EQ(v.At(300, row), c.inner) << kColourMaps[c.map].name;
    EXPECT_EQ(v.At(300, 157 + 79), 0u);
  }
  // An unknown map keeps the colours it had.
  v.view.PaintColumns(0, v.view.Width(), 1.0, 7);
  EXPECT_EQ(v.At(300, 157 - 78), Rgb(18, 227, 255));
}

TEST(WaveFollowing, MainViewFollowsAndOverviewGrows) {
  struct Case {
    bool follow;
    int64_t jumpTo;
    int64_t mainStart, mainEnd, overviewEnd;
  };
  const Case cases[] = {
      // Playing past the main view's end: the newest block starts a quarter span in.
      {true, 0, 220160 - 55125, 220160 - 55125 + 220500, 1323000},
      // A jump far beyond the overview: the main view goes there, the overview
      // reaches 5 s past the main view's end.
      {true, 2000000, 2000000 - 55125, 2000000 - 55125 + 220500, 2000000 - 55125 + 220500 + 220500},
      // Not following: the main view stays, the overview reaches 5 s past the data.
      {false, 2000000, 0, 220500, 2000512 + 220500},
  };
  for (const Case& c : cases) {
    DisplayRig rig;
    rig.signal = [](int64_t) { return 0.25; };
    rig.display->SetFollowCursor(c.follow);
    if (c.jumpTo == 0) {
      rig.PlayRange(0, 220672 + 512, 512, 1);  // the last block publishes the one before
    } else {
      rig.PlayRange(0, 4096, 512, 1);
      rig.Play(c.jumpTo, 512);
      rig.Play(c.jumpTo + 512, 512);  // publishes the block at the jump
    }
    rig.Tick();
    WaveView& main = rig.display->MainView();
    WaveView& overview = rig.display->Overview();
    EXPECT_EQ(main.Start(), c.mainStart) << c.jumpTo;
    EXPECT_EQ(main.End(), c.mainEnd) << c.jumpTo;
    EXPECT_EQ(overview.Start(), 0);
    EXPECT_EQ(overview.End(), c.overviewEnd) << c.jumpTo;
    EXPECT_EQ(rig.display->LastEnd(), c.jumpTo == 0 ? 220672 : c.jumpTo + 512);
    // The zoom window follows the main view.
    EXPECT_EQ(rig.display->ZoomWindow().left, overview.SampleToX(main.Start()));
    EXPECT_EQ(rig.display->ZoomWindow().right, overview.SampleToX(main.End()));
    // The play cursor is drawn in red where the newest data ends.
    int x = main.SampleToX(rig.display->LastEnd());
    if (x >= 30 && x < 576) {
      EXPECT_EQ(rig.Pixel(x, 100), Rgb(255, 0, 0));
    }
  }
}

TEST(WaveRender, LookParametersRepaintTheColumns) {
  DisplayRig rig;
  rig.signal = [](int64_t) { return 0.3; };  // both channels: 153 units, 46 pixels
  rig.PlayRange(0, 44100, 512, 4);
  rig.Tick();
  const int x = 30 + 50, y = 40 + 157 - 46;  // the one solid row: image row 111
  EXPECT_EQ(rig.Pixel(x, y), Rgb(95, 0, 255));
  AEffect* effect = rig.plug->Effect();
  effect->setParameter(effect, EffectPlugin::kColormap, 1.0f / 3.0f);  // "thermal"
  EXPECT_TRUE(rig.display->NeedsRedraw());
  rig.Tick();
  EXPECT_EQ(rig.Pixel(x, y), Rgb(0, 0, 255));
  effect->setParameter(effect, EffectPlugin::kBright, 1.0f);  // 10x
  rig.Tick();
  EXPECT_EQ(rig.Pixel(x, y), Rgb(0, 0, 255));
  effect->setParameter(effect, EffectPlugin::kColormap, 0.0f);  // "pompeii" at 10x
  rig.Tick();
  EXPECT_EQ(rig.Pixel(x, y), Rgb(255, 255, 0));
}

TEST(WaveRender, GainShapesInBothViews) {
  DisplayRig rig;
  rig.signal = [](int64_t n) { return 0.3 * std::sin(static_cast<double>(n) * 0.05); };
  rig.PlayRange(0, 88200, 512, 4);
  ShapeStore& shapes = rig.display->Shapes();
  auto add = [&](int32_t start, int32_t control, int32_t end, double level, bool selected) {
    auto* s = new ShapeSegment;
    s->start.pos = start;
    s->control.pos = control;
    s->end.pos = end;
    s->start.level = s->control.level = s->end.level = level;
    s->selected = selected;
    shapes.InsertSegment(shapes.Count(), s);
    return s;
  };
  ShapeSegment* inView = add(44100, 88200, 132300, 0.5, true);
  // Hours long: drawn only where it shows, at a cost bounded by the view.
  ShapeSegment* huge = add(150000, 1000000000, 2000000000, 0.25, false);
  ShapeSegment* later = add(2000000000, 2000000100, 2000000200, 0.5, false);
  later->start.hit = 1;
  rig.display->MarkDirty(false);
  rig.Tick();
  EXPECT_EQ(inView->visible, 1);
  EXPECT_EQ(inView->start.x, 139);  // 30 + (int)(44100 * 546 / 220500)
  EXPECT_EQ(inView->start.yPos, 196 - 78);
  EXPECT_EQ(inView->start.yNeg, 196 + 78);
  EXPECT_EQ(inView->end.posShown, 1);
  EXPECT_EQ(huge->visible, 1);
  EXPECT_EQ(huge->end.posShown, 0);  // beyond the view
  EXPECT_EQ(later->visible, 0);
  EXPECT_EQ(later->start.hit, 0);  // nothing out of sight is under the pointer
  // Point fills: the selected segment's points green, plain ones black.
  EXPECT_EQ(rig.Pixel(139, 118), Rgb(0, 255, 0));
  EXPECT_EQ(rig.Pixel(139, 274), Rgb(0, 255, 0));
  int hx = rig.display->MainView().SampleToX(150000);
  EXPECT_EQ(rig.Pixel(hx, 196 - 39), Rgb(0, 0, 0));
  // The flat curve of the first segment in white, on both images.
  EXPECT_EQ(rig.Pixel(250, 118), Rgb(255, 255, 255));
  EXPECT_EQ(rig.Pixel(250, 274), Rgb(255, 255, 255));
  // The overview: the selected segment filled white between its images, the
  // other grey, clipped to the overview.
  const WaveView& o = rig.display->Overview();
  EXPECT_EQ(rig.Pixel(o.SampleToX(66150), 395), Rgb(255, 255, 255));
  EXPECT_EQ(rig.Pixel(o.SampleToX(500000), 395), Rgb(127, 127, 127));
  EXPECT_EQ(rig.Pixel(604, 395), Rgb(127, 127, 127));
  EXPECT_NE(rig.Pixel(606, 395), Rgb(127, 127, 127));
  WritePng(std::string(KELVANE_BINARY_DIR) + "/wave-shapes.png", 640, 540, rig.Screen());
}

}  // namespace
