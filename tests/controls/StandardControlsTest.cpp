#include <gtest/gtest.h>

#include <cmath>

#include "controls/DocLinkControl.h"
#include "controls/ImageControl.h"
#include "controls/LineKnob.h"
#include "core/PlugBase.h"
#include "tests/controls/RecordingGraphics.h"
#include "tests/core/FakeHost.h"

namespace {

struct OneParamPlug : PlugBase {
  explicit OneParamPlug(audioMasterCallback host) : PlugBase(host, 1, 2, 2, "P", "", "V", 1, 1, 0, false, true, true) {
    ParamAt(0)->DeclareNumber("v", 0.0, 0.0, 1.0, 0.01, "");
  }
};

struct Fixture : ::testing::Test {
  FakeHost host;
  OneParamPlug plug{host.Callback()};
  RecordingGraphics* g = new RecordingGraphics(&plug);
  void Bind() { plug.BindEditor(g); }
  void TearDown() override {
    if (!plug.Editor()) delete g;  // a bound editor belongs to the plug-in
  }
};

TEST_F(Fixture, ThreeFrameButtonStepsAndReleases) {
  auto* button = new HoldButton(&plug, 5, 5, 0, g->FetchImage(102, 3), 0);
  EXPECT_EQ(button->Rect(), (PixelRect{5, 5, 15, 15}));
  g->AddControl(button);
  Bind();
  PointerState left;
  left.left = true;
  g->MousePress(6, 6, left);
  EXPECT_EQ(button->Value(), 0.5);
  EXPECT_EQ(button->FrameForValue(), 2);
  EXPECT_FLOAT_EQ(host.calls.back().opt, 0.5f);
  g->MouseRelease(6, 6);
  EXPECT_EQ(button->Value(), 0.0);
  EXPECT_EQ(button->FrameForValue(), 1);
  button->SetValue(1.0);
  button->MousePress(6, 6, left);  // 1.5 is past 1.001: wraps to 0
  EXPECT_EQ(button->Value(), 0.0);
  // A right-click prompts and still pushes the unchanged value.
  PointerState right;
  right.right = true;
  size_t before = host.calls.size();
  button->SetValue(0.5);
  button->MousePress(6, 6, right);
  EXPECT_EQ(g->promptControl, button);
  EXPECT_EQ(host.calls.size(), before + 1);
  EXPECT_FLOAT_EQ(host.calls.back().opt, 0.5f);
}

TEST_F(Fixture, TwoFrameButtonDrawsTheFrameOfItsValue) {
  auto* button = new HoldButton(&plug, 227, 481, 0, g->FetchImage(101, 2), 0);
  EXPECT_EQ(button->Rect(), (PixelRect{227, 481, 254, 508}));
  g->AddControl(button);
  Bind();
  button->SetValue(1.0);
  button->Render(*g);
  button->SetValue(0.0);
  button->Render(*g);
  ASSERT_EQ(g->blits.size(), 2u);
  EXPECT_EQ(g->blits[0].sourceY, 27);
  EXPECT_EQ(g->blits[1].sourceY, 0);
}

TEST_F(Fixture, KnobAnglesAndDrag) {
  ArgbColor grey{63, 63, 63, 63};
  auto* knob = new LineKnob(&plug, {185, 480, 212, 507}, 0, grey, 2.0, 8.0, -2.356194490192345, 2.356194490192345,
                            0, 4.0);
  g->AddControl(knob);
  Bind();
  EXPECT_EQ(knob->Blend().kind, 1);
  knob->SetValue(0.5);
  knob->Render(*g);
  const auto& up = g->lines.back();
  EXPECT_NEAR(up.x1, 198.5f, 1e-4);
  EXPECT_NEAR(up.x2, 198.5f, 1e-4);
  EXPECT_NEAR(up.y1, 493.5f - 2.0f, 1e-4);
  EXPECT_NEAR(up.y2, 493.5f - 8.0f, 1e-4);
  EXPECT_TRUE(up.antiAliased);
  knob->SetValue(0.0);
  knob->Render(*g);
  const auto& low = g->lines.back();  // -135 degrees: down and to the left
  EXPECT_NEAR(low.x2 - 198.5f, -8.0f * std::sqrt(0.5f), 1e-4);
  EXPECT_NEAR(low.y2 - 493.5f, 8.0f * std::sqrt(0.5f), 1e-4);

  // 108 pixels of upward drag sweep the whole range; beyond it the value clamps
  // and dragging back moves it at once.
  PointerState left;
  left.left = true;
  g->MousePress(190, 490, left);
  g->MouseDrag(190, 490 - 54, left);
  EXPECT_NEAR(knob->Value(), 0.5, 1e-12);
  g->MouseDrag(190, 490 - 108, left);
  EXPECT_NEAR(knob->Value(), 1.0, 1e-12);
  g->MouseDrag(190, 490 - 300, left);
  EXPECT_EQ(knob->Value(), 1.0);
  g->MouseDrag(190, 490 - 300 + 27, left);
  EXPECT_NEAR(knob->Value(), 0.75, 1e-12);
  EXPECT_NEAR(plug.ParamAt(0)->Plain(), 0.75, 1e-6);
}

TEST_F(Fixture, KnobWithoutParameterStillTurns) {
  auto* knob = new LineKnob(nullptr, {0, 0, 20, 20}, -1, {}, 0.0, 0.0, -1.0, 1.0, 1, 1.0);
  g->AddControl(knob);
  knob->MouseDrag(0, 0, 10, 0, {});
  EXPECT_EQ(knob->Value(), 0.5);
  knob->Render(*g);
  EXPECT_NEAR(g->lines.back().x2 - 10.0f, 20.0f * std::sin(0.0f), 1e-4);  // outer radius 0 means the width
  EXPECT_NEAR(g->lines.back().y2 - 10.0f, -20.0f, 1e-4);
}

TEST_F(Fixture, DocLinkOpensItsTargetWithEitherButtonAndDrawsNothing) {
  auto* link = new DocLinkControl(&plug, {20, 465, 170, 510}, "/plugins/Kelvane_manual.pdf");
  auto* empty = new DocLinkControl(&plug, {0, 0, 10, 10}, nullptr);
  g->AddControl(link);
  g->AddControl(empty);
  Bind();
  PointerState left, right;
  left.left = true;
  right.right = true;
  g->MousePress(21, 466, left);
  g->MouseRelease(21, 466);
  g->MousePress(169, 509, right);
  g->MousePress(5, 5, left);  // no target: nothing to open
  EXPECT_EQ(g->opened, (std::vector<std::string>{"/plugins/Kelvane_manual.pdf", "/plugins/Kelvane_manual.pdf"}));
  EXPECT_TRUE(link->Render(*g));
  EXPECT_TRUE(g->blits.empty());
  EXPECT_TRUE(g->lines.empty());
}

}  // namespace
