#include "platform/x11/X11EditorWindow.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "HostError.h"
#include "PluginInstance.h"
#include "core/EditorProbe.h"
#include "platform/x11/TopLevelWindow.h"

namespace {

// The editor's redraw timer period, and how long a picture may take to show.
constexpr int kTimerMs = 55;
constexpr int kSettleMs = 3 * kTimerMs;
// Longer than any double-click time (the editor's is 500 ms).
constexpr int kClickGapMs = 600;

// A channel of an X pixel scaled to 8 bits through the visual's mask.
unsigned Channel(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const unsigned long top = mask >> shift;
  return static_cast<unsigned>((((pixel & mask) >> shift) * 255 + top / 2) / top);
}

}  // namespace

X11EditorWindow::X11EditorWindow(PluginInstance& plugin) : plugin_(plugin) {
  EditorWindowSize(plugin, width_, height_);
  display_ = XOpenDisplay(nullptr);
  if (!display_) throw HostError("cannot open the X display (is DISPLAY set? xvfb-run gives one)");
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
    XCloseDisplay(display_);
    throw HostError("the X server lacks the XTest extension");
  }
  window_ = MapTopLevelWindow(display_, width_, height_, "kelvane-host");
  if (plugin.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window_)) != 1) {
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
    throw HostError("the module did not open its editor in the window");
  }
  // The editor maps its window and draws the first picture.
  Run(kSettleMs);
}

X11EditorWindow::~X11EditorWindow() {
  if (held_) Button(held_, false);
  SetModifiers(0);
  XSync(display_, False);
  plugin_.Dispatch(effEditClose);
  XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
}

void X11EditorWindow::Run(int ms) {
  XSync(display_, False);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    plugin_.Dispatch(effEditIdle);
    if (std::chrono::steady_clock::now() >= end) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void X11EditorWindow::Tick() { Run(kTimerMs); }

void X11EditorWindow::MoveTo(int x, int y) {
  // The window's place on the screen, wherever a window manager put it.
  int screenX = 0, screenY = 0;
  Window child = 0;
  XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), x, y, &screenX, &screenY, &child);
  XTestFakeMotionEvent(display_, DefaultScreen(display_), screenX, screenY, CurrentTime);
}

void X11EditorWindow::Button(unsigned button, bool down) {
  XTestFakeButtonEvent(display_, button, down, CurrentTime);
}

void X11EditorWindow::Key(unsigned long keysym, bool down) {
  XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, keysym), down, CurrentTime);
}

void X11EditorWindow::SetModifiers(int32_t buttons) {
  const struct {
    int32_t bit;
    unsigned long key;
  } keys[] = {{kProbeShift, XK_Shift_L}, {kProbeControl, XK_Control_L}, {kProbeAlt, XK_Alt_L}};
  for (const auto& k : keys) {
    if ((buttons & k.bit) != (modifiers_ & k.bit)) Key(k.key, (buttons & k.bit) != 0);
  }
  modifiers_ = buttons & (kProbeShift | kProbeControl | kProbeAlt);
}

void X11EditorWindow::Mouse(int32_t event, int32_t x, int32_t y, int32_t buttons, int32_t notches) {
  switch (event) {
    case kProbePress: {
      SetModifiers(buttons);
      if (held_) Button(held_, false);
      held_ = (buttons & kProbeRight) ? Button3 : Button1;
      if (held_ == Button1) {
        // A press right after another at the same place would make a double
        // click of the two; the script asked for two clicks: wait them apart.
        const auto since = std::chrono::steady_clock::now() - lastPress_;
        if (std::abs(x - lastPressX_) <= 4 && std::abs(y - lastPressY_) <= 4 &&
            since < std::chrono::milliseconds(kClickGapMs)) {
          Run(kClickGapMs - static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count()));
        }
        lastPress_ = std::chrono::steady_clock::now();
        lastPressX_ = x;
        lastPressY_ = y;
      }
      MoveTo(x, y);
      Button(held_, true);
      break;
    }
    case kProbeDrag:
    case kProbeHover:
      SetModifiers(buttons);
      MoveTo(x, y);
      break;
    case kProbeRelease:
      MoveTo(x, y);
      if (held_) Button(held_, false);
      held_ = 0;
      break;
    case kProbeDoubleClick:
      // Two clicks in quick succession, as a user makes one.
      SetModifiers(buttons);
      MoveTo(x, y);
      for (int i = 0; i < 2; ++i) {
        Button(Button1, true);
        Button(Button1, false);
      }
      lastPressX_ = lastPressY_ = -100;
      break;
    case kProbeWheel:
      MoveTo(x, y);
      for (int i = 0; i < (notches < 0 ? -notches : notches); ++i) {
        Button(notches > 0 ? Button4 : Button5, true);
        Button(notches > 0 ? Button4 : Button5, false);
      }
      break;
    case kProbeLeave:
      // Beyond the window's bottom-right corner.
      MoveTo(width_ + 16, height_ + 16);
      break;
    default:
      return;
  }
  // The editor takes the event at its next idle call.
  Run(0);
}

std::vector<uint32_t> X11EditorWindow::Screenshot() {
  Run(kSettleMs);
  std::vector<uint32_t> pixels(static_cast<size_t>(width_) * height_, 0xFF000000u);
  XImage* image = XGetImage(display_, window_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_),
                            AllPlanes, ZPixmap);
  if (!image) throw HostError("cannot read the editor window back from the X server");
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      pixels[static_cast<size_t>(y) * width_ + x] = 0xFF000000u | (Channel(p, image->red_mask) << 16) |
                                                    (Channel(p, image->green_mask) << 8) |
                                                    Channel(p, image->blue_mask);
    }
  }
  XDestroyImage(image);
  return pixels;
}
