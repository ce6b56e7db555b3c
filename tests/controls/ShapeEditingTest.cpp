// Shape editing end to end: a real Kelvane instance with its headless editor,
// driven through the editor's mouse entry points and timer ticks, with audio
// through the VST 2 process call.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "controls/WaveDisplay.h"
#include "core/ByteOrder.h"
#include "effect/EffectPlugin.h"
#include "graphics/platform/headless/HeadlessGraphics.h"
#include "shapes/EditPanel.h"
#include "shapes/ShapeSegment.h"
#include "tests/core/FakeHost.h"

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
  ScopedHost scope{host};
  EffectPlugin* plug = new EffectPlugin(SurfaceKind::Headless);
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
  std::vector<double> Render(int64_t from, int64_t to, double value) {
    std::vector<double> out;
    for (int64_t pos = from; pos < to; pos += 512) {
      host.time.samplePos = static_cast<double>(pos);
      std::vector<double> l(512, value), r(512, value);
      double* io[2] = {l.data(), r.data()};
      effect->processDoubleReplacing(effect, io, io, 512);
      out.insert(out.end(), l.begin(), l.end());
    }
    return out;
  }
};

void ExpectPoint(const ShapePoint& p, int32_t pos, double level, const char* what) {
  EXPECT_EQ(p.pos, pos) << what;
  EXPECT_EQ(p.level, level) << what;
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

}  // namespace
