// A headless editor made of the background, the "bright" knob, the "reset"
// button and a line of text (tools/TestEditor.h), bound to a real Kelvane
// instance and driven through the mouse entry points like a user would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "controls/DocLinkControl.h"
#include "controls/ImageControl.h"
#include "controls/LineKnob.h"
#include "controls/WaveDisplay.h"
#include "core/Module.h"
#include "core/TextBuffer.h"
#include "effect/EffectPlugin.h"
#include "graphics/EditorSurface.h"
#include "graphics/PngImages.h"
#include "graphics/SectionBitmap.h"
#include "graphics/platform/headless/HeadlessGraphics.h"
#include "shapes/EditPanel.h"
#include "tests/core/FakeHost.h"
#include "tools/PngFile.h"
#include "tools/Screenshot.h"
#include "tools/TestEditor.h"

namespace {

std::vector<uint32_t> SurfaceCopy(BitmapGraphics& g) {
  const uint32_t* pixels = g.SurfacePixels();
  return std::vector<uint32_t>(pixels, pixels + 640 * 540);
}

TEST(EditorLayout, ControlsInDrawingOrder) {
  FakeHost host;
  auto* plug = static_cast<EffectPlugin*>(CreateEffectInstance(host.Callback()));
  ASSERT_NE(plug, nullptr);
  auto* g = static_cast<Graphics*>(plug->Editor());
  ASSERT_NE(g, nullptr);
  struct Expected {
    PixelRect rect;
    int param;
  };
  const Expected expected[] = {
      {{0, 0, 640, 540}, -1},                          // background
      {{185, 480, 212, 507}, EffectPlugin::kBright},   // knob
      {{227, 481, 254, 508}, EffectPlugin::kReset},    // button, sized by its image
      {{24, 24, 616, 445}, -1},                        // the waveform display
      {{273, 455, 612, 512}, -1},                      // the edit panel
      {{20, 465, 170, 510}, -1},                       // the manual link
  };
  ASSERT_EQ(g->ControlCount(), static_cast<int>(std::size(expected)));
  for (int i = 0; i < g->ControlCount(); ++i) {
    const PixelRect& r = g->ControlAt(i)->Rect();
    EXPECT_TRUE(r.left == expected[i].rect.left && r.top == expected[i].rect.top &&
                r.right == expected[i].rect.right && r.bottom == expected[i].rect.bottom)
        << "control " << i;
    EXPECT_EQ(g->ControlAt(i)->ParamIndex(), expected[i].param) << "control " << i;
  }
  EXPECT_EQ(static_cast<Control*>(plug->Display()), g->ControlAt(3));
  EXPECT_EQ(static_cast<Control*>(plug->Panel()), g->ControlAt(4));
  EXPECT_EQ(plug->Display()->Panel(), plug->Panel());
  // Bound: the knob took the "bright" value the plug-in was built with.
  EXPECT_FLOAT_EQ(static_cast<float>(g->ControlAt(1)->Value()),
                  plug->Effect()->getParameter(plug->Effect(), EffectPlugin::kBright));
  std::string target = static_cast<DocLinkControl*>(g->ControlAt(g->ControlCount() - 1))->Target();
  TextBuffer folder;
  g->GetModuleFolder(folder);
  ASSERT_GT(folder.Length(), 0u);
  EXPECT_EQ(target, std::string(folder.Get()) + "Kelvane_manual.pdf");
  AEffect* effect = plug->Effect();
  ERect* rect = nullptr;
  ASSERT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f), 1);
  EXPECT_EQ(rect->right, 640);
  EXPECT_EQ(rect->bottom, 540);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

TEST(HeadlessEditor, ScriptedDragAndClickMoveTheRealParameters) {
  FakeHost host;
  auto* plug = static_cast<EffectPlugin*>(CreateEffectInstance(host.Callback()));
  ASSERT_NE(plug, nullptr);
  AEffect* effect = plug->Effect();
  BitmapGraphics* g = BuildTestEditor(plug);
  // A headless editor opens no window: the host is told there is no editor.
  EXPECT_EQ(effect->flags, 4152);
  ERect* rect = nullptr;
  ASSERT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f), 1);
  EXPECT_EQ(rect->right, 640);
  EXPECT_EQ(rect->bottom, 540);

  auto* headless = static_cast<HeadlessGraphics*>(g);
  EXPECT_TRUE(headless->TimerTick());  // the first tick paints everything
  // The first values pushed by the plug-in ask for one more redraw.
  EXPECT_TRUE(headless->TimerTick());
  EXPECT_FALSE(headless->TimerTick());  // nothing dirty: no paint
  // The background shows where no control draws.
  Bitmap* background = g->FindBitmap(kBackgroundImageId);
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(g->SurfacePixels()[300 * 640 + 300], background->PixelData()[300 * 640 + 300]);

  // Drag the knob up by 54 pixels, half its travel, in small steps.
  PointerState left;
  left.left = true;
  g->MousePress(198, 494, left);
  for (int y = 493; y >= 440; --y) g->MouseDrag(198, y, left);
  g->MouseRelease(198, 440);
  float bright = effect->getParameter(effect, EffectPlugin::kBright);
  EXPECT_NEAR(bright, 0.30151135f + 0.5f, 1e-6);
  char text[64] = {};
  effect->dispatcher(effect, effGetParamDisplay, EffectPlugin::kBright, 0, text, 0.0f);
  EXPECT_STREQ(text, "6.5");
  EXPECT_TRUE(headless->TimerTick());

  // Press the reset button and hold it: the parameter is on and the pressed frame shows.
  g->MousePress(240, 494, left);
  EXPECT_EQ(effect->getParameter(effect, EffectPlugin::kReset), 1.0f);
  EXPECT_TRUE(headless->TimerTick());
  std::vector<uint32_t> pressed = SurfaceCopy(*g);

  // The snapshot is what a window shows: opaque, the knob's pointer (its colour
  // carries alpha 63, which the surface keeps) a solid dark grey line.
  const std::string golden = std::string(KELVANE_SOURCE_DIR) + "/tests/controls/golden/editor.png";
  const std::string actual = std::string(KELVANE_BINARY_DIR) + "/editor-actual.png";
  ASSERT_TRUE(WriteScreenshotPng(actual, *g->Surface()));
  if (std::getenv("KELVANE_UPDATE_GOLDEN")) {
    ASSERT_TRUE(WriteScreenshotPng(golden, *g->Surface()));
  }
  int w = 0, h = 0;
  std::vector<uint32_t> written, expected;
  ASSERT_TRUE(ReadPng(actual, w, h, written));
  ASSERT_EQ(written.size(), pressed.size());
  for (size_t i = 0; i < pressed.size(); ++i)
    ASSERT_EQ(written[i], pressed[i] | 0xFF000000u) << "pixel " << i % 640 << "," << i / 640;
  int pointerPixels = 0;  // on the surface the pointer's pixels are not opaque
  for (int y = 480; y < 507; ++y)
    for (int x = 185; x < 212; ++x) pointerPixels += (pressed[static_cast<size_t>(y) * 640 + x] >> 24) < 255;
  EXPECT_GT(pointerPixels, 5);
  ASSERT_TRUE(ReadPng(golden, w, h, expected)) << golden;
  ASSERT_EQ(w, 640);
  ASSERT_EQ(h, 540);
  EXPECT_TRUE(expected == written) << "surface differs from " << golden << "; see " << actual;

  g->MouseRelease(240, 494);
  EXPECT_EQ(effect->getParameter(effect, EffectPlugin::kReset), 0.0f);
  EXPECT_TRUE(headless->TimerTick());
  EXPECT_NE(SurfaceCopy(*g), pressed);  // the button is drawn up again

  // A double-click on the knob restores the value the plug-in was built with.
  g->MouseDoubleClick(198, 494, left);
  EXPECT_EQ(effect->getParameter(effect, EffectPlugin::kBright), 0.30151135f);
  // The host moves a parameter: the knob follows at the next tick.
  effect->setParameter(effect, EffectPlugin::kBright, 1.0f);
  EXPECT_TRUE(g->ControlAt(1)->NeedsRedraw());
  EXPECT_EQ(g->ControlAt(1)->Value(), 1.0);

  // Closing the editor while "reset" is held lets go of it: the delayed reset
  // never runs for a press that cannot end any more.
  g->MousePress(240, 494, left);
  EXPECT_EQ(effect->getParameter(effect, EffectPlugin::kReset), 1.0f);
  EXPECT_EQ(effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(effect->getParameter(effect, EffectPlugin::kReset), 0.0f);
  EXPECT_EQ(g->CapturedControl(), -1);

  // Every automation went to the host first.
  EXPECT_GE(host.CountCalls(audioMasterAutomate), 50);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace
