#include "controls/WaveDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "controls/DisplayMath.h"
#include "effect/EffectPlugin.h"

WaveDisplay::WaveDisplay(EffectPlugin* plug, Graphics* graphics)
    : Control(plug, kDisplayRect, -1, 0, 1.0f),
      mainView_(0, kMainSpan, 1.0, kMainRect, kViewSampleRate),
      overview_(0, kOverviewSpan, 1.5, kOverviewRect, kViewSampleRate),
      graphics_(graphics),
      plug_(plug) {
  if (captureBuffer_.Resize(kCaptureEntries * sizeof(int16_t))) {
    std::memset(captureBuffer_.Data(), 0, captureBuffer_.Size());
  }
  BuildGainLabels(gainLabels_, -1.0, 1.0);
  gainLabelStyle_.color = ArgbColor{255, 127, 127, 127};
  gainLabelStyle_.alignment = 1;
  // The overview never changes its gain scale: its columns are built from the
  // store's block summaries.
  samples_.SetSummaryScale(overview_.PixelsPerGainUnit());
  DeriveZoomWindow();
}

// The plug-in forgets its display when the editor goes (EditorDestroyed).
WaveDisplay::~WaveDisplay() = default;

void WaveDisplay::SetDisplayLook(double brightness, int colourMap) {
  if (std::isfinite(brightness)) brightness_.store(brightness, std::memory_order_relaxed);
  colourMap_.store(colourMap, std::memory_order_relaxed);
  lookChanged_.store(true, std::memory_order_release);
  MarkDirty(true);
}

// ---- Geometry ----

void WaveDisplay::DeriveZoomWindow() {
  zoomWindow_.left = overview_.SampleToX(mainView_.Start());
  zoomWindow_.top = overview_.GainToY(mainView_.GainTop());
  zoomWindow_.right = overview_.SampleToX(mainView_.End());
  zoomWindow_.bottom = overview_.GainToY(mainView_.GainBottom());
}

void WaveDisplay::KeepInsideOverview(PixelRect& r) {
  const PixelRect& o = kOverviewRect;
  if (r.left < o.left) {
    r.right = std::min(o.right - 1, r.right + (o.left - r.left));
    r.left = o.left;
  }
  if (r.top < o.top) {
    r.bottom = std::min(o.bottom - 1, r.bottom + (o.top - r.top));
    r.top = o.top;
  }
  if (r.right >= o.right) {
    r.left = std::max(o.left, r.left + (o.right - r.right - 1));
    r.right = o.right - 1;
  }
  if (r.bottom >= o.bottom) {
    r.top = std::max(o.top, r.top + (o.bottom - r.bottom - 1));
    r.bottom = o.bottom - 1;
  }
}

void WaveDisplay::ZoomWindowToMainView() {
  int64_t start = overview_.XToSample(zoomWindow_.left);
  int64_t end = overview_.XToSample(zoomWindow_.right);
  int top = SaturateShort(overview_.YToGain(zoomWindow_.top));
  int bottom = SaturateShort(overview_.YToGain(zoomWindow_.bottom));
  SetMainGainRange(bottom, top);
  UpdateMainView(start, end);
}

bool WaveDisplay::SetMainGainRange(int bottom, int top) {
  if (!mainView_.SetGainRange(bottom, top)) return false;
  BuildGainLabels(gainLabels_, bottom / 512.0, top / 512.0);
  return true;
}

bool WaveDisplay::UpdateMainView(int64_t from, int64_t to) {
  if (!WaveView::IsValidTimeRange(from, to)) return false;
  mainView_.Update(samples_, from, to, Brightness(), ColourMapIndex(), true);
  return true;
}

bool WaveDisplay::MoveMainView(int64_t from, int64_t to) {
  if (!UpdateMainView(from, to)) return false;
  DeriveZoomWindow();
  MarkDirty(true);
  return true;
}

void WaveDisplay::ClearCapturedData() {
  mainView_.Clear();
  overview_.Clear();
  samples_.Clear();
  MarkDirty(true);
}
