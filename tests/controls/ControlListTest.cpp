// Finding controls under the mouse, dispatching events, dirty areas and the
// traffic of values between parameters and controls.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "controls/Control.h"
#include "controls/ImageControl.h"
#include "core/PlugBase.h"
#include "tests/controls/RecordingGraphics.h"
#include "tests/core/FakeHost.h"

namespace {

// A control that logs the events it receives.
struct Probe : Control {
  struct Event {
    char kind;
    int x, y, dX, dY;
  };
  std::vector<Event> events;
  Probe(const PixelRect& rect, PlugBase* plug = nullptr, int param = -1) : Control(plug, rect, param, 0, 1.0f) {}
  void MousePress(int x, int y, const PointerState& m) override {
    events.push_back({'p', x, y, 0, 0});
    Control::MousePress(x, y, m);
  }
  void MouseRelease(int x, int y) override { events.push_back({'r', x, y, 0, 0}); }
  void MouseDrag(int x, int y, int dX, int dY, const PointerState&) override { events.push_back({'d', x, y, dX, dY}); }
  void MouseWheel(int x, int y, const PointerState& m, int d) override {
    events.push_back({'w', x, y, d, 0});
    Control::MouseWheel(x, y, m, d);
  }
  void MouseHover(int x, int y, const PointerState&) override { events.push_back({'h', x, y, 0, 0}); }
  void MouseLeave() override { events.push_back({'l', 0, 0, 0, 0}); }
  bool Render(Graphics&) override { return true; }
  std::string Kinds() const {
    std::string s;
    for (const Event& e : events) s += e.kind;
    return s;
  }
};

PointerState Left() {
  PointerState m;
  m.left = true;
  return m;
}

TEST(ControlList, LastAttachedWinsAndHiddenOrGrayedAreNeverFound) {
  RecordingGraphics g;
  auto* back = new Probe({0, 0, 100, 100});
  auto* front = new Probe({10, 10, 50, 50});
  auto* zero = new Probe({0, 0, 0, 0});
  g.AddControl(back);
  g.AddControl(front);
  EXPECT_EQ(g.AddControl(zero), 3);
  EXPECT_EQ(g.FindControl(20, 20), 1);
  EXPECT_EQ(g.FindControl(60, 60), 0);
  EXPECT_EQ(g.FindControl(50, 20), 0);  // right edge is outside
  EXPECT_EQ(g.FindControl(100, 20), -1);
  front->SetHidden(true);
  EXPECT_EQ(g.FindControl(20, 20), 0);
  front->SetHidden(false);
  front->SetDimmed(true);
  EXPECT_EQ(front->Blend().weight, 0.25f);
  g.MouseWheel(20, 20, {}, 1);
  EXPECT_EQ(front->Kinds(), "");  // not even wheel events
  EXPECT_EQ(back->Kinds(), "w");
  front->SetDimmed(false);
  EXPECT_EQ(front->Blend().weight, 1.0f);
}

TEST(ControlList, CaptureAndDragDeltas) {
  RecordingGraphics g;
  auto* a = new Probe({0, 0, 50, 50});
  auto* b = new Probe({50, 0, 100, 50});
  g.AddControl(a);
  g.AddControl(b);
  g.MousePress(10, 10, Left());
  EXPECT_EQ(g.CapturedControl(), 0);
  g.MouseDrag(70, 20, Left());  // over b, still a's
  g.MouseDrag(70, 20, Left());  // same place: dropped
  g.MouseDrag(500, -30, Left());  // outside the editor
  g.MouseRelease(500, -30);
  EXPECT_EQ(a->Kinds(), "pddr");
  EXPECT_EQ(a->events[1].dX, 60);
  EXPECT_EQ(a->events[1].dY, 10);
  EXPECT_EQ(a->events[2].dX, 430);
  EXPECT_EQ(a->events[2].dY, -50);
  EXPECT_EQ(b->Kinds(), "");
  EXPECT_EQ(g.CapturedControl(), -1);
  g.MousePress(60, 10, Left());
  EXPECT_EQ(b->Kinds(), "p");
  g.MousePress(500, 500, Left());  // a press on nothing clears the capture
  EXPECT_EQ(g.CapturedControl(), -1);
}

TEST(ControlList, ALostCaptureEndsThePressAndDragsNeedAPress) {
  RecordingGraphics g;
  auto* a = new Probe({0, 0, 50, 50});
  g.AddControl(a);
  g.MouseDrag(20, 20, Left());  // no press: nothing to measure from
  g.CancelCapture();            // nothing captured: nothing to end
  EXPECT_EQ(a->Kinds(), "");
  g.MousePress(10, 10, Left());
  g.MouseDrag(30, 40, Left());
  g.CancelCapture();  // e.g. another window took the mouse
  g.CancelCapture();
  g.MouseDrag(35, 45, Left());
  EXPECT_EQ(a->Kinds(), "pdr");
  EXPECT_EQ(a->events[2].x, 30);
  EXPECT_EQ(a->events[2].y, 40);
  EXPECT_EQ(g.CapturedControl(), -1);
}

TEST(ControlList, HoverAndLeave) {
  RecordingGraphics g;
  auto* a = new Probe({0, 0, 50, 50});
  auto* b = new Probe({50, 0, 100, 50});
  g.AddControl(a);
  g.AddControl(b);
  EXPECT_FALSE(g.MouseHover(10, 10, {}));  // hover not wanted
  EXPECT_EQ(a->Kinds(), "");
  g.SetMouseOverWanted(true);
  EXPECT_TRUE(g.MouseHover(10, 10, {}));
  EXPECT_TRUE(g.MouseHover(60, 10, {}));
  EXPECT_EQ(a->Kinds(), "hl");
  EXPECT_EQ(g.MouseOverControl(), 1);
  g.MouseLeave();
  EXPECT_EQ(b->Kinds(), "hl");
  EXPECT_EQ(g.MouseOverControl(), -1);
}

TEST(ControlList, DirtyCollectionUnitesRects) {
  RecordingGraphics g;
  auto* a = new Probe({10, 10, 20, 20});
  auto* b = new Probe({100, 5, 110, 15});
  auto* zero = new Probe({0, 0, 0, 0});
  g.AddControl(a);
  g.AddControl(b);
  g.AddControl(zero);
  PixelRect area;
  EXPECT_TRUE(g.CollectDirty(&area));  // new controls start dirty
  EXPECT_EQ(area, (PixelRect{10, 5, 110, 20}));
  a->MarkClean();
  b->MarkClean();
  EXPECT_TRUE(g.CollectDirty(&area));
  EXPECT_TRUE(area.IsAllZero());
  zero->MarkClean();
  EXPECT_FALSE(g.CollectDirty(&area));
  // A change made while a paint runs is drawn once more.
  a->MarkDirty(false);
  a->SetRedrawAgain();
  a->MarkClean();
  EXPECT_TRUE(a->NeedsRedraw());
  a->MarkClean();
  EXPECT_FALSE(a->NeedsRedraw());
}

struct TwoParamPlug : PlugBase {
  explicit TwoParamPlug(audioMasterCallback host) : PlugBase(host, 2, 2, 2, "P", "", "V", 1, 1, 0, false, true, true) {
    ParamAt(0)->DeclareNumber("a", 0.25, 0.0, 1.0, 0.01, "");
    ParamAt(1)->DeclareSwitch("b", false);
  }
};

TEST(ControlValues, PushPullDefaultsWheelAndClamp) {
  FakeHost host;
  TwoParamPlug plug(host.Callback());
  RecordingGraphics g(&plug);
  auto* knob = new Probe({0, 0, 10, 10}, &plug, 0);
  auto* other = new Probe({20, 0, 30, 10}, &plug, 1);
  g.AddControl(knob);
  g.AddControl(other);
  knob->MouseDoubleClick(1, 1, {});  // no default yet: nothing
  EXPECT_EQ(host.CountCalls(audioMasterAutomate), 0);

  knob->MarkClean();
  g.PushParamToControls(0, 0.0, plug.PlugLock());
  EXPECT_EQ(knob->DefaultValue(), 0.0);
  EXPECT_TRUE(knob->NeedsRedraw());  // the first push redraws even when equal
  knob->MarkClean();
  knob->MarkClean();
  g.PushParamToControls(0, 0.0, plug.PlugLock());
  EXPECT_FALSE(knob->NeedsRedraw());  // later equal values change nothing
  g.PushParamToControls(0, 0.4, plug.PlugLock());
  EXPECT_EQ(knob->Value(), 0.4);
  EXPECT_EQ(other->Value(), 0.0);
  EXPECT_EQ(knob->DefaultValue(), 0.0);

  g.MouseWheel(5, 5, {}, 1);
  EXPECT_DOUBLE_EQ(knob->Value(), 0.41);
  EXPECT_FLOAT_EQ(host.calls.back().opt, 0.41f);
  EXPECT_NEAR(plug.ParamAt(0)->Plain(), 0.41, 1e-6);
  PointerState fine;
  fine.control = true;
  g.MouseWheel(5, 5, fine, -3);
  EXPECT_DOUBLE_EQ(knob->Value(), 0.407);
  g.MouseWheel(5, 5, {}, 500);
  EXPECT_EQ(knob->Value(), 1.0);
  g.MouseDoubleClick(5, 5, {});
  EXPECT_EQ(knob->Value(), 0.0);
  EXPECT_EQ(plug.ParamAt(0)->Plain(), 0.0);
}

TEST(ControlValues, RightClickOpensThePromptUnlessDisabled) {
  FakeHost host;
  TwoParamPlug plug(host.Callback());
  auto* g = new RecordingGraphics(&plug);
  auto* knob = new Probe({0, 0, 10, 10}, &plug, 0);
  g->AddControl(knob);
  plug.BindEditor(g);
  PointerState right;
  right.right = true;
  knob->DisablePrompt(true);
  g->MousePress(1, 1, right);
  EXPECT_EQ(g->promptControl, nullptr);
  knob->DisablePrompt(false);
  g->MousePress(1, 1, right);
  EXPECT_EQ(g->promptControl, knob);
  knob->TakeTypedValue(0.75);
  EXPECT_FLOAT_EQ(host.calls.back().opt, 0.75f);
  size_t calls = host.calls.size();
  knob->TakeTypedValue(0.75);  // unchanged: nothing sent
  EXPECT_EQ(host.calls.size(), calls);
}

TEST(ControlValues, HostValuesReachTheControlsAsTheParameterTookThem) {
  FakeHost host;
  TwoParamPlug plug(host.Callback());
  auto* g = new RecordingGraphics(&plug);
  auto* knob = new Probe({0, 0, 10, 10}, &plug, 0);
  auto* toggle = new Probe({20, 0, 30, 10}, &plug, 1);
  g->AddControl(knob);
  g->AddControl(toggle);
  plug.BindEditor(g);
  struct Case {
    int index;
    float sent;
    double control, plain;
  };
  const Case cases[] = {
      {0, 0.5f, 0.5, 0.5},     {0, NAN, 0.5, 0.5},       {0, 1.5f, 1.0, 1.0}, {0, -2.0f, 0.0, 0.0},
      {0, INFINITY, 1.0, 1.0}, {1, 0.75f, 1.0, 1.0},     {1, 0.25f, 0.0, 0.0}, {1, NAN, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    plug.Effect()->setParameter(plug.Effect(), c.index, c.sent);
    Probe* control = c.index == 0 ? knob : toggle;
    EXPECT_EQ(control->Value(), c.control) << c.index << " " << c.sent;
    EXPECT_EQ(plug.ParamAt(c.index)->Plain(), c.plain) << c.index << " " << c.sent;
  }
  // A pushed value that is not finite never reaches a control.
  for (double bad : {NAN, INFINITY, -INFINITY}) {
    g->PushParamToControls(0, bad, plug.PlugLock());
    EXPECT_EQ(knob->Value(), 1.0);
  }
}

// The host's thread pushes values while the editor draws and cleans: after every
// push, either the control is still dirty or its last drawing saw that value.
TEST(ControlValues, HostChangesDuringRedrawsAreNeverLost) {
  Probe control({0, 0, 10, 10});
  control.SetClamp(0.0, 1e9);
  control.TakePlugValue(0.0);
  constexpr int kPushes = 2000000;
  std::atomic<int> written{0};
  std::atomic<bool> finished{false}, lost{false};
  std::thread hostThread([&] {
    for (int i = 1; i <= kPushes && !lost.load(); ++i) {
      control.TakePlugValue(i);
      written.store(i);
      // A varying pause lets the pushes land anywhere in the editor's loop.
      for (int spin = 0; spin < i % 32; ++spin) std::atomic_signal_fence(std::memory_order_seq_cst);
    }
    finished.store(true);
  });
  double drawn = 0.0;
  for (;;) {
    const int pushed = written.load();
    const bool done = finished.load();
    if (control.NeedsRedraw()) {
      drawn = control.Value();
      control.MarkClean();
    } else if (drawn < pushed) {
      lost.store(true);
      break;
    } else if (done) {
      break;
    }
  }
  hostThread.join();
  EXPECT_FALSE(lost.load()) << "a push was left undrawn at " << drawn;
}

TEST(Backdrop, IsInsertedFirstAtItsImageSize) {
  RecordingGraphics g;
  g.AddControl(new Probe({10, 10, 20, 20}));
  g.SetBackdrop(100);
  ASSERT_EQ(g.ControlCount(), 2);
  EXPECT_EQ(g.ControlAt(0)->Rect(), (PixelRect{0, 0, 640, 540}));
  EXPECT_EQ(g.ControlAt(0)->ParamIndex(), -1);
  EXPECT_EQ(g.ControlAt(0)->Blend().kind, 1);
  EXPECT_EQ(g.FindControl(15, 15), 1);
  EXPECT_EQ(g.FindControl(300, 300), 0);
  // The same id is loaded once; its first frame count stays.
  ImageRef again = g.FetchImage(100, 7);
  EXPECT_EQ(again.frames, 1);
  ImageRef missing = g.FetchImage(555, 2);
  EXPECT_EQ(missing.width, 0);
  EXPECT_EQ(g.FindBitmap(555), nullptr);
  EXPECT_NE(g.FindBitmap(100), nullptr);
}

TEST(Frames, FrameOffsetsAreRoundedShares) {
  RecordingGraphics g;
  ImageRef strip = g.FetchImage(102, 3);  // 10 x 30, three frames
  BlendSpec blend;
  g.BlitImageFrame(strip, {0, 0, 10, 10}, 1, blend);
  g.BlitImageFrame(strip, {0, 0, 10, 10}, 2, blend);
  g.BlitImageFrame(strip, {0, 0, 10, 10}, 3, blend);
  g.BlitImageFrame(strip, {0, 0, 10, 10}, 0, blend);
  ASSERT_EQ(g.blits.size(), 4u);
  EXPECT_EQ(g.blits[0].sourceY, 0);
  EXPECT_EQ(g.blits[1].sourceY, 10);
  EXPECT_EQ(g.blits[2].sourceY, 20);
  EXPECT_EQ(g.blits[3].sourceY, 0);
}

TEST(Frames, FractionLinesClampTheFraction) {
  struct Lines : RecordingGraphics {
    std::vector<int> at;
    bool StrokeVLine(const ArgbColor&, int x, int, int) override {
      at.push_back(x);
      return true;
    }
    bool StrokeHLine(const ArgbColor&, int y, int, int) override {
      at.push_back(y);
      return true;
    }
  } g;
  PixelRect r{10, 20, 110, 70};
  g.StrokeVLineAtFraction({}, r, 0.5f);
  g.StrokeVLineAtFraction({}, r, 3.0f);
  g.StrokeVLineAtFraction({}, r, -1.0f);
  g.StrokeHLineAtFraction({}, r, 0.5f);
  g.StrokeHLineAtFraction({}, r, 1.0f);
  EXPECT_EQ(g.at, (std::vector<int>{60, 110, 10, 45, 20}));
}

}  // namespace
