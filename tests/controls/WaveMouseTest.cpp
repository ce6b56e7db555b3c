// Navigating the waveform display with the mouse, through the editor's mouse
// entry points: hover modes, zoom-window drags, the wheel, ruler and gain
// drags, double-click resets, and the ruler click that moves REAPER's edit cursor.
#include <gtest/gtest.h>

#include <vector>

#include "tests/controls/DisplayRig.h"

namespace {

const PointerState kLeft{true, false, false, false, false};
const PixelRect kZoomAtStart{30, 373, 125, 417};

// Drags from (x, y) by (dx, dy) in steps, through the editor as a user would.
void Drag(DisplayRig& rig, int x, int y, int dx, int dy, int steps = 1) {
  rig.g->MouseHover(x, y, PointerState{});
  rig.g->MousePress(x, y, kLeft);
  for (int i = 1; i <= steps; ++i) rig.g->MouseDrag(x + dx * i / steps, y + dy * i / steps, kLeft);
  rig.g->MouseRelease(x + dx, y + dy);
}

TEST(WaveMouse, HoverModes) {
  DisplayRig rig;
  ASSERT_EQ(rig.display->ZoomWindow(), kZoomAtStart);
  struct Case {
    int x, y, mode;
  };
  const Case cases[] = {
      {37, 380, WaveDisplay::kHoverTopLeft},      // 7 pixels from the top-left corner both ways
      {38, 380, WaveDisplay::kHoverZoom},         // 8 pixels: inside the window, no handle
      {132, 410, WaveDisplay::kHoverBottomRight},
      {133, 417, WaveDisplay::kHoverNone},
      {300, 400, WaveDisplay::kHoverNone},
      {300, 200, WaveDisplay::kHoverShapes},      // the main view
      {23, 366, WaveDisplay::kHoverNone},         // outside the display: no event reaches it
  };
  for (const Case& c : cases) {
    rig.g->MouseHover(c.x, c.y, PointerState{});
    EXPECT_EQ(rig.display->HoverModeNow(), c.mode) << c.x << "," << c.y;
    rig.g->MouseLeave();
  }
  // The top-left handle wins when both corners are that close.
  Drag(rig, 125, 417, -200, -200);  // bottom-right corner up-left as far as it goes
  const PixelRect& z = rig.display->ZoomWindow();
  EXPECT_EQ(z.right - z.left, 4);
  EXPECT_EQ(z.bottom - z.top, 4);
  rig.g->MouseHover(z.left + 2, z.top + 2, PointerState{});
  EXPECT_EQ(rig.display->HoverModeNow(), WaveDisplay::kHoverTopLeft);
}

TEST(WaveMouse, ZoomWindowDragsKeepItsLimits) {
  struct Case {
    int x, y, dx, dy;
    PixelRect expected;
  };
  const Case cases[] = {
      {80, 395, 10, 0, {40, 373, 135, 417}},          // move
      {80, 395, 1000, 1000, {509, 384, 604, 428}},    // against the right and bottom edges, same size
      {80, 395, -1000, -1000, {30, 362, 125, 406}},   // against the left and top edges
      {30, 373, 500, 500, {121, 413, 125, 417}},      // top-left handle past the other corner: 4 px left
      {30, 373, -50, -50, {30, 362, 125, 417}},       // ... and not out of the overview
      {125, 417, 1000, 1000, {30, 373, 605, 429}},    // bottom-right handle to the overview's edge
      {125, 417, -1000, -1000, {30, 373, 34, 377}},   // ... and no smaller than 4 px
  };
  for (const Case& c : cases) {
    DisplayRig rig;
    Drag(rig, c.x, c.y, c.dx, c.dy, 4);
    const PixelRect& z = rig.display->ZoomWindow();
    EXPECT_EQ(z, c.expected) << c.x << "," << c.y << " by " << c.dx << "," << c.dy << " gives " << z.left << ","
                             << z.top << "," << z.right << "," << z.bottom;
    // The main view shows what the zoom window marks.
    const WaveView& o = rig.display->Overview();
    const WaveView& m = rig.display->MainView();
    EXPECT_EQ(m.Start(), o.XToSample(z.left));
    EXPECT_EQ(m.End(), o.XToSample(z.right));
    EXPECT_EQ(m.GainTop(), o.YToGain(z.top));
    EXPECT_EQ(m.GainBottom(), o.YToGain(z.bottom));
    EXPECT_FALSE(rig.display->FollowCursor());
  }
}

TEST(WaveMouse, TopLeftHandleOfATinyWindowAtTheCornerStaysInsideTheOverview) {
  // A main view of 2048 samples near the top of the gain scale shows as a
  // zoom window under a pixel wide and high in the overview's top-left corner.
  DisplayRig rig;
  ASSERT_TRUE(rig.display->SetMainGainRange(760, 768));
  ASSERT_TRUE(rig.display->MoveMainView(0, 2048));
  ASSERT_EQ(rig.display->ZoomWindow(), (PixelRect{30, 362, 30, 362}));
  // Its top-left handle pushed toward the other corner: the window keeps to the overview.
  Drag(rig, 30, 362, 3, 3);
  const PixelRect& z = rig.display->ZoomWindow();
  EXPECT_EQ(z, (PixelRect{30, 362, 30, 362})) << z.left << "," << z.top << "," << z.right << "," << z.bottom;
}

TEST(WaveMouse, WheelZoomsByRegion) {
  struct Case {
    int x, y, notches;
    PixelRect expected;
  };
  const Case cases[] = {
      {300, 200, 1, {31, 374, 124, 416}},   // main view: time and gain
      {300, 30, 1, {31, 373, 124, 417}},    // time ruler: time only
      {590, 200, 1, {30, 374, 125, 416}},   // gain column: gain only
      {300, 400, 1, {31, 373, 124, 417}},   // overview: time only
      {590, 400, 1, {30, 373, 125, 417}},   // overview right of the main view: nothing
      {300, 200, -3, {30, 370, 131, 420}},   // zoom out, moved back inside the overview
      {300, 200, 100, {130, 362, 134, 366}},  // never below 4 px
  };
  for (const Case& c : cases) {
    DisplayRig rig;
    rig.g->MouseWheel(c.x, c.y, PointerState{}, c.notches);
    EXPECT_EQ(rig.display->ZoomWindow(), c.expected) << c.x << "," << c.y << " x" << c.notches;
    const WaveView& o = rig.display->Overview();
    EXPECT_EQ(rig.display->MainView().Start(), o.XToSample(rig.display->ZoomWindow().left));
    EXPECT_EQ(rig.display->FollowCursor(), c.expected == kZoomAtStart);
  }
}

TEST(WaveMouse, RulerDragScrollsPinnedAtZeroAndNeverBelow1024Samples) {
  DisplayRig rig;
  ASSERT_TRUE(rig.display->MoveMainView(441000, 661500));
  const WaveView& m = rig.display->MainView();
  // Left by 100 pixels: the view moves later by what 100 pixels hold.
  int64_t shift = m.XToSample(300) - m.XToSample(200);
  Drag(rig, 300, 30, -100, 0);
  EXPECT_EQ(m.Start(), 441000 + shift);
  EXPECT_EQ(m.End(), 661500 + shift);
  // Far to the left: the view stops at the overview's end, its span kept, and
  // the zoom window at the overview's right edge.
  for (int i = 0; i < 40; ++i) Drag(rig, 500, 30, -400, 0);
  EXPECT_EQ(m.End(), WaveDisplay::kOverviewSpan);
  EXPECT_EQ(m.Start(), WaveDisplay::kOverviewSpan - 220500);
  EXPECT_EQ(rig.display->ZoomWindow().right, WaveDisplay::kOverviewRect.right);
  // Far to the right: the start stops at 0 and the view shrinks, to 1024 samples at least.
  for (int i = 0; i < 40; ++i) Drag(rig, 100, 30, 400, 0);
  EXPECT_EQ(m.Start(), 0);
  EXPECT_EQ(m.End(), 1024);
  EXPECT_EQ(rig.display->ZoomWindow().left, 30);
  EXPECT_FALSE(rig.display->FollowCursor());
}

TEST(WaveMouse, GainDragStopsEachBoundAtItsLimit) {
  DisplayRig rig;
  const WaveView& m = rig.display->MainView();
  // Up by 100 pixels: (196 - 100) / (313 / 1024) = 314 units, (196 - 200) -> -13: 327 down.
  Drag(rig, 590, 200, 0, -100);
  EXPECT_EQ(m.GainBottom(), -768);
  EXPECT_EQ(m.GainTop(), 512 - 327);
  for (int i = 0; i < 10; ++i) Drag(rig, 590, 300, 0, -200);
  EXPECT_EQ(m.GainBottom(), -768);
  EXPECT_EQ(m.GainTop(), -768 + WaveDisplay::kMinGainRange);
  rig.g->MouseDoubleClick(590, 200, kLeft);
  for (int i = 0; i < 20; ++i) Drag(rig, 590, 100, 0, 200);
  EXPECT_EQ(m.GainTop(), 768);
  EXPECT_EQ(m.GainBottom(), 768 - WaveDisplay::kMinGainRange);
  // The gain labels follow the range.
  EXPECT_STREQ(rig.display->GainLabels().HighText(), "+3.5");
}

TEST(WaveMouse, DoubleClickResets) {
  struct Case {
    int x, y;
    int64_t start, end;
    int bottom, top;
    bool follow;
  };
  // From a main view at 900000..1000000 over -256..768, with the overview at 0..1323000.
  const Case cases[] = {
      {300, 30, 950000 - 110250, 950000 + 110250, -256, 768, false},  // ruler: 5 s around the centre
      {590, 200, 900000, 1000000, -512, 512, false},                 // gain column: +-1.0
      {300, 400, 950000 - 110250, 950000 + 110250, -512, 512, true},  // overview: both, and follow
      {300, 200, 900000, 1000000, -256, 768, false},                 // main view: nothing
  };
  for (const Case& c : cases) {
    DisplayRig rig;
    rig.display->SetFollowCursor(false);
    ASSERT_TRUE(rig.display->SetMainGainRange(-256, 768));
    ASSERT_TRUE(rig.display->MoveMainView(900000, 1000000));
    rig.g->MouseDoubleClick(c.x, c.y, kLeft);
    const WaveView& m = rig.display->MainView();
    EXPECT_EQ(m.Start(), c.start) << c.x << "," << c.y;
    EXPECT_EQ(m.End(), c.end) << c.x << "," << c.y;
    EXPECT_EQ(m.GainBottom(), c.bottom) << c.x << "," << c.y;
    EXPECT_EQ(m.GainTop(), c.top) << c.x << "," << c.y;
    EXPECT_EQ(rig.display->FollowCursor(), c.follow) << c.x << "," << c.y;
  }
  // Near the overview's end the 5 s end there.
  DisplayRig rig;
  ASSERT_TRUE(rig.display->MoveMainView(1250000, 1300000));
  rig.g->MouseDoubleClick(300, 30, kLeft);
  EXPECT_EQ(rig.display->MainView().Start(), 1323000 - 220500);
  EXPECT_EQ(rig.display->MainView().End(), 1323000);
}

// REAPER's functions, as the ruler click reaches them.
int gPlayState = 0;
std::vector<double> gEditCursor;
double gTimeOffset = 10.0;
void* GetConfigVar(const char*, int* size) {
  *size = 8;
  return &gTimeOffset;
}
int GetPlayState() { return gPlayState; }
void SetEditCurPos(double time, int, int) { gEditCursor.push_back(time); }

TEST(WaveMouse, RulerClickMovesReapersEditCursor) {
  struct Case {
    const char* product;
    int playState;
    int dx;  // a drag between press and release
    std::vector<double> moves;
  };
  const Case cases[] = {
      {"REAPER", 1, 0, {0.0}},    // 441000 samples at 44100 Hz, less the 10 s offset
      {"REAPER", 0, 0, {0.0}},
      {"REAPER", 5, 0, {}},       // recording
      {"REAPER", 6, 0, {}},       // recording, paused
      {"REAPER", 1, 3, {}},       // a drag only scrolls
      {"Other Host", 1, 0, {}},   // not REAPER
  };
  for (const Case& c : cases) {
    DisplayRig rig(c.product);
    rig.host.functions["get_config_var"] = reinterpret_cast<void*>(&GetConfigVar);
    rig.host.functions["GetPlayState"] = reinterpret_cast<void*>(&GetPlayState);
    rig.host.functions["SetEditCurPos"] = reinterpret_cast<void*>(&SetEditCurPos);
    gPlayState = c.playState;
    gEditCursor.clear();
    ASSERT_TRUE(rig.display->MoveMainView(441000, 661500));
    Drag(rig, 30, 30, c.dx, 0);
    EXPECT_EQ(gEditCursor, c.moves) << c.product << " state " << c.playState << " dx " << c.dx;
  }
}

}  // namespace
