// WaveDisplay navigation: the hover state, moving and resizing the zoom
// window, scrolling the main view on the time ruler, shifting its gain range,
// wheel zoom, double-click resets, and the ruler click that moves REAPER's edit
// cursor. Presses and drags on the main view go to shape editing.
// GUI thread: the editor's mouse dispatch, which captures the display from a
// press until the release.
#include <algorithm>
#include <cstdlib>

#include "controls/DisplayMath.h"
#include "controls/WaveDisplay.h"
#include "effect/EffectPlugin.h"

namespace {

// The host whose edit cursor the ruler can move (REAPER).
constexpr int kHostWithEditCursor = 1;

}  // namespace

void WaveDisplay::MouseHover(int x, int y, const PointerState&) {
  RefreshShapes();
  if (mainView_.Rect().Contains(x, y)) {
    HoverShapes(x, y);
    hoverMode_ = kHoverShapes;
  } else if (std::abs(x - zoomWindow_.left) < kHandleReach && std::abs(y - zoomWindow_.top) < kHandleReach) {
    hoverMode_ = kHoverTopLeft;
  } else if (std::abs(x - zoomWindow_.right) < kHandleReach && std::abs(y - zoomWindow_.bottom) < kHandleReach) {
    hoverMode_ = kHoverBottomRight;
  } else {
    hoverMode_ = !zoomWindow_.IsAllZero() && zoomWindow_.Contains(x, y) ? kHoverZoom : kHoverNone;
  }
  MarkDirty(true);
}

void WaveDisplay::MouseLeave() {
  dragMode_ = kDragNone;
  hoverMode_ = kHoverNone;
  MarkDirty(true);
}

void WaveDisplay::MousePress(int x, int y, const PointerState& mods) {
  RefreshShapes();
  const PixelRect& m = mainView_.Rect();
  switch (hoverMode_) {
    case kHoverZoom:
    case kHoverTopLeft:
    case kHoverBottomRight:
      dragMode_ = hoverMode_;
      hoverMode_ = kHoverNone;
      break;
    case kHoverShapes:
      dragMode_ = PressShapes(x, y, mods) ? kDragShapes : kDragNone;
      break;
    default:
      if (y < m.top) {
        dragMode_ = kDragRulerPressed;
      } else if (x > m.right) {
        dragMode_ = kDragGain;
      }
      break;
  }
  followCursor_ = false;
  MarkDirty(true);
}

void WaveDisplay::MouseDrag(int x, int y, int dX, int dY, const PointerState& mods) {
  RefreshShapes();
  switch (dragMode_) {
    case kDragZoom:
    case kDragTopLeft:
    case kDragBottomRight:
      DragZoomWindow(dX, dY);
      break;
    case kDragRulerPressed:
      dragMode_ = kDragRuler;
      DragRuler(x, dX);
      break;
    case kDragRuler:
      DragRuler(x, dX);
      break;
    case kDragGain:
      DragGain(y, dY);
      break;
    case kDragShapes:
      DragShapes(x, y, dX, dY, mods);
      break;
    default:
      break;
  }
  MarkDirty(true);
}

void WaveDisplay::MouseRelease(int x, int) {
  // A press on the ruler that never moved is a click: REAPER's edit cursor
  // goes there (on the host's timeline, at the host's sample rate).
  if (dragMode_ == kDragRulerPressed && plug_ && plug_->HostKind() == kHostWithEditCursor &&
      plug_->SampleRate() > 0.0) {
    const int64_t position = mainView_.XToSample(x);
    plug_->Host().MoveEditCursor(static_cast<double>(position) / plug_->SampleRate(), 1, 1);
  }
  dragMode_ = kDragNone;
  // The zoom window's handles show the end of the drag.
  MarkDirty(true);
}

void WaveDisplay::DragZoomWindow(int dX, int dY) {
  PixelRect& z = zoomWindow_;
  const PixelRect& o = kOverviewRect;
  switch (dragMode_) {
    case kDragZoom:
      // A move keeps the window's size, however far the pointer went since
      // the last event; the overview's edges stop it.
      z.left += dX;
      z.right += dX;
      z.top += dY;
      z.bottom += dY;
      KeepInsideOverview(z);
      break;
    case kDragTopLeft:
      // A window already narrower (or lower) than the minimum at the
      // overview's edge stays as it is rather than leaving the overview.
      z.left = std::max(z.left + dX, o.left);
      if (z.left >= z.right - kMinZoomSize) z.left = std::max(z.right - kMinZoomSize, o.left);
      z.top = std::max(z.top + dY, o.top);
      if (z.top >= z.bottom - kMinZoomSize) z.top = std::max(z.bottom - kMinZoomSize, o.top);
      break;
    case kDragBottomRight:
      z.right = std::max(z.right + dX, z.left + kMinZoomSize);
      if (z.right >= o.right) z.right = o.right;
      z.bottom = std::max(z.bottom + dY, z.top + kMinZoomSize);
      if (z.bottom >= o.bottom) z.bottom = o.bottom;
      break;
    default:
      return;
  }
  ZoomWindowToMainView();
}

void WaveDisplay::DragRuler(int x, int dX) {
  const int64_t shift = mainView_.XToSample(x) - mainView_.XToSample(x - dX);
  int64_t from = mainView_.Start() - shift;
  if (from <= 0) from = 0;
  int64_t to = std::max(mainView_.End() - shift, from + kMinRulerSpan);
  // Scrolling later stops where the overview ends (5 s past the newest audio),
  // the view's span kept: the zoom window stays inside the overview.
  const int64_t last = std::max(overview_.End(), mainView_.End());
  if (shift < 0 && to > last) {
    from = std::max<int64_t>(from - (to - last), 0);
    to = last;
  }
  UpdateMainView(from, to);
  DeriveZoomWindow();
  followCursor_ = false;
}

void WaveDisplay::DragGain(int y, int dY) {
  const int diff = SaturateShort(mainView_.YToGain(y) - mainView_.YToGain(y - dY));
  int bottom = std::max(mainView_.GainBottom() - diff, -kMainGainLimit);
  int top = std::min(mainView_.GainTop() - diff, kMainGainLimit);
  // A bound pinned at its limit lets the range shrink, never below the minimum.
  if (top - bottom < kMinGainRange) {
    if (bottom == -kMainGainLimit) {
      top = bottom + kMinGainRange;
    } else {
      bottom = top - kMinGainRange;
    }
  }
  SetMainGainRange(bottom, top);
  UpdateMainView(mainView_.Start(), mainView_.End());
  DeriveZoomWindow();
  followCursor_ = false;
}

void WaveDisplay::MouseWheel(int x, int y, const PointerState&, int notches) {
  RefreshShapes();
  const PixelRect& m = mainView_.Rect();
  const bool timeZoom = x <= m.right;
  const bool gainZoom = overview_.Rect().Contains(x, y) ? false : y >= m.top;
  int64_t from = mainView_.Start();
  int64_t to = mainView_.End();
  PixelRect& z = zoomWindow_;
  if (timeZoom) {
    z.left += notches;
    z.right -= notches;
    z.right = std::max(z.right, z.left + kMinZoomSize);
    z.left = std::min(z.left, z.right - kMinZoomSize);
    KeepInsideOverview(z);
    from = overview_.XToSample(z.left);
    to = overview_.XToSample(z.right);
  }
  if (gainZoom) {
    z.bottom -= notches;
    z.top += notches;
    z.top = std::min(z.top, z.bottom - kMinZoomSize);
    z.bottom = std::max(z.bottom, z.top + kMinZoomSize);
    KeepInsideOverview(z);
    const int gb = SaturateShort(overview_.YToGain(z.bottom));
    const int gt = SaturateShort(overview_.YToGain(z.top));
    SetMainGainRange(gb, gt);
  }
  if (!timeZoom && !gainZoom) return;
  UpdateMainView(from, to);
  followCursor_ = false;
  MarkDirty(true);
}

void WaveDisplay::MouseDoubleClick(int x, int y, const PointerState&) {
  RefreshShapes();
  const PixelRect& m = mainView_.Rect();
  bool timeReset = y < m.top;
  bool gainReset = x > m.right;
  if (overview_.Rect().Contains(x, y)) {
    followCursor_ = true;
    timeReset = gainReset = true;
  }
  if (!timeReset && !gainReset) return;
  // The gain first, so that the columns below are computed at the new scale.
  if (gainReset) SetMainGainRange(-512, 512);
  int64_t from = mainView_.Start();
  int64_t to = mainView_.End();
  if (timeReset) {
    // 5 s around the middle of the view, moved left to end at the overview's end.
    const int64_t centre = (mainView_.Start() + mainView_.End()) / 2;
    from = centre - kMainSpan / 2;
    if (from <= 0) from = 0;
    to = from + kMainSpan;
    const int64_t e = overview_.End();
    if (to >= e) {
      from -= to - e;
      if (from <= 0) from = 0;
      to = e;
    }
  }
  UpdateMainView(from, to);
  DeriveZoomWindow();
  MarkDirty(true);
}
