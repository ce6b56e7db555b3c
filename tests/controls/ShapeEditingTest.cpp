// Shape editing end to end: a real Kelvane instance with its headless editor,
// driven through the editor's mouse entry points and timer ticks, with audio
// through the VST 2 process call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "controls/WaveDisplay.h"
#include "core/ByteOrder.h"
#include "effect/EffectPlugin.h"
#include "graphics/SectionBitmap.h"
#include "graphics/platform/headless/HeadlessGraphics.h"
#include "shapes/EditPanel.h"
#include "shapes/ShapeSegment.h"
#include "tests/controls/RecordingGraphics.h"
#include "tests/core/FakeHost.h"
#include "tools/PngFile.h"
#include "tools/Screenshot.h"

namespace {

// The main view at first: samples 0 .. 220500 over x 30 .. 576, gain -1 .. +1
// over y 40 .. 353, centre line at y 196.
int32_t SampleAt(int x) { return static_cast<int32_t>((x - 30) / (546.0 / 220500.0)); }
double LevelAt(int y) { return static_cast<int16_t>(static_cast<int>((196 - y) / (313.0 / 1024.0))) / 512.0; }

struct Seg {
  int32_t start, control, end;
  double level;  // flat
};

int64_t gNow = 0;
int64_t FakeClock() { return gNow; }

struct Editing : ::testing::Test {
  FakeHost host;
  EffectPlugin* plug = new EffectPlugin(host.Callback(), SurfaceKind::Headless);
  AEffect* effect = plug->Effect();
  HeadlessGraphics* g = static_cast<HeadlessGraphics*>(plug->Editor());
  WaveDisplay* display = plug->Display();
  EditPanel* panel = plug->Panel();
  PointerState none, left{true};

  void SetUp() override {
    ASSERT_TRUE(g && display && panel);
    panel->SetClock(&FakeClock);
    g->TimerTick();
  }
  void TearDown() override { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }

  ShapeStore& Edit() { return display->Shapes(); }
  ShapeStore& Engine() { return plug->EngineStore(); }

  void Press(int x, int y, const PointerState& mods) {
    g->MouseHover(x, y, none);
    PointerState down = mods;
    down.left = true;
    g->MousePress(x, y, down);
  }
  void Click(int x, int y, const PointerState& mods = PointerState{}) {
    Press(x, y, mods);
    g->MouseRelease(x, y);
    g->TimerTick();
  }
  // Press at (x, y), move by (dx, dy) one pixel at a time, release.
  void Drag(int x, int y, int dx, int dy, const PointerState& mods = PointerState{}) {
    Press(x, y, mods);
    PointerState held = mods;
    held.left = true;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    for (int i = 1; i <= steps; ++i) g->MouseDrag(x + dx * i / steps, y + dy * i / steps, held);
    g->MouseRelease(x + dx, y + dy);
    g->TimerTick();
  }
  // Unselected flat segments, as a restored state leaves them, drawn once.
  void Put(const std::vector<Seg>& segs) {
    for (const Seg& s : segs) {
      auto* segment = new ShapeSegment;
      segment->selected = 0;
      segment->start = {s.start, s.level};
      segment->control = {s.control, s.level};
      segment->end = {s.end, s.level};
      Edit().InsertSegment(Edit().Count(), segment);
    }
    plug->CommitShapes(Edit());
    display->MarkDirty(false);
    g->TimerTick();
  }
  std::vector<int32_t> Starts() {
    std::vector<int32_t> starts;
    for (int i = 0; i < Engine().Count(); ++i) starts.push_back(Engine().At(i)->start.pos);
    return starts;
  }
  // The engine store holds what the edit store holds (the screen positions
  // that the draws after the commit cache are the editor's own).
  void ExpectCommitted() {
    ASSERT_EQ(Engine().Count(), Edit().Count());
    for (int i = 0; i < Edit().Count(); ++i) {
      const ShapeSegment &e = *Edit().At(i), &n = *Engine().At(i);
      EXPECT_TRUE(e.selected == n.selected && e.bypass == n.bypass && e.mute == n.mute && e.follow == n.follow &&
                  e.clip == n.clip && e.blend == n.blend)
          << "segment " << i;
      for (auto point : {&ShapeSegment::start, &ShapeSegment::control, &ShapeSegment::end}) {
        EXPECT_TRUE((e.*point).pos == (n.*point).pos && (e.*point).level == (n.*point).level) << "segment " << i;
      }
    }
  }
  // Stereo blocks of 512 at consecutive positions; returns the left output.
  std::vector<double> Render(int64_t from, int64_t to, double value, AEffect* target = nullptr) {
    if (!target) target = effect;
    std::vector<double> out;
    for (int64_t pos = from; pos < to; pos += 512) {
      host.time.samplePos = static_cast<double>(pos);
      std::vector<double> l(512, value), r(512, value);
      double* io[2] = {l.data(), r.data()};
      target->processDoubleReplacing(target, io, io, 512);
      out.insert(out.end(), l.begin(), l.end());
    }
    return out;
  }
};

void ExpectPoint(const ShapePoint& p, int32_t pos, double level, const char* what) {
  EXPECT_EQ(p.pos, pos) << what;
  EXPECT_EQ(p.level, level) << what;
}

TEST_F(Editing, ASegmentAtTheTimelineStartKeepsItsPointsOnIt) {
  // The first pixel is sample 0: the control point moves one sample in, so
  // that the start stays at 0 rather than before it.
  Click(30, 100);
  ASSERT_EQ(Edit().Count(), 1);
  EXPECT_EQ(Edit().At(0)->start.pos, 0);
  EXPECT_EQ(Edit().At(0)->control.pos, 1);
  EXPECT_EQ(Edit().At(0)->end.pos, SampleAt(62));
  ExpectCommitted();
}

TEST_F(Editing, ClicksCreateSegmentsWithTheDefaultsAndOnlyInFreePlaces) {
  // A click in an empty list: 64 pixels wide, control point 16 pixels further out.
  Click(300, 100);
  ASSERT_EQ(Edit().Count(), 1);
  const ShapeSegment& s = *Edit().At(0);
  ExpectPoint(s.start, SampleAt(268), LevelAt(100), "start");
  ExpectPoint(s.control, SampleAt(300), LevelAt(84), "control");
  ExpectPoint(s.end, SampleAt(332), LevelAt(100), "end");
  EXPECT_EQ(s.selected, 1);
  EXPECT_EQ(s.follow, 0.5);
  EXPECT_EQ(s.clip, 1.0);
  EXPECT_EQ(s.blend, 0.5);
  EXPECT_TRUE(panel->SegmentShown());
  ExpectCommitted();

  // Empty space with a selection only deselects; the second click creates.
  Click(450, 150);
  EXPECT_EQ(Edit().Count(), 1);
  EXPECT_FALSE(panel->SegmentShown());
  Click(450, 150);
  EXPECT_EQ(Edit().Count(), 2);
  EXPECT_TRUE(panel->SegmentShown());

  // Below the centre line: the levels of the mirrored click above it.
  Click(100, 292);  // deselects
  Click(100, 292);
  ASSERT_EQ(Edit().Count(), 3);
  EXPECT_EQ(Edit().At(0)->start.level, LevelAt(100));
  EXPECT_EQ(Edit().At(0)->control.level, LevelAt(84));
  ExpectCommitted();

  // On the centre line nothing is made and the panel hides its segment.
  Click(200, 200);  // deselect
  Click(200, 196);
  EXPECT_EQ(Edit().Count(), 3);
  EXPECT_FALSE(panel->SegmentShown());
}

TEST_F(Editing, AClickRightAfterASegmentCreatesNothingTwoSamplesAfterItClampsToIt) {
  struct Case {
    int samplesAfterEnd;
    int expectedCount;
  };
  for (const Case c : {Case{1, 1}, Case{2, 2}}) {
    Edit().ClearShapes();
    const int32_t clicked = SampleAt(300);
    // Far above the click, so neither its points nor its body are hit.
    Put({{clicked - 30000, clicked - 20000, clicked - c.samplesAfterEnd, 0.95}});
    Edit().At(0)->follow = 0.9;
    Click(300, 150);
    ASSERT_EQ(Edit().Count(), c.expectedCount) << c.samplesAfterEnd;
    if (c.expectedCount == 2) {
      EXPECT_EQ(Edit().At(1)->start.pos, clicked - 2);  // clamped to the end before it
      EXPECT_EQ(Edit().At(1)->follow, 0.9);             // the settings of the one before
    }
  }
}

TEST_F(Editing, DragsStopAtTheNeighboursAndTheLevelLimits) {
  // B from x 250 to 330, control at 290, flat at 0.5 (y 118, mirrored 274), between A and C.
  const int32_t a = SampleAt(100), aEnd = a + 40000, c = SampleAt(400);
  const int32_t b = SampleAt(250), bControl = SampleAt(290), bEnd = SampleAt(330), length = bEnd - b;
  struct Case {
    const char* what;
    int x, y, dx, dy;
    int32_t start, control, end;
    double startLevel, controlLevel;
  };
  const Case cases[] = {
      {"body left stops at A's end", 270, 118, -230, 0, aEnd, aEnd + bControl - b, aEnd + length, 0.5, 0.5},
      {"body right stops a sample before C", 270, 118, 300, 0, c - 1 - length, c - 1 - length + bControl - b, c - 1,
       0.5, 0.5},
      {"start up to the top less 1 %", 250, 118, 0, -88, b, bControl, bEnd, 0.99, 0.5},
      {"start down to 0", 250, 118, 0, 150, b, bControl, bEnd, 0.0, 0.5},
      {"mirrored start down rises", 250, 274, 0, 20, b, bControl, bEnd, 0.5 + LevelAt(274) - LevelAt(294), 0.5},
      {"start stops at the control point", 250, 118, 200, 0, bControl, bControl, bEnd, 0.5, 0.5},
      {"control stops a sample inside the end", 290, 118, 200, 0, b, bEnd - 1, bEnd, 0.5, 0.5},
      {"shift keeps the move horizontal", 290, 118, 10, -30, b, bControl + SampleAt(300) - SampleAt(290), bEnd, 0.5,
       0.5},
  };
  for (const Case& k : cases) {
    Edit().ClearShapes();
    Put({{a, a + 20000, aEnd, 0.3}, {b, bControl, bEnd, 0.5}, {c, c + 10000, c + 20000, 0.3}});
    PointerState mods;
    mods.shift = std::strncmp(k.what, "shift", 5) == 0;
    Drag(k.x, k.y, k.dx, k.dy, mods);
    ExpectCommitted();
    const ShapeSegment& s = *Engine().At(1);
    EXPECT_EQ(s.start.pos, k.start) << k.what;
    EXPECT_EQ(s.control.pos, k.control) << k.what;
    EXPECT_EQ(s.end.pos, k.end) << k.what;
    EXPECT_DOUBLE_EQ(s.start.level, k.startLevel) << k.what;
    EXPECT_DOUBLE_EQ(s.control.level, k.controlLevel) << k.what;
    EXPECT_EQ(Engine().At(0)->end.pos, aEnd) << k.what;  // the neighbours stay
    EXPECT_EQ(Engine().At(2)->start.pos, c) << k.what;
  }
}

TEST_F(Editing, ABodyTouchingBothNeighboursStaysWhenDragged) {
  // B fills the gap from A's end to C's start exactly, flat at 0.5 (y 118).
  const int32_t a = SampleAt(100), aEnd = a + 40000, c = SampleAt(400);
  for (int dx : {30, -30}) {
    Edit().ClearShapes();
    Put({{a, a + 20000, aEnd, 0.3}, {aEnd, SampleAt(300), c, 0.5}, {c, c + 10000, c + 20000, 0.3}});
    PointerState shift;
    shift.shift = true;
    Drag(270, 118, dx, 0, shift);
    ExpectCommitted();
    const ShapeSegment& b = *Engine().At(1);
    EXPECT_EQ(b.start.pos, aEnd) << dx;
    EXPECT_EQ(b.control.pos, SampleAt(300)) << dx;
    EXPECT_EQ(b.end.pos, c) << dx;
    EXPECT_EQ(Engine().At(0)->end.pos, aEnd) << dx;
    EXPECT_EQ(Engine().At(2)->start.pos, c) << dx;
  }
}

TEST_F(Editing, PointsOfSeveralSegmentsDraggedTogetherNeverCrossEachOther) {
  // Under the pointer at x 200, y 118 (level 0.5): A's end and all of the
  // tiny B. C starts 100 samples after B, lower, so it is not grabbed: B can
  // move 99 samples right, A's end alone could move more.
  const int32_t aEnd = SampleAt(200);
  Put({{SampleAt(100), SampleAt(150), aEnd, 0.5},
       {aEnd + 300, aEnd + 600, aEnd + 900, 0.5},
       {aEnd + 1000, SampleAt(300), SampleAt(350), 0.1}});
  PointerState shift;
  shift.shift = true;
  Drag(200, 118, 10, 0, shift);
  ExpectCommitted();
  int32_t previousEnd = 0;
  for (int i = 0; i < Engine().Count(); ++i) {
    const ShapeSegment& s = *Engine().At(i);
    EXPECT_LE(previousEnd, s.start.pos) << i;
    EXPECT_TRUE(s.start.pos <= s.control.pos && s.control.pos <= s.end.pos) << i;
    previousEnd = s.end.pos;
  }
}

TEST_F(Editing, AnEndGrabbedWithTheControlPointStopsAtTheOtherEnd) {
  // The start (or end) and the control point 100 samples apart, under the
  // pointer together; dragged far past the segment's other end, the pair
  // stops with the control point one sample inside it, keeping its spacing.
  const int32_t a = SampleAt(200), b = SampleAt(300);
  struct Case {
    Seg segment;
    int x, dx;
    Seg expected;
  };
  const Case cases[] = {
      {{a, a + 100, b, 0.5}, 200, 200, {b - 101, b - 1, b, 0.5}},
      {{a, b - 100, b, 0.5}, 300, -200, {a, a + 1, a + 101, 0.5}},
  };
  PointerState shift;
  shift.shift = true;
  for (const Case& c : cases) {
    Edit().ClearShapes();
    Put({c.segment});
    Drag(c.x, 118, c.dx, 0, shift);
    ExpectCommitted();
    const ShapeSegment& s = *Engine().At(0);
    EXPECT_EQ(s.start.pos, c.expected.start) << c.x;
    EXPECT_EQ(s.control.pos, c.expected.control) << c.x;
    EXPECT_EQ(s.end.pos, c.expected.end) << c.x;
  }
}

TEST_F(Editing, ASegmentDraggedPastTheTimelinesEndKeepsItsShape) {
  // The view reaches 110250 samples past the last position (INT32_MAX); the
  // segment, grabbed by its body (x 104) and dragged far right, stops with its
  // end on the last position.
  const int64_t viewStart = int64_t{INT32_MAX} - 110250;
  ASSERT_TRUE(display->MoveMainView(viewStart, viewStart + 220500));
  const auto at = [&](int offset) { return static_cast<int32_t>(viewStart + offset); };
  Put({{at(20000), at(40000), at(60000), 0.5}});
  PointerState shift;
  shift.shift = true;
  Drag(104, 118, 400, 0, shift);
  ExpectCommitted();
  const ShapeSegment& s = *Engine().At(0);
  EXPECT_EQ(s.start.pos, INT32_MAX - 40000);
  EXPECT_EQ(s.control.pos, INT32_MAX - 20000);
  EXPECT_EQ(s.end.pos, INT32_MAX);
}

TEST_F(Editing, APointAboveTheViewPullsTheOthersDownNoFurtherThanLevelZero) {
  // The control point at 1.2 lies above the view's highest level (0.99): any
  // move of the whole segment brings it down, and the start at 0.05 with it,
  // as far as level 0 and no further.
  Put({{SampleAt(100), SampleAt(200), SampleAt(300), 0.5}});
  Edit().At(0)->start.level = 0.05;
  Edit().At(0)->control.level = 1.2;
  plug->CommitShapes(Edit());
  display->MarkDirty(false);
  g->TimerTick();
  Drag(250, 150, 0, -1);  // the body, one pixel up
  ExpectCommitted();
  const ShapeSegment& s = *Engine().At(0);
  EXPECT_DOUBLE_EQ(s.start.level, 0.0);
  EXPECT_DOUBLE_EQ(s.control.level, 1.15);
  EXPECT_DOUBLE_EQ(s.end.level, 0.45);
}

TEST_F(Editing, PanelArrowsKnobsAndButtonsActOnTheSelectedSegment) {
  Put({{10000, 20000, 30000, 0.5}, {60000, 70000, 80000, 0.5}, {110000, 120000, 130000, 0.5}});
  // Nothing selected: knobs and buttons do nothing.
  Click(519, 503);  // bypass
  Drag(508, 476, 0, -30);
  EXPECT_EQ(Engine().At(0)->bypass, 0);
  EXPECT_EQ(Engine().At(0)->follow, 0.5);

  Click(468, 477);  // the right arrow finds nothing to step from
  EXPECT_FALSE(panel->SegmentShown());
  Edit().At(2)->selected = 1;
  // Right arrow on the last wraps to the first; left arrow on the first wraps to the last.
  Click(468, 477);
  EXPECT_EQ(Edit().FirstSelected(), 0);
  EXPECT_TRUE(panel->SegmentShown());
  Click(450, 477);
  EXPECT_EQ(Edit().FirstSelected(), 2);
  // The view is centred on the selected control point, keeping its length.
  EXPECT_EQ(display->MainView().Start(), std::max<int64_t>(0, 120000 - 220500 / 2));
  g->MouseWheel(450, 477, none, 1);  // forwards
  EXPECT_EQ(Edit().FirstSelected(), 0);
  g->MouseWheel(450, 477, none, -1);  // backwards
  EXPECT_EQ(Edit().FirstSelected(), 2);

  Drag(508, 476, 0, -100);  // "follow" up 100 pixels: +0.7, stops at 1
  EXPECT_EQ(Engine().At(2)->follow, 1.0);
  Drag(546, 465, 0, 20);  // "blend" down 20 pixels
  EXPECT_DOUBLE_EQ(Engine().At(2)->blend, 0.5 - 20 * 0.007);
  g->MouseWheel(584, 476, none, -5);  // "clip" 5 notches down
  EXPECT_DOUBLE_EQ(Engine().At(2)->clip, 0.9);
  g->MouseDoubleClick(584, 476, none);
  EXPECT_EQ(Engine().At(2)->clip, 1.0);
  g->MouseDoubleClick(508, 476, none);
  EXPECT_EQ(Engine().At(2)->follow, 0.5);
  Click(500, 503);  // mute
  EXPECT_EQ(Engine().At(2)->mute, 1);
  Click(545, 503);  // bypass
  EXPECT_EQ(Engine().At(2)->bypass, 1);
  Click(545, 503);
  EXPECT_EQ(Engine().At(2)->bypass, 0);
  // The muted range is silent from the next process call on.
  const std::vector<double> out = Render(110080, 110080 + 1024, 0.25);
  EXPECT_EQ(out[0], 0.0);
  EXPECT_EQ(out[1023], 0.0);
  Click(588, 503);  // delete
  EXPECT_EQ(Starts(), (std::vector<int32_t>{10000, 60000}));
  EXPECT_FALSE(panel->SegmentShown());
  ExpectCommitted();

  // Follow switch and colour map.
  EXPECT_TRUE(panel->FollowShown());
  Click(380, 483);
  EXPECT_FALSE(panel->FollowShown());
  EXPECT_FALSE(display->FollowCursor());
  const char* maps[] = {"pompeii", "thermal", "chlorine", "brrr"};
  for (int i = 0; i < 5; ++i) {
    char text[32] = {};
    effect->dispatcher(effect, effGetParamDisplay, EffectPlugin::kColormap, 0, text, 0.0f);
    EXPECT_STREQ(text, maps[(3 + i) % 4]);
    i % 2 ? g->MouseWheel(387, 504, none, -1) : Click(387, 504);
  }
  EXPECT_EQ(display->ColourMapIndex(), 0);
}

TEST_F(Editing, APasteGoesIntoTheFirstGapWideEnoughAfterTheClick) {
  // The copy: x 100 .. 140. After the click at x 300 the gaps are one sample
  // too narrow (length + 1), then just wide enough (length + 2).
  const int32_t p = SampleAt(300), length = SampleAt(140) - SampleAt(100);
  const int32_t narrow = p + 100 + length + 1, wide = narrow + 100 + length + 2;
  Put({{SampleAt(100), SampleAt(120), SampleAt(140), 0.5}, {p - 50, p, p + 100, 0.8},
       {narrow, narrow + 50, narrow + 100, 0.8}, {wide, wide + 50, wide + 100, 0.8}});
  Click(110, 118);  // selects the first one by its body
  Click(460, 503);  // copy
  EXPECT_TRUE(panel->CopyBlinking());
  Click(300, 150);
  EXPECT_FALSE(panel->CopyBlinking());
  EXPECT_EQ(Starts(), (std::vector<int32_t>{SampleAt(100), p - 50, narrow, narrow + 100, wide}));
  EXPECT_EQ(Engine().At(3)->end.pos, narrow + 100 + length);
  EXPECT_EQ(Engine().FirstSelected(), 3);
}

TEST_F(Editing, AHostLoopIsDetectedSnappedFittedAndCopiedTwice) {
  host.time.tempo = 120.0;  // 22050 samples a beat at 44100 Hz
  host.time.flags |= kVstTempoValid;
  std::vector<double> buffer(100, 0.1);
  double* io[2] = {buffer.data(), buffer.data()};
  auto block = [&](int64_t pos) {
    host.time.samplePos = static_cast<double>(pos);
    effect->processDoubleReplacing(effect, io, io, 100);
  };
  // Play 100000 .. 188400: everything up to 188300 is published and taken.
  for (int64_t pos = 100000; pos < 188400; pos += 100) {
    block(pos);
    if (pos % 10000 == 0) g->TimerTick();
  }
  g->TimerTick();
  EXPECT_EQ(display->LastEnd(), 188300);
  EXPECT_FALSE(panel->LoopShown());
  // The host jumps back to 100000: a loop of 88300 samples, narrowed to 4 beats.
  block(100000);
  block(100100);
  g->TimerTick();
  EXPECT_TRUE(panel->LoopShown());
  EXPECT_EQ(display->LoopStart(), 100050);
  EXPECT_EQ(display->LoopEnd(), 188250);

  // Copy twice: the first and then the second free period after the loop.
  Put({{110000, 120000, 130000, 0.5}, {150000, 160000, 170000, 0.5}});
  Click(400, 462);
  Click(400, 462);
  const std::vector<int32_t> copied{110000, 150000, 198200, 238200, 286400, 326400};
  EXPECT_EQ(Starts(), copied);
  // Fit: the loop with 5 % on each side; the loop row then waits for the next jump.
  Click(300, 462);
  EXPECT_FALSE(panel->LoopShown());
  EXPECT_EQ(display->MainView().Start(), 100050 - 4410);
  EXPECT_EQ(display->MainView().End(), 188250 + 4410);
  Click(400, 462);
  EXPECT_EQ(Starts(), copied);
}

TEST_F(Editing, TheResetCountdownIsArmedCancelledAndFired) {
  Put({{10000, 20000, 30000, 0.5}});
  Render(0, 4096, 0.5);
  g->TimerTick();
  ASSERT_NE(display->Samples().PageCount(), 0);
  struct Step {
    const char* what;
    int64_t now;
    enum { kPress, kRelease, kLoseCapture, kTick } act;
    bool armed;
    int segments;
  };
  const Step steps[] = {
      {"press arms", 1000, Step::kPress, true, 1},
      {"4.999 s later still counting", 5999, Step::kTick, true, 1},
      {"letting go cancels", 5999, Step::kRelease, false, 1},
      {"long after, nothing fires", 60000, Step::kTick, false, 1},
      {"press arms again", 60000, Step::kPress, true, 1},
      {"a lost capture lets go", 61000, Step::kLoseCapture, false, 1},
      {"and nothing fires", 90000, Step::kTick, false, 1},
      {"press arms a third time", 90000, Step::kPress, true, 1},
      {"a clock behind the arming counts as 0", 80000, Step::kTick, true, 1},
      {"5 s: everything goes", 95000, Step::kTick, false, 0},
  };
  for (const Step& k : steps) {
    gNow = k.now;
    if (k.act == Step::kPress) g->MousePress(240, 494, left);
    if (k.act == Step::kRelease) g->MouseRelease(240, 494);
    if (k.act == Step::kLoseCapture) g->CancelCapture();
    g->TimerTick();
    EXPECT_EQ(panel->ResetArmed(), k.armed) << k.what;
    EXPECT_EQ(Edit().Count(), k.segments) << k.what;
    EXPECT_EQ(Engine().Count(), k.segments) << k.what;
  }
  EXPECT_EQ(display->Samples().PageCount(), 0);
  // The parameter stays on; the countdown needs it to go down and up again.
  EXPECT_EQ(effect->getParameter(effect, EffectPlugin::kReset), 1.0f);
}

TEST_F(Editing, AStateRestoredWhileTheEditorIsOpenReplacesTheEditStore) {
  Click(300, 100);  // a selected segment, shown in the panel
  Press(300, 100, none);  // pressed on its points, ready to drag
  // The host restores a state with two other segments (on its own thread).
  EffectPlugin other(host.Callback(), SurfaceKind::Headless);
  other.EngineStore().InsertSegment(0, new ShapeSegment);
  other.EngineStore().InsertSegment(1, new ShapeSegment);
  other.EngineStore().At(1)->start.pos = 5000;
  other.EngineStore().At(1)->control.pos = 6000;
  other.EngineStore().At(1)->end.pos = 7000;
  void* chunk = nullptr;
  const VstIntPtr size = other.Effect()->dispatcher(other.Effect(), effGetChunk, 0, 0, &chunk, 0.0f);
  ASSERT_GT(size, 0);
  ASSERT_EQ(effect->dispatcher(effect, effSetChunk, 0, size, chunk, 0.0f), 1);
  // A commit of the old edit store cannot overwrite what was restored.
  EXPECT_FALSE(plug->CommitShapes(Edit()));
  EXPECT_EQ(Starts(), (std::vector<int32_t>{0, 5000}));
  // The drag that follows reaches the restored list, where nothing is hit.
  g->MouseDrag(320, 80, left);
  g->MouseRelease(320, 80);
  g->TimerTick();
  EXPECT_EQ(Edit().Count(), 2);
  EXPECT_EQ(Starts(), (std::vector<int32_t>{0, 5000}));
  EXPECT_EQ(Edit().FirstSelected(), -1);
  EXPECT_FALSE(panel->SegmentShown());
}

TEST_F(Editing, TheEngineAppliesWhatTheMouseDrew) {
  Click(100, 150);
  Drag(100, 134, 0, -40);  // raise the control point
  Click(300, 250);          // deselect
  Click(300, 250);          // a mirrored one
  Click(502, 503);          // mute it
  ASSERT_EQ(Engine().Count(), 2);
  const std::vector<double> drawn = Render(0, 220500, 0.3);

  // The same shapes, worked out from the pixels, in a state for a fresh plug-in.
  auto record = [](uint8_t* out, int x, int y, int controlY, bool mute) {
    ShapeSegment s;
    s.mute = mute ? 1 : 0;
    const double sign = y > 196 ? -1.0 : 1.0;
    s.start = {SampleAt(x - 32), sign * LevelAt(y)};
    s.control = {SampleAt(x), sign * LevelAt(controlY)};
    s.end = {SampleAt(x + 32), sign * LevelAt(y)};
    WriteSegmentRecord(s, out);
  };
  std::vector<uint8_t> state(20 + 4 + 2 * kSegmentRecordBytes);
  StoreLE32(state.data(), EffectPlugin::kStateTag);
  StoreLEDouble(state.data() + 4, 1.0);
  StoreLEDouble(state.data() + 12, 3.0);
  StoreLE32(state.data() + 20, 2);
  record(state.data() + 24, 100, 150, 134 - 40, false);
  record(state.data() + 24 + kSegmentRecordBytes, 300, 250, 266, true);
  EffectPlugin fresh(host.Callback(), SurfaceKind::Headless);
  ASSERT_EQ(fresh.Effect()->dispatcher(fresh.Effect(), effSetChunk, 0, static_cast<VstIntPtr>(state.size()),
                                       state.data(), 0.0f),
            1);
  const std::vector<double> made = Render(0, 220500, 0.3, fresh.Effect());
  EXPECT_TRUE(drawn == made);
  // Shaped where the shapes are: silent in the muted one, untouched well away from both.
  EXPECT_EQ(drawn[static_cast<size_t>(SampleAt(300))], 0.0);
  EXPECT_EQ(drawn[static_cast<size_t>(SampleAt(40))], 0.3);
  EXPECT_NE(drawn[static_cast<size_t>(SampleAt(100))], 0.3);
}

// What the panel prints: each text with its colour and alignment.
struct TextRecorder : RecordingGraphics {
  struct Text {
    std::string text;
    ArgbColor color;
    int alignment;
  };
  std::vector<Text> texts;
  std::vector<ArgbColor> knobs;
  bool PrintText(const FontSpec& font, const char* text, const PixelRect&) override {
    texts.push_back({text, font.color, font.alignment});
    return true;
  }
  bool StrokeCircle(const ArgbColor& color, float, float, float, const BlendSpec&, bool) override {
    knobs.push_back(color);
    return true;
  }
  // The colour of a text ("absent" alpha 0 when it was not printed).
  ArgbColor Color(const std::string& text) const {
    for (const Text& t : texts) {
      if (t.text == text) return t.color;
    }
    return ArgbColor{0, 0, 0, 0};
  }
};

TEST_F(Editing, ThePanelDrawsEachItemInTheColourOfItsState) {
  const ArgbColor grey{255, 127, 127, 127}, white{255, 255, 255, 255}, red{255, 255, 0, 0}, green{255, 0, 255, 0};
  const ArgbColor absent{0, 0, 0, 0};
  struct Case {
    const char* what;
    void (*setup)(Editing&);
    std::vector<std::pair<std::string, ArgbColor>> expected;
  };
  const Case cases[] = {
      {"nothing selected, no loop, following",
       [](Editing&) {},
       {{"follow", grey}, {"copy", grey}, {"slow", grey}, {"no loop detected : ", grey}, {"fit  | copy", grey},
        {"Y", white}, {"N ", grey}, {"brrr", white}, {"5", absent}}},
      {"a muted segment shown, a loop, mute held, not following",
       [](Editing& t) {
         t.panel->ShowSegment(false, false, 0.5, 1.0, 0.5);
         t.panel->SetLoopDetected(true);
         t.panel->SetFollowCursorShown(false);
         t.panel->MousePress(500, 503, t.left);
       },
       {{"follow", white}, {"mute", red}, {"bypass", white}, {"copy", white}, {"loop detected : ", grey},
        {"fit  | copy", white}, {"Y", grey}, {"N ", white}, {"no loop detected : ", absent}}},
      {"the colour map pressed",
       [](Editing& t) { t.panel->MousePress(387, 504, t.left); },
       {{"pompeii", red}, {"N ", white}}},
      {"the reset counting down",
       [](Editing& t) {
         gNow = 0;
         t.panel->SetResetArmed(true);
         gNow = 2500;
       },
       {{"5", white}, {"1", white}, {"all data will be deleted!", white}, {"follow", absent}, {"copy", absent},
        {"fit  | copy", white}}},
  };
  for (const Case& c : cases) {
    c.setup(*this);
    TextRecorder r;
    panel->Render(r);
    for (const auto& [text, color] : c.expected) EXPECT_EQ(r.Color(text), color) << c.what << ": " << text;
    panel->MouseRelease(0, 0);
  }

  // A pending copy blinks six draws red and six green.
  panel->SetResetArmed(false);
  Put({{10000, 20000, 30000, 0.5}});
  Edit().At(0)->selected = 1;
  panel->ShowSegment(false, false, 0.5, 1.0, 0.5);
  Click(460, 503);
  std::vector<bool> redDraws;
  for (int i = 0; i < 13; ++i) {
    TextRecorder r;
    panel->Render(r);
    EXPECT_TRUE(r.Color("copy") == red || r.Color("copy") == green);
    redDraws.push_back(r.Color("copy") == red);
  }
  EXPECT_EQ(std::count(redDraws.begin(), redDraws.begin() + 12, true), 6);
  EXPECT_EQ(redDraws[12], redDraws[0]);
}

// The whole editor after a fixed piece of audio played in a loop and a fixed
// mouse script, in each colour map, compared with its golden picture.
TEST_F(Editing, TheWholeEditorMatchesItsGoldenPictureInEachColourMap) {
  host.time.tempo = 120.0;
  host.time.flags |= kVstTempoValid;
  auto play = [&](int64_t from, int64_t to) {
    for (int64_t pos = from; pos < to; pos += 512) {
      host.time.samplePos = static_cast<double>(pos);
      double l[512], r[512];
      for (int i = 0; i < 512; ++i) {
        const double t = static_cast<double>(pos + i) / 44100.0;
        l[i] = r[i] = 0.4 * std::sin(t * 220.0 * 6.283185307179586) * (0.6 + 0.4 * std::sin(t * 3.0));
      }
      double* io[2] = {l, r};
      effect->processDoubleReplacing(effect, io, io, 512);
      if ((pos / 512) % 5 == 0) g->TimerTick();
    }
  };
  play(0, 176400);
  Click(90, 120);
  Drag(90, 104, 0, -44);  // the control point up
  Click(250, 260);        // deselect, then a mirrored one
  Click(250, 260);
  Click(420, 160);
  Click(420, 160);
  Click(502, 503);  // mute it
  play(0, 176400);  // the loop again, now shaped
  play(0, 40000);
  g->MouseHover(250, 250, none);
  const char* maps[] = {"pompeii", "thermal", "chlorine", "brrr"};
  for (int map = 0; map < 4; ++map) {
    effect->setParameter(effect, EffectPlugin::kColormap, static_cast<float>(map) / 3.0f);
    while (g->TimerTick()) {
    }
    const std::string name = std::string("editing-") + maps[map] + ".png";
    const std::string golden = std::string(KELVANE_SOURCE_DIR) + "/tests/controls/golden/" + name;
    const std::string actual = std::string(KELVANE_BINARY_DIR) + "/" + name;
    ASSERT_TRUE(WriteScreenshotPng(actual, *g->Surface()));
    if (std::getenv("KELVANE_UPDATE_GOLDEN")) {
      ASSERT_TRUE(WriteScreenshotPng(golden, *g->Surface()));
    }
    int w = 0, h = 0;
    std::vector<uint32_t> expected;
    ASSERT_TRUE(ReadPng(golden, w, h, expected)) << golden;
    EXPECT_TRUE(w == 640 && h == 540 && expected == ScreenshotPixels(*g->Surface()))
        << maps[map] << " differs from " << golden << "; see " << actual;
  }
}

}  // namespace
