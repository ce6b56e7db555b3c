// WaveDisplay drawing: takes the newly captured audio, follows the host's play
// cursor, and paints the views, labels, zoom window, loop markers, gain shapes
// and the play cursor. GUI thread, inside the editor's paint.
#include <algorithm>

#include "controls/DisplayMath.h"
#include "controls/WaveDisplay.h"
#include "effect/EffectPlugin.h"
#include "graphics/Graphics.h"
#include "raster/Lines.h"

namespace {

constexpr ArgbColor kWhite{255, 255, 255, 255};
constexpr ArgbColor kBlack{255, 0, 0, 0};
constexpr ArgbColor kGrey191{255, 191, 191, 191};
constexpr ArgbColor kGrey223{255, 223, 223, 223};
constexpr ArgbColor kGreenFill{255, 0, 255, 0};
constexpr ArgbColor kRedFill{255, 255, 0, 0};
constexpr ArgbColor kPlayCursor{255, 255, 0, 0};
constexpr ArgbColor kControlLine{255, 127, 127, 127};
constexpr ArgbColor kControlLineSelected{255, 0, 160, 0};
constexpr ArgbColor kPointPlain{255, 0, 0, 0};
constexpr ArgbColor kPointSelected{255, 0, 255, 0};
constexpr ArgbColor kPointHit{255, 255, 0, 0};
constexpr ArgbColor kOverviewSegment{255, 127, 127, 127};
constexpr ArgbColor kOverviewSegmentSelected{255, 255, 255, 255};
constexpr BlendSpec kCopy{1, 1.0f};

// A line clipped to rect first, so that only what lies inside is drawn.
void StrokeClipped(Graphics& g, const ArgbColor& colour, double x1, double y1, double x2, double y2,
                   const PixelRect& rect) {
  float ax = static_cast<float>(x1), ay = static_cast<float>(y1);
  float bx = static_cast<float>(x2), by = static_cast<float>(y2);
  if (ClipLineToRect(ax, ay, bx, by, rect)) g.StrokeLine(colour, ax, ay, bx, by, kCopy, true);
}

// A vertical line from y1 to y2 (either order) at x, kept inside rect.
void VLineInside(Graphics& g, const ArgbColor& colour, int x, int y1, int y2, const PixelRect& rect) {
  if (x < rect.left || x >= rect.right) return;
  int top = std::max(std::min(y1, y2), rect.top);
  int bottom = std::min(std::max(y1, y2), rect.bottom - 1);
  if (top <= bottom) g.StrokeVLine(colour, x, top, bottom);
}

}  // namespace

bool WaveDisplay::Render(Graphics& g) {
  RefreshShapes();
  ApplyPendingLook();
  TakeCapturedAudio();

  mainView_.CopyOut(g);
  mainView_.DrawFrameAndTimeLabels(g, true);
  DrawGainLabels(g);
  overview_.CopyOut(g);
  overview_.DrawFrameAndTimeLabels(g, false);
  const PixelRect& o = overview_.Rect();
  g.StrokeHLine(kGridColour, 1 - static_cast<int>(static_cast<float>(o.top + o.bottom) * -0.5f), o.left, o.right);
  DrawZoomWindow(g);
  if (loopEnd_ != 0) DrawLoopMarkers(g);
  DrawShapes(g);
  DrawPlayCursor(g);
  ShowFollowState();
  return true;
}

void WaveDisplay::ApplyPendingLook() {
  if (!lookChanged_.exchange(false, std::memory_order_acquire)) return;
  const double brightness = Brightness();
  const int colourMap = ColourMapIndex();
  mainView_.PaintColumns(0, mainView_.Width(), brightness, colourMap);
  overview_.PaintColumns(0, overview_.Width(), brightness, colourMap);
}

void WaveDisplay::TakeCapturedAudio() {
  auto* buffer = reinterpret_cast<int16_t*>(captureBuffer_.Data());
  if (!buffer || !plug_) return;
  int64_t end = 0;
  int n = plug_->ReadCapture(buffer, &end);
  if (n <= 0) return;
  // The newest n values end just before the end position; a position too
  // close to 0 to hold them all keeps only the newest.
  const int16_t* values = buffer;
  if (end < n) {
    values += n - end;
    n = static_cast<int>(end);
  }
  if (n <= 0) return;
  const int64_t start = end - n;
  samples_.Write(values, start, n);
  DetectHostLoop(start, end);

  const double brightness = Brightness();
  const int colourMap = ColourMapIndex();
  bool mainMoved = false;
  const bool inside = start >= mainView_.Start() && start < mainView_.End() && end >= mainView_.Start() &&
                      end < mainView_.End();
  if (followCursor_ && !inside) {
    // The new block starts a quarter of the view's span after its start.
    const int64_t span = mainView_.End() - mainView_.Start();
    int64_t from = start - span / 4;
    if (from <= 0) from = 0;
    mainMoved = mainView_.Update(samples_, from, from + span, brightness, colourMap, true);
  } else {
    mainView_.Update(samples_, start, end, brightness, colourMap, false);
  }

  // The overview starts at 0 and grows to 5 s past the newest data.
  const int64_t to = mainMoved ? mainView_.End() : end;
  const int64_t from = mainMoved ? mainView_.Start() : start;
  bool overviewMoved = false;
  if (to < overview_.Start() || to >= overview_.End()) {
    overviewMoved = overview_.Update(samples_, 0, to + kOverviewLead, brightness, colourMap, true);
  } else {
    overview_.Update(samples_, from, to, brightness, colourMap, false);
  }
  if (mainMoved || overviewMoved) DeriveZoomWindow();
}

void WaveDisplay::DrawGainLabels(Graphics& g) {
  const PixelRect& m = mainView_.Rect();
  gainLabelStyle_.color = kFrameColour;
  gainLabelStyle_.alignment = 2;
  g.PrintText(gainLabelStyle_, gainLabels_.HighText(), PixelRect{m.right + 2, m.top, m.right + 38, m.top + 10});
  g.PrintText(gainLabelStyle_, gainLabels_.LowText(),
              PixelRect{m.right + 2, m.bottom - 10, m.right + 38, m.bottom});
  for (int i = 0; i < gainLabels_.Count(); ++i) {
    float f = gainLabels_.Position(i);
    int y = m.bottom - static_cast<int>(static_cast<float>(m.bottom - m.top) * f);
    g.StrokeHLineAtFraction(kGridColour, m, f);
    g.PrintText(gainLabelStyle_, gainLabels_.Text(i), PixelRect{m.right + 2, y - 5, m.right + 38, y + 5});
  }
}

void WaveDisplay::DrawZoomWindow(Graphics& g) {
  const int left = zoomWindow_.left, top = zoomWindow_.top;
  const int right = zoomWindow_.right, bottom = zoomWindow_.bottom;
  g.StrokeHLine(kWhite, top, left + 6, right - 2);
  g.StrokeHLine(kWhite, bottom, left + 2, right - 5);
  g.StrokeVLine(kWhite, left, top + 6, bottom - 2);
  g.StrokeVLine(kWhite, right, top + 2, bottom - 5);
  // Rounded corners where the edges stop short.
  g.StorePixel(kGrey191, right - 1, top);
  g.StorePixel(kGrey191, right, top + 1);
  g.StorePixel(kGrey223, right - 1, top + 1);
  g.StorePixel(kGrey191, left + 1, bottom);
  g.StorePixel(kGrey191, left, bottom - 1);
  g.StorePixel(kGrey223, left + 1, bottom - 1);
  DrawHandle(g, left - 2, top - 2, hoverMode_ == kHoverTopLeft || hoverMode_ == kHoverZoom,
             dragMode_ == kDragTopLeft || dragMode_ == kDragZoom);
  DrawHandle(g, right - 4, bottom - 4, hoverMode_ == kHoverBottomRight || hoverMode_ == kHoverZoom,
             dragMode_ == kDragBottomRight || dragMode_ == kDragZoom);
}

void WaveDisplay::DrawHandle(Graphics& g, int x, int y, bool hovered, bool dragged) {
  g.StrokeRect(kWhite, PixelRect{x, y, x + 7, y + 7});
  if (hovered) {
    g.FillArea(kGreenFill, PixelRect{x + 1, y + 1, x + 7, y + 7}, kCopy);
  } else if (dragged) {
    g.FillArea(kRedFill, PixelRect{x + 1, y + 1, x + 7, y + 7}, kCopy);
  } else {
    g.StrokeRect(kBlack, PixelRect{x + 1, y + 1, x + 6, y + 6});
    g.FillArea(kGreenFill, PixelRect{x + 2, y + 2, x + 6, y + 6}, kCopy);
  }
}

void WaveDisplay::DrawLoopMarkers(Graphics& g) {
  const int xs = overview_.SampleToX(loopStart_);
  const int xe = overview_.SampleToX(loopEnd_);
  const int top = overview_.Rect().top;
  const int bottom = overview_.Rect().bottom;
  // Brackets above and below the overview, corners rounded toward it.
  g.StrokeHLine(kWhite, top - 4, xs + 2, xe - 2);
  g.StrokeHLine(kWhite, bottom + 4, xs + 2, xe - 2);
  g.StorePixel(kFrameColour, xs + 1, top - 4);
  g.StorePixel(kFrameColour, xs, top - 3);
  g.StorePixel(kFrameColour, xe - 1, top - 4);
  g.StorePixel(kFrameColour, xe, top - 3);
  g.StorePixel(kWhite, xs + 1, top - 3);
  g.StorePixel(kWhite, xe - 1, top - 3);
  g.StorePixel(kFrameColour, xs + 1, bottom + 4);
  g.StorePixel(kFrameColour, xs, bottom + 3);
  g.StorePixel(kFrameColour, xe - 1, bottom + 4);
  g.StorePixel(kFrameColour, xe, bottom + 3);
  g.StorePixel(kWhite, xs + 1, bottom + 3);
  g.StorePixel(kWhite, xe - 1, bottom + 3);
}

void WaveDisplay::DrawShapes(Graphics& g) {
  const int64_t start = mainView_.Start();
  const int64_t end = mainView_.End();
  const double low = mainView_.GainBottom() / 512.0;
  const double high = mainView_.GainTop() / 512.0;
  for (int i = 0; i < shapes_.Count(); ++i) {
    ShapeSegment& segment = *shapes_.At(i);
    bool visible = false;
    for (ShapePoint* p : {&segment.start, &segment.control, &segment.end}) {
      const bool inRange = start <= p->pos && p->pos < end;
      p->posShown = inRange && low <= p->level && p->level < high;
      p->negShown = inRange && low <= -p->level && -p->level < high;
      visible = visible || inRange;
    }
    segment.visible = visible;
    if (visible) {
      DrawSegmentInMainView(g, segment);
    } else {
      // Out of sight nothing can be under the pointer.
      segment.start.hit = segment.control.hit = segment.end.hit = 0;
    }
  }
  DrawOverviewShapes(g);
}

void WaveDisplay::DrawSegmentInMainView(Graphics& g, ShapeSegment& segment) {
  const PixelRect& rect = mainView_.Rect();
  ShapePoint* points[3] = {&segment.start, &segment.control, &segment.end};
  for (ShapePoint* p : points) {
    int x = 0;
    int y = 0;
    mainView_.ToPixel(p->pos, p->level, &x, &y);
    p->x = x;
    p->yPos = y;
    mainView_.ToPixel(p->pos, -p->level, &x, &y);
    p->yNeg = y;
  }
  const ArgbColor& lineColour = segment.selected ? kControlLineSelected : kControlLine;
  const ShapePoint& s = segment.start;
  const ShapePoint& c = segment.control;
  const ShapePoint& e = segment.end;
  for (int image = 0; image < 2; ++image) {
    const bool mirrored = image == 0;
    const int sy = mirrored ? s.yNeg : s.yPos;
    const int cy = mirrored ? c.yNeg : c.yPos;
    const int ey = mirrored ? e.yNeg : e.yPos;
    StrokeClipped(g, lineColour, s.x, sy, c.x, cy, rect);
    StrokeClipped(g, lineColour, c.x, cy, e.x, ey, rect);

    // The curve, one step per pixel of its width. Steps are visited only
    // where x changes inside the view (x never decreases along the curve),
    // so a segment far wider than the view costs no more than the view.
    const int64_t n = static_cast<int64_t>(e.x) - s.x;
    if (n < 2 || s.x > c.x || c.x > e.x || s.x >= rect.right || e.x < rect.left) continue;
    auto at = [&](int64_t i, int p0, int p1, int p2) {
      const double t = static_cast<double>(i) / static_cast<double>(n);
      const double u = 1.0 - t;
      return TruncToInt(u * u * p0 + 2.0 * t * u * p1 + t * t * p2);
    };
    auto xAt = [&](int64_t i) { return at(i, s.x, c.x, e.x); };
    // The first step in [lo, n - 1] whose x reaches target, or n.
    auto firstReaching = [&](int64_t lo, int target) {
      int64_t hi = n;
      while (lo < hi) {
        int64_t mid = lo + (hi - lo) / 2;
        if (xAt(mid) >= target) {
          hi = mid;
        } else {
          lo = mid + 1;
        }
      }
      return lo;
    };
    int prevX = s.x;
    int prevY = sy;
    int64_t i = 1;
    if (s.x < rect.left) {
      i = firstReaching(1, rect.left);
      if (i >= n) continue;
      prevX = i > 1 ? xAt(i - 1) : s.x;
      prevY = rect.top - 1;  // outside: no line into the view from there
    }
    while (i < n) {
      const int x = xAt(i);
      if (x >= rect.right) break;
      if (x != prevX) {
        const int y = at(i, sy, cy, ey);
        if (rect.Contains(prevX, prevY) && rect.Contains(x, y)) {
          g.StrokeLine(kWhite, static_cast<float>(prevX), static_cast<float>(prevY), static_cast<float>(x),
                       static_cast<float>(y), kCopy, true);
        }
        prevX = x;
        prevY = y;
      }
      i = firstReaching(i + 1, prevX + 1);
    }
  }
  VLineInside(g, lineColour, s.x, s.yNeg, s.yPos, rect);
  VLineInside(g, lineColour, e.x, e.yNeg, e.yPos, rect);

  for (ShapePoint* p : points) {
    const ArgbColor& fill = p->hit ? kPointHit : (segment.selected ? kPointSelected : kPointPlain);
    for (int image = 0; image < 2; ++image) {
      const bool mirrored = image == 0;
      if (!(mirrored ? p->negShown : p->posShown)) continue;
      const int y = mirrored ? p->yNeg : p->yPos;
      g.StrokeCircle(kWhite, static_cast<float>(p->x), static_cast<float>(y), 2.0f, kCopy, true);
      g.FillArea(fill, PixelRect{p->x - 1, y - 1, p->x + 2, y + 2}, kCopy);
    }
  }
}

void WaveDisplay::DrawOverviewShapes(Graphics& g) {
  // Every segment is drawn in the overview, in list order; the cache keeps
  // the finished pixels where neither the segments nor what lies beneath
  // them changed since the last paint.
  const int count = shapes_.Count();
  auto* inputs = overviewInputs_.Resize(static_cast<size_t>(count) * sizeof(OverviewSegment))
                     ? reinterpret_cast<OverviewSegment*>(overviewInputs_.Data())
                     : nullptr;
  if (!inputs) {
    overviewShapes_.Invalidate();
    for (int i = 0; i < count; ++i) DrawSegmentInOverview(g, OverviewInputs(*shapes_.At(i)));
    return;
  }
  for (int i = 0; i < count; ++i) inputs[i] = OverviewInputs(*shapes_.At(i));
  overviewShapes_.Begin(g, overview_.Rect(), inputs, count);
  for (int i = 0; i < count; ++i) {
    if (overviewShapes_.MustDraw(i)) DrawSegmentInOverview(g, inputs[i]);
  }
  overviewShapes_.End(g);
}

OverviewSegment WaveDisplay::OverviewInputs(const ShapeSegment& segment) const {
  OverviewSegment inputs;
  const ShapePoint* points[3] = {&segment.start, &segment.control, &segment.end};
  for (int k = 0; k < 3; ++k) {
    overview_.ToPixel(points[k]->pos, points[k]->level, &inputs.x[k], &inputs.yPos[k]);
    overview_.ToPixel(points[k]->pos, -points[k]->level, &inputs.x[k], &inputs.yNeg[k]);
  }
  inputs.selected = segment.selected ? 1 : 0;
  return inputs;
}

void WaveDisplay::DrawSegmentInOverview(Graphics& g, const OverviewSegment& segment) {
  const PixelRect& rect = overview_.Rect();
  const ArgbColor& colour = segment.selected ? kOverviewSegmentSelected : kOverviewSegment;
  const int32_t* x = segment.x;
  const int32_t* yPos = segment.yPos;
  const int32_t* yNeg = segment.yNeg;
  for (int k = 0; k < 2; ++k) {
    StrokeClipped(g, colour, x[k], yPos[k], x[k + 1], yPos[k + 1], rect);
    StrokeClipped(g, colour, x[k], yNeg[k], x[k + 1], yNeg[k + 1], rect);
  }
  // Filled between the two images, column by column, inside the overview only.
  for (int k = 0; k < 2; ++k) {
    const int x0 = x[k], x1 = x[k + 1];
    if (x0 == x1) {
      VLineInside(g, colour, x0, yPos[k], yNeg[k], rect);
      continue;
    }
    const int from = std::max(x0, rect.left);
    const int to = std::min(x1, rect.right - 1);
    for (int column = from; column <= to; ++column) {
      const double f = static_cast<double>(column - x0) / (x1 - x0);
      const int a = TruncToInt(yPos[k] + (yPos[k + 1] - yPos[k]) * f);
      const int b = TruncToInt(yNeg[k] + (yNeg[k + 1] - yNeg[k]) * f);
      VLineInside(g, colour, column, a, b, rect);
    }
  }
}

void WaveDisplay::DrawPlayCursor(Graphics& g) {
  for (WaveView* view : {&mainView_, &overview_}) {
    const PixelRect& r = view->Rect();
    const int x = view->SampleToX(lastEnd_);
    if (r.left <= x && x < r.right) g.StrokeVLine(kPlayCursor, x, r.top, r.bottom);
  }
}
