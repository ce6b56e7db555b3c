// The editor in a real X11 window, driven as a Linux host drives it: a parent
// window of the test's own, effEditOpen/effEditIdle/effEditClose, real pointer
// and keyboard input through XTest, and screenshots read back from a private
// X server. Every picture is compared with the same editor drawn headlessly.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "controls/LineKnob.h"
#include "core/Module.h"
#include "core/Param.h"
#include "effect/EffectPlugin.h"
#include "graphics/platform/headless/HeadlessGraphics.h"
#include "graphics/platform/x11/X11Graphics.h"
#include "shapes/EditPanel.h"
#include "tests/core/FakeHost.h"
#include "tests/x11/PrivateXServer.h"
#include "tools/PngFile.h"

namespace {

constexpr int kW = 640;
constexpr int kH = 540;
constexpr int kKnobX = 198, kKnobY = 494;    // the "bright" knob
constexpr int kResetX = 240, kResetY = 494;  // the "reset" button
constexpr int kXLeft = 1, kXRight = 3;

using Pixels = std::vector<uint32_t>;

// The test's side of the X server: the host's windows and the user's hands.
struct XHost {
  Display* d = Shared();
  static Display* Shared() {
    return PrivateXServer::Shared().Connection();
  }
  std::vector<Window> made;
  ~XHost() {
    if (!d) return;
    for (Window w : made) XDestroyWindow(d, w);
    XSync(d, False);
  }
  void Destroy(Window w) {
    std::erase(made, w);
    XDestroyWindow(d, w);
  }
  Window MakeParent(int x) {
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), x, 0, kW, kH, 0, 0, 0x202020);
    made.push_back(w);
    XSelectInput(d, w, StructureNotifyMask);
    XMapWindow(d, w);
    XEvent e;
    do XWindowEvent(d, w, StructureNotifyMask, &e);
    while (e.type != MapNotify);
    return w;
  }
  void Move(int x, int y) { XTestFakeMotionEvent(d, DefaultScreen(d), x, y, CurrentTime); }
  void Button(int button, bool down) { XTestFakeButtonEvent(d, button, down, CurrentTime); }
  void Click(int button, int x, int y) {
    Move(x, y);
    Button(button, true);
    Button(button, false);
  }
  void Key(KeySym symbol) {
    KeyCode code = XKeysymToKeycode(d, symbol);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
  }
  Pixels Shot(Window w) {
    XSync(d, False);
    XImage* image = XGetImage(d, w, 0, 0, kW, kH, AllPlanes, ZPixmap);
    Pixels pixels(kW * kH);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) pixels[y * kW + x] = 0xFF000000u | (XGetPixel(image, x, y) & 0xFFFFFFu);
    }
    XDestroyImage(image);
    return pixels;
  }
  // The host's GUI loop: idle calls to every open editor for `ms` milliseconds,
  // and on (up to two seconds) while an editor still has something to draw or
  // a prompt request to carry out, however slowly this machine runs today.
  void Run(std::initializer_list<AEffect*> effects, int ms = 150) {
    XSync(d, False);
    const auto start = std::chrono::steady_clock::now();
    auto busy = [&] {
      for (AEffect* e : effects) {
        auto* g = static_cast<X11Graphics*>(PlugBase::FromEffect(e)->Editor());
        if (g->HasWindow() && (g->CollectDirty(nullptr) || g->PromptState() >= 2)) return true;
      }
      return false;
    };
    for (;;) {
      for (AEffect* e : effects) e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      const auto elapsed = std::chrono::steady_clock::now() - start;
      if (elapsed >= std::chrono::milliseconds(ms) && (!busy() || elapsed >= std::chrono::seconds(2))) break;
    }
  }
};

// The host of the running test, for the instances it makes.
audioMasterCallback gHost = nullptr;

// A Kelvane instance as a host holds it.
struct Instance {
  EffectPlugin* plug = static_cast<EffectPlugin*>(CreateEffectInstance(gHost));
  AEffect* effect = plug->Effect();
  ~Instance() { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }
  VstIntPtr Open(Window parent) {
    return effect->dispatcher(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(parent), 0.0f);
  }
  VstIntPtr Close() { return effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f); }
  X11Graphics* Editor() { return static_cast<X11Graphics*>(plug->Editor()); }
  float Get(int index) { return effect->getParameter(effect, index); }
  double Plain(int index) { return plug->ParamAt(index)->Plain(); }
};

// The same editor without a window, driven through the mouse entry points.
struct Reference {
  EffectPlugin plug{gHost, SurfaceKind::Headless};
  HeadlessGraphics* g = static_cast<HeadlessGraphics*>(plug.Editor());
  Pixels Picture() {
    // A running reset countdown keeps asking for another draw.
    for (int i = 0; i < 8 && g->TimerTick(); ++i) {
    }
    const uint32_t* p = g->SurfacePixels();
    Pixels pixels(p, p + kW * kH);
    for (uint32_t& word : pixels) word |= 0xFF000000u;
    return pixels;
  }
};

// On a mismatch both pictures are kept for a look.
// With KELVANE_KEEP_SHOTS set, every window picture is kept.
::testing::AssertionResult SamePicture(const Pixels& window, const Pixels& headless, const char* name) {
  std::string base = std::string(KELVANE_BINARY_DIR) + "/x11-" + name;
  if (std::getenv("KELVANE_KEEP_SHOTS")) WritePng(base + "-window.png", kW, kH, window);
  if (window == headless) return ::testing::AssertionSuccess();
  WritePng(base + "-window.png", kW, kH, window);
  WritePng(base + "-headless.png", kW, kH, headless);
  return ::testing::AssertionFailure() << "window differs from the headless picture, see " << base << "-*.png";
}

class X11Editor : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x.d) GTEST_SKIP() << "no Xvfb to run an X server";
  }
  X11Editor() { gHost = host.Callback(); }
  ~X11Editor() override { gHost = nullptr; }
  FakeHost host;
  XHost x;
};

TEST_F(X11Editor, OpensClosesReopensAndRunsTwoInstances) {
  Instance a, b;
  EXPECT_EQ(a.effect->flags, 4153);
  Window parentA = x.MakeParent(0), parentB = x.MakeParent(kW);
  Reference ref;
  const Pixels first = ref.Picture();

  // No window to live in: no editor.
  EXPECT_EQ(a.Open(0), 0);
  ASSERT_EQ(a.Open(parentA), 1);
  ASSERT_EQ(b.Open(parentB), 1);
  x.Run({a.effect, b.effect});
  EXPECT_TRUE(SamePicture(x.Shot(parentA), first, "first-a"));
  EXPECT_TRUE(SamePicture(x.Shot(parentB), first, "first-b"));

  // A drag in one editor moves only its own knob.
  x.Move(kKnobX, kKnobY);
  x.Button(kXLeft, true);
  for (int y = kKnobY - 1; y >= kKnobY - 30; --y) x.Move(kKnobX, y);
  x.Button(kXLeft, false);
  x.Run({a.effect, b.effect});
  EXPECT_NEAR(a.Get(EffectPlugin::kBright), 0.30151135f + 30.0f / 108.0f, 1e-5);
  EXPECT_EQ(b.Get(EffectPlugin::kBright), 0.30151135f);
  EXPECT_TRUE(SamePicture(x.Shot(parentB), first, "untouched-b"));

  // Closed and opened again, several times, also while open: one window at a
  // time, showing the knob where the drag left it.
  ref.plug.Effect()->setParameter(ref.plug.Effect(), EffectPlugin::kBright, a.Get(EffectPlugin::kBright));
  const Pixels dragged = ref.Picture();
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(a.Close(), 1);
    EXPECT_EQ(a.Editor()->WindowHandle(), nullptr);
    ASSERT_EQ(a.Open(parentA), 1);
  }
  ASSERT_EQ(a.Open(parentA), 1);
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  XQueryTree(x.d, parentA, &root, &parent, &children, &count);
  XFree(children);
  EXPECT_EQ(count, 1u);
  x.Run({a.effect, b.effect});
  EXPECT_TRUE(SamePicture(x.Shot(parentA), dragged, "reopened-a"));
  EXPECT_EQ(b.Close(), 1);
  EXPECT_EQ(a.Close(), 1);

  // No X server to talk to: the editor does not open.
  const std::string display = std::getenv("DISPLAY");
  setenv("DISPLAY", ":9999", 1);
  EXPECT_EQ(a.Open(parentA), 0);
  setenv("DISPLAY", display.c_str(), 1);
}

TEST_F(X11Editor, MouseThroughTheServerDrawsWhatTheHeadlessEditorDraws) {
  Instance a;
  Window parentA = x.MakeParent(0);
  ASSERT_EQ(a.Open(parentA), 1);
  x.Run({a.effect});
  Reference ref;
  // Both reset countdowns stand still on their first second.
  auto frozen = [] { return int64_t{0}; };
  a.plug->Panel()->SetClock(frozen);
  ref.plug.Panel()->SetClock(frozen);
  Graphics& g = *ref.g;
  PointerState none, left, shiftLeft;
  left.left = true;
  shiftLeft.left = shiftLeft.shift = true;

  // Hover, a drag up with Shift held part of the way, a wheel notch each way
  // and two more up, a double click on the reset button, a press held on it.
  x.Move(kKnobX, kKnobY);
  g.MouseHover(kKnobX, kKnobY, none);
  x.Button(kXLeft, true);
  g.MousePress(kKnobX, kKnobY, left);
  for (int y = kKnobY - 1; y >= kKnobY - 40; --y) {
    if (y == kKnobY - 20) XTestFakeKeyEvent(x.d, XKeysymToKeycode(x.d, XK_Shift_L), True, CurrentTime);
    x.Move(kKnobX, y);
    g.MouseDrag(kKnobX, y, y <= kKnobY - 20 ? shiftLeft : left);
  }
  XTestFakeKeyEvent(x.d, XKeysymToKeycode(x.d, XK_Shift_L), False, CurrentTime);
  x.Button(kXLeft, false);
  g.MouseRelease(kKnobX, kKnobY - 40);
  x.Run({a.effect});
  for (int button : {4, 5, 4, 4}) {
    x.Click(button, kKnobX, kKnobY);
    g.MouseWheel(kKnobX, kKnobY, none, button == 4 ? 1 : -1);
  }
  x.Run({a.effect});
  EXPECT_EQ(a.Get(EffectPlugin::kBright), ref.plug.Effect()->getParameter(ref.plug.Effect(), EffectPlugin::kBright));
  EXPECT_TRUE(SamePicture(x.Shot(parentA), ref.Picture(), "dragged"));

  // Two quick clicks on the knob: a press, a release, a double click and a
  // release, which puts the knob back where the plug-in started.
  x.Click(kXLeft, kKnobX, kKnobY);
  x.Click(kXLeft, kKnobX + 1, kKnobY);
  x.Run({a.effect});
  EXPECT_EQ(a.Get(EffectPlugin::kBright), 0.30151135f);
  ref.plug.Effect()->setParameter(ref.plug.Effect(), EffectPlugin::kBright, 0.30151135f);

  x.Move(kResetX, kResetY);
  x.Button(kXLeft, true);
  g.MousePress(kResetX, kResetY, left);
  x.Run({a.effect});
  EXPECT_EQ(a.Get(EffectPlugin::kReset), 1.0f);
  EXPECT_TRUE(SamePicture(x.Shot(parentA), ref.Picture(), "reset-held"));
  x.Button(kXLeft, false);
  g.MouseRelease(kResetX, kResetY);
  x.Run({a.effect});
  EXPECT_EQ(a.Get(EffectPlugin::kReset), 0.0f);
  EXPECT_TRUE(SamePicture(x.Shot(parentA), ref.Picture(), "reset-released"));
}

TEST_F(X11Editor, PromptCommitsOnReturnOrAChoiceAndCancelsOnEscapeOrARightClick) {
  Instance a;
  Window parentA = x.MakeParent(0);
  ASSERT_EQ(a.Open(parentA), 1);
  X11Graphics* g = a.Editor();
  x.Run({a.effect});

  // A right click on the knob opens an edit field over it; typing needs a
  // click into it first, then the field keeps the keyboard and the editor
  // waits; Return commits at the next tick.
  x.Click(kXRight, kKnobX, kKnobY);
  x.Run({a.effect});
  ASSERT_NE(g->PromptWindow(), 0u);
  x.Key(XK_7);  // not focused yet: goes nowhere
  x.Click(kXLeft, kKnobX, kKnobY);
  x.Run({a.effect});
  EXPECT_EQ(g->PromptState(), 1);
  for (KeySym key : {XK_2, XK_period, XK_5}) x.Key(key);
  x.Run({a.effect});
  if (std::getenv("KELVANE_KEEP_SHOTS")) {
    WritePng(std::string(KELVANE_BINARY_DIR) + "/x11-field-window.png", kW, kH, x.Shot(parentA));
  }
  x.Key(XK_Return);
  x.Run({a.effect});
  EXPECT_EQ(g->PromptWindow(), 0u);
  EXPECT_NEAR(a.Plain(EffectPlugin::kBright), 2.5, 1e-6);

  // Escape while typing, and a right click anywhere, cancel without a value;
  // the right click that cancels opens no new prompt.
  x.Click(kXRight, kKnobX, kKnobY);
  x.Run({a.effect});
  x.Click(kXLeft, kKnobX, kKnobY);
  x.Run({a.effect});
  for (KeySym key : {XK_9, XK_Escape}) x.Key(key);
  x.Run({a.effect});
  EXPECT_EQ(g->PromptWindow(), 0u);
  x.Click(kXRight, kKnobX, kKnobY);
  x.Run({a.effect});
  ASSERT_NE(g->PromptWindow(), 0u);
  x.Click(kXRight, kKnobX, kKnobY);
  x.Run({a.effect});
  EXPECT_EQ(g->PromptWindow(), 0u);
  EXPECT_NEAR(a.Plain(EffectPlugin::kBright), 2.5, 1e-6);

  // A parameter with display texts gets a list; clicking "thermal" chooses it.
  g->AddControl(new LineKnob(a.plug, {300, 300, 327, 327}, EffectPlugin::kColormap, ArgbColor{63, 63, 63, 63}, 2.0,
                             8.0, -2.0, 2.0, 0, 4.0));
  x.Click(kXRight, 313, 313);
  x.Run({a.effect});
  ASSERT_NE(g->PromptWindow(), 0u);
  Window child = 0;
  int listX = 0, listY = 0;
  XTranslateCoordinates(x.d, g->PromptWindow(), parentA, 0, 0, &listX, &listY, &child);
  // As wide as "chlorine" needs, one 16-pixel row a text, centred on the control.
  EXPECT_EQ(listX, 313 - 44);
  EXPECT_EQ(listY, 313 - 8);
  if (std::getenv("KELVANE_KEEP_SHOTS")) {
    WritePng(std::string(KELVANE_BINARY_DIR) + "/x11-list-window.png", kW, kH, x.Shot(parentA));
  }
  x.Click(kXLeft, listX + 10, listY + 16 + 8);
  x.Run({a.effect});
  EXPECT_EQ(g->PromptWindow(), 0u);
  EXPECT_EQ(a.Plain(EffectPlugin::kColormap), 1.0);

  // Closing the editor discards an open prompt; reopened, a new one opens.
  x.Click(kXRight, kKnobX, kKnobY);
  x.Run({a.effect});
  ASSERT_NE(g->PromptWindow(), 0u);
  EXPECT_EQ(a.Close(), 1);
  EXPECT_EQ(g->PromptWindow(), 0u);
  ASSERT_EQ(a.Open(parentA), 1);
  x.Run({a.effect});
  x.Click(kXRight, kKnobX, kKnobY);
  x.Run({a.effect});
  EXPECT_NE(g->PromptWindow(), 0u);
}

TEST_F(X11Editor, APressWhoseGrabIsLostEndsAsARelease) {
  Instance a;
  Window parentA = x.MakeParent(0);
  ASSERT_EQ(a.Open(parentA), 1);
  Reference ref;
  x.Run({a.effect});

  // The host hides its window while "reset" is held: the grab goes, and with
  // it the press; the delayed reset can never fire for it.
  x.Move(kResetX, kResetY);
  x.Button(kXLeft, true);
  x.Run({a.effect});
  ASSERT_EQ(a.Get(EffectPlugin::kReset), 1.0f);
  XUnmapWindow(x.d, parentA);
  x.Run({a.effect});
  EXPECT_EQ(a.Get(EffectPlugin::kReset), 0.0f);
  EXPECT_EQ(a.Editor()->CapturedControl(), -1);
  x.Button(kXLeft, false);
  XMapWindow(x.d, parentA);
  x.Run({a.effect}, 300);
  EXPECT_EQ(a.Get(EffectPlugin::kReset), 0.0f);
  EXPECT_TRUE(SamePicture(x.Shot(parentA), ref.Picture(), "after-lost-grab"));
}

TEST_F(X11Editor, PaintingFollowsTheHostWhileItPlaysAndCallsIdle) {
  Instance a;
  Window parentA = x.MakeParent(0);
  a.effect->dispatcher(a.effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  a.effect->dispatcher(a.effect, effSetBlockSize, 0, 512, nullptr, 0.0f);
  a.effect->dispatcher(a.effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  ASSERT_EQ(a.Open(parentA), 1);
  Reference ref;
  std::vector<double> left(512), right(512);
  double* io[2] = {left.data(), right.data()};
  // Automation moves the knob while audio runs; the idle calls alone repaint.
  for (float value : {0.0f, 0.25f, 0.9f, 1.0f, 0.5f}) {
    a.effect->setParameter(a.effect, EffectPlugin::kBright, value);
    ref.plug.Effect()->setParameter(ref.plug.Effect(), EffectPlugin::kBright, value);
    for (int block = 0; block < 8; ++block) {
      for (int i = 0; i < 512; ++i) left[i] = right[i] = 0.25 * ((i & 63) < 32 ? 1 : -1);
      a.effect->processDoubleReplacing(a.effect, io, io, 512);
      a.effect->dispatcher(a.effect, effEditIdle, 0, 0, nullptr, 0.0f);
    }
    x.Run({a.effect}, 120);
    EXPECT_TRUE(SamePicture(x.Shot(parentA), ref.Picture(), "playing")) << "bright " << value;
  }
}

TEST_F(X11Editor, AHostThatDestroysItsWindowFirstLosesNothing) {
  Instance a;
  Window parentA = x.MakeParent(0);
  ASSERT_EQ(a.Open(parentA), 1);
  x.Run({a.effect});

  // Destroyed while "reset" is held; the idle calls go on, then the close.
  x.Move(kResetX, kResetY);
  x.Button(kXLeft, true);
  x.Run({a.effect});
  ASSERT_EQ(a.Get(EffectPlugin::kReset), 1.0f);
  x.Destroy(parentA);
  x.Run({a.effect});
  EXPECT_EQ(a.Get(EffectPlugin::kReset), 0.0f);
  EXPECT_FALSE(a.Editor()->HasWindow());
  x.Button(kXLeft, false);
  x.Run({a.effect});
  EXPECT_EQ(a.Close(), 1);

  // Destroyed and closed at once, with no idle call between.
  Window parentB = x.MakeParent(0);
  ASSERT_EQ(a.Open(parentB), 1);
  x.Destroy(parentB);
  XSync(x.d, False);
  EXPECT_EQ(a.Close(), 1);

  // Opened again into the destroyed window: refused. Into a new one: shown.
  EXPECT_EQ(a.Open(parentB), 0);
  Window parentC = x.MakeParent(0);
  ASSERT_EQ(a.Open(parentC), 1);
  x.Run({a.effect});
  Reference ref;
  EXPECT_TRUE(SamePicture(x.Shot(parentC), ref.Picture(), "new-parent"));
}

TEST_F(X11Editor, AnXServerThatGoesAwayDoesNotEndTheHost) {
  PrivateXServer doomed(false);
  ASSERT_NE(doomed.Connection(), nullptr);
  Display* d = doomed.Connection();
  Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, kW, kH, 0, 0, 0);
  XMapWindow(d, parent);
  XSync(d, False);
  Instance a;
  const std::string display = std::getenv("DISPLAY");
  setenv("DISPLAY", doomed.Name().c_str(), 1);
  ASSERT_EQ(a.Open(parent), 1);
  setenv("DISPLAY", display.c_str(), 1);
  a.effect->dispatcher(a.effect, effEditIdle, 0, 0, nullptr, 0.0f);

  // The server ends while the editor is open: the next idle calls find the
  // connection broken and the window gone; closing and opening elsewhere work.
  doomed.CloseConnection();
  doomed.Stop();
  for (int i = 0; i < 3; ++i) a.effect->dispatcher(a.effect, effEditIdle, 0, 0, nullptr, 0.0f);
  EXPECT_FALSE(a.Editor()->HasWindow());
  EXPECT_EQ(a.Close(), 1);
  Window parentB = x.MakeParent(0);
  ASSERT_EQ(a.Open(parentB), 1);
  x.Run({a.effect});
  Reference ref;
  EXPECT_TRUE(SamePicture(x.Shot(parentB), ref.Picture(), "after-server-loss"));
}

}  // namespace
