#include "controls/WaveView.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "controls/DisplayMath.h"
#include "controls/SampleStore.h"
#include "graphics/Graphics.h"

const ColourMap kColourMaps[kColourMapCount] = {
    {"pompeii", {255, 94, 0}, {255, 231, 10}, {255, 255, 240}},
    {"thermal", {0, 0, 255}, {255, 0, 0}, {255, 255, 0}},
    {"chlorine", {0, 0, 128}, {0, 255, 0}, {255, 255, 255}},
    {"brrr", {95, 0, 255}, {18, 227, 255}, {255, 255, 255}},
};

namespace {

// Views reach a little past the newest data; nothing lies beyond twice what
// the store can hold.
constexpr int64_t kViewPositionLimit = 2 * SampleStore::kPositionLimit;

inline int Cap(int64_t channel) { return channel > 255 ? 255 : static_cast<int>(channel); }

inline uint32_t Opaque(int64_t red, int64_t green, int64_t blue) {
  return 0xFF000000u | (static_cast<uint32_t>(Cap(red)) << 16) | (static_cast<uint32_t>(Cap(green)) << 8) |
         static_cast<uint32_t>(Cap(blue));
}

// Step i of s from P toward Q, scaled by the brightness weight b (512 = 1.0).
inline uint32_t Lerp(const RgbColor& p, const RgbColor& q, int i, int s, int b) {
  const int64_t den = static_cast<int64_t>(s) * 512;
  auto channel = [&](int pc, int qc) {
    return static_cast<int64_t>(b) * (static_cast<int64_t>(pc) * (s - i) + static_cast<int64_t>(qc) * i) / den;
  };
  return Opaque(channel(p.red, q.red), channel(p.green, q.green), channel(p.blue, q.blue));
}

}  // namespace

WaveView::WaveView(int64_t start, int64_t end, double gainRange, const PixelRect& rect, int sampleRate)
    : sampleRate_(sampleRate),
      start_(start),
      end_(end),
      gainBottom_(SaturateShort(TruncToInt64(-512.0 * gainRange))),
      gainTop_(SaturateShort(TruncToInt64(512.0 * gainRange))),
      rect_(rect),
      width_(rect.right - rect.left),
      height_(rect.bottom - rect.top),
      zeroY_(TruncToInt(static_cast<float>(rect.top + rect.bottom) * 0.5f)),
      pixelsPerSample_(static_cast<double>(width_) / static_cast<double>(end - start)),
      pixelsPerGainUnit_(height_ / (gainRange * 1024.0)) {
  BuildTimeLabels(timeLabels_, start_, end_, sampleRate_);
  timeLabelStyle_.color = kFrameColour;
  timeLabelStyle_.alignment = 1;
  size_t pixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  if (!image_.Resize(pixels * sizeof(uint32_t)) || !stats_.Resize(static_cast<size_t>(width_) * sizeof(ColumnStats))) {
    image_.Release();
    stats_.Release();
  }
  Clear();
}

// ---- Coordinate mappings ----

int WaveView::SampleToX(int64_t sample) const {
  return TruncToInt(static_cast<double>(sample - start_) * pixelsPerSample_) + rect_.left;
}

int64_t WaveView::XToSample(int x) const {
  return TruncToInt64((x - rect_.left) / pixelsPerSample_) + start_;
}

int WaveView::GainToY(int gainUnits) const {
  return zeroY_ - TruncToInt(SaturateShort(gainUnits) * pixelsPerGainUnit_);
}

int WaveView::YToGain(int y) const { return TruncToInt((zeroY_ - y) / pixelsPerGainUnit_); }

void WaveView::ToPixel(int64_t sample, double gain, int* x, int* y) const {
  *x = SampleToX(sample);
  *y = GainToY(SaturateShort(TruncToInt64(gain * 512.0)));
}

void WaveView::FromPixel(int x, int y, int64_t* sample, double* gain) const {
  *sample = XToSample(x);
  *gain = SaturateShort(YToGain(y)) / 512.0;
}

// ---- Ranges ----

bool WaveView::IsValidTimeRange(int64_t from, int64_t to) {
  return from >= 0 && to > from && to <= kViewPositionLimit;
}

bool WaveView::IsValidGainRange(int bottom, int top) { return bottom >= -32768 && top <= 32767 && bottom < top; }

bool WaveView::SetGainRange(int bottom, int top) {
  if (!IsValidGainRange(bottom, top)) return false;
  gainBottom_ = static_cast<int16_t>(bottom);
  gainTop_ = static_cast<int16_t>(top);
  pixelsPerGainUnit_ = static_cast<double>(rect_.bottom - rect_.top) / (top - bottom);
  zeroY_ = rect_.top + TruncToInt(top * pixelsPerGainUnit_);
  return true;
}

bool WaveView::SetTimeRange(int64_t from, int64_t to) {
  if (!IsValidTimeRange(from, to)) return false;
  start_ = from;
  end_ = to;
  pixelsPerSample_ = static_cast<double>(width_) / static_cast<double>(to - from);
  BuildTimeLabels(timeLabels_, start_, end_, sampleRate_);
  return true;
}

// ---- Column statistics ----

bool WaveView::Update(const SampleStore& store, int64_t from, int64_t to, double brightness, int colourMap,
                      bool reposition) {
  bool moved = false;
  if (reposition && (from != start_ || to != end_)) {
    if (!SetTimeRange(from, to)) return false;
    moved = true;
  } else if (!reposition) {
    if (from > end_ || to <= start_) return false;
  }
  if (from < start_) from = start_;
  if (to > end_) to = end_;
  int c0 = TruncToInt(static_cast<double>(from - start_) * pixelsPerSample_);
  // A range that reaches the view's end reaches its last column, whatever the rounding.
  int c1 = to >= end_ ? width_ : TruncToInt(static_cast<double>(to - start_) * pixelsPerSample_);
  if (c0 < 0) c0 = 0;
  if (c1 > width_) c1 = width_;
  if (c0 < c1 && HasImage()) {
    ComputeColumns(store, c0, c1);
    PaintColumns(c0, c1, brightness, colourMap);
  }
  return moved;
}

void WaveView::ComputeColumns(const SampleStore& store, int c0, int c1) {
  auto* stats = reinterpret_cast<ColumnStats*>(stats_.Data());
  int64_t l = start_ + TruncToInt64(c0 / pixelsPerSample_);
  for (int c = c0; c < c1; ++c) {
    int64_t m = start_ + TruncToInt64((c + 1) / pixelsPerSample_);
    ColumnSums sums;
    store.Accumulate(l, m, pixelsPerGainUnit_, sums);
    ColumnStats& column = stats[c];
    if (sums.count > 0) {
      int min = sums.min < height_ ? sums.min : height_;
      int max = sums.max > -height_ ? sums.max : -height_;
      double n = static_cast<double>(sums.count);
      double mean = static_cast<double>(sums.sum) / n;
      double variance = static_cast<double>(sums.sumSquares) / n - mean * mean;
      column.below = -min;
      column.above = max;
      column.spread = TruncToInt(std::sqrt(variance > 0.0 ? variance : 0.0));
    } else {
      column = ColumnStats{};
    }
    l = m;
  }
}

// ---- Column painting ----

int WaveView::ZeroRow() const { return TruncToInt(gainTop_ * pixelsPerGainUnit_ + 1.0); }

void WaveView::LoadColourMap(int index) {
  colourMapIndex_ = index;
  if (index < 0 || index >= kColourMapCount) return;
  colourA_ = kColourMaps[index].a;
  colourB_ = kColourMaps[index].b;
  colourC_ = kColourMaps[index].c;
}

void WaveView::PaintColumns(int c0, int c1, double brightness, int colourMap) {
  if (!HasImage()) return;
  if (colourMap != colourMapIndex_) LoadColourMap(colourMap);
  const int b = TruncToInt(brightness * 512.0);
  const uint32_t solid = Opaque(static_cast<int64_t>(colourA_.red) * b / 512,
                                static_cast<int64_t>(colourA_.green) * b / 512,
                                static_cast<int64_t>(colourA_.blue) * b / 512);
  if (c0 < 0) c0 = 0;
  if (c1 > width_) c1 = width_;
  for (int c = c0; c < c1; ++c) {
    // Outline tails need both neighbours' statistics: not at the image's
    // edges, nor at the last column of this repaint.
    bool tails = c != 0 && c != c1 - 1 && c < width_ - 1;
    PaintColumn(c, b, solid, tails);
  }
}

// Rows are image rows; k counts rows below the zero row (negative above it).
void WaveView::PaintColumn(int c, int b, uint32_t solid, bool tails) {
  uint32_t* image = reinterpret_cast<uint32_t*>(image_.Data());
  const ColumnStats* stats = Stats();
  const int last = height_ - 1;
  const int z = ZeroRow();
  auto put = [&](int row, uint32_t colour) {
    if (row >= 0 && row <= last) image[static_cast<size_t>(row) * width_ + c] = colour;
  };
  auto clampRow = [&](int64_t row) { return static_cast<int>(row < 0 ? 0 : (row > last ? last : row)); };

  const int d = stats[c].below;
  const int u = stats[c].above;
  const int s = stats[c].spread;
  int out = clampRow(static_cast<int64_t>(z) + d);
  int dst = clampRow(static_cast<int64_t>(z) - u);

  // Beyond two spreads: the solid colour, out to the extremes.
  for (int row = out; row > z + 2 * static_cast<int64_t>(s); --row) put(row, solid);
  for (int row = dst; row < z - 2 * static_cast<int64_t>(s); ++row) put(row, solid);

  // Within two spreads: A toward B, then B toward C at the zero line. Each
  // strand runs i = 0 .. s-1 from its outer end; rows outside the image are
  // skipped without losing count of i.
  auto strand = [&](int64_t outerRow, int direction, const RgbColor& p, const RgbColor& q) {
    // row(i) = outerRow + direction * i
    int64_t lo = 0;
    int64_t hi = static_cast<int64_t>(s) - 1;
    if (direction < 0) {
      lo = std::max<int64_t>(lo, outerRow - last);
      hi = std::min<int64_t>(hi, outerRow);
    } else {
      lo = std::max<int64_t>(lo, -outerRow);
      hi = std::min<int64_t>(hi, last - outerRow);
    }
    for (int64_t i = lo; i <= hi; ++i) {
      put(static_cast<int>(outerRow + direction * i), Lerp(p, q, static_cast<int>(i), s, b));
    }
  };
  if (s > 0) {
    strand(static_cast<int64_t>(z) + 2 * static_cast<int64_t>(s), -1, colourA_, colourB_);
    strand(static_cast<int64_t>(z) + s, -1, colourB_, colourC_);
    strand(static_cast<int64_t>(z) - 2 * static_cast<int64_t>(s), 1, colourA_, colourB_);
    strand(static_cast<int64_t>(z) - s, 1, colourB_, colourC_);
  }

  if (tails) {
    // A fading tail toward a neighbour that reaches further than both this
    // column and the other neighbour: outlines the steep edges. A tail of a
    // column whose values all lie on one side crosses the zero row, which
    // stays black like everywhere else.
    auto tailColour = [&](int64_t weight) {
      const int64_t den = 262144;
      return Opaque(colourA_.red * weight * b / den, colourA_.green * weight * b / den,
                    colourA_.blue * weight * b / den);
    };
    auto farExtent = [](int own, int previous, int next) {
      if (previous > own && previous > next) return previous;
      if (next > own && next > previous) return next;
      return own;
    };
    if (out != 0) {
      int far = farExtent(d, stats[c - 1].below, stats[c + 1].below);
      if (far > d) {
        int64_t step = 512 / (static_cast<int64_t>(far) - d + 1);
        // Row k carries weight (far - k + 1) * step: from the far end toward the column.
        int64_t kHigh = std::min<int64_t>(far, static_cast<int64_t>(last) - z);
        int64_t kLow = std::max<int64_t>(static_cast<int64_t>(d) + 1, -static_cast<int64_t>(z));
        for (int64_t k = kHigh; k >= kLow; --k) {
          if (k != 0) put(static_cast<int>(z + k), tailColour((far - k + 1) * step));
        }
        out = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(z) + far + 1, last + 1));
      } else {
        ++out;
      }
    }
    if (dst != last) {
      int far = farExtent(u, stats[c - 1].above, stats[c + 1].above);
      if (far > u) {
        int64_t step = 512 / (static_cast<int64_t>(far) - u + 1);
        int64_t kHigh = std::min<int64_t>(far, static_cast<int64_t>(z));
        int64_t kLow = std::max<int64_t>(static_cast<int64_t>(u) + 1, static_cast<int64_t>(z) - last);
        for (int64_t k = kHigh; k >= kLow; --k) {
          if (k != 0) put(static_cast<int>(z - k), tailColour((far - k + 1) * step));
        }
        dst = static_cast<int>(std::max<int64_t>(static_cast<int64_t>(z) - far - 1, -1));
      } else {
        --dst;
      }
    }
  }

  for (int row = out; row <= last; ++row) put(row, 0);
  for (int row = dst; row >= 0; --row) put(row, 0);
}

void WaveView::Clear() {
  if (image_.Data()) std::memset(image_.Data(), 0, image_.Size());
  if (stats_.Data()) std::memset(stats_.Data(), 0, stats_.Size());
}

void WaveView::CopyOut(Graphics& graphics) const {
  uint32_t* surface = graphics.SurfacePixels();
  if (!surface || !HasImage()) return;
  const int surfaceWidth = graphics.Width();
  const int surfaceHeight = graphics.Height();
  int x0 = rect_.left < 0 ? 0 : rect_.left;
  int x1 = rect_.right > surfaceWidth ? surfaceWidth : rect_.right;
  if (x0 >= x1) return;
  const uint32_t* image = Image();
  for (int row = 0; row < height_; ++row) {
    int y = rect_.top + row;
    if (y < 0 || y >= surfaceHeight) continue;
    const uint32_t* from = image + static_cast<size_t>(row) * width_ + (x0 - rect_.left);
    uint32_t* to = surface + static_cast<size_t>(y) * surfaceWidth + x0;
    // Cleared pixels are transparent black in the image; the window shows them opaque.
    for (int x = 0; x < x1 - x0; ++x) to[x] = from[x] | 0xFF000000u;
  }
}

void WaveView::DrawFrameAndTimeLabels(Graphics& g, bool labelsAbove) const {
  const int rowTop = labelsAbove ? rect_.top - 15 : rect_.bottom + 5;
  const int rowBottom = labelsAbove ? rect_.top - 5 : rect_.bottom + 15;
  g.StrokeRect(kFrameColour, rect_);
  FontSpec style = timeLabelStyle_;
  style.alignment = 0;
  g.PrintText(style, timeLabels_.LowText(), PixelRect{rect_.left, rowTop, rect_.left + 36, rowBottom});
  style.alignment = 2;
  g.PrintText(style, timeLabels_.HighText(), PixelRect{rect_.right - 36, rowTop, rect_.right, rowBottom});
  style.alignment = 1;
  for (int i = 0; i < timeLabels_.Count(); ++i) {
    float f = timeLabels_.Position(i);
    g.StrokeVLineAtFraction(kGridColour, rect_, f);
    int x = TruncToInt(width_ * static_cast<double>(f)) + rect_.left;
    const char* text = timeLabels_.Text(i);
    if (text[0]) g.PrintText(style, text, PixelRect{x - 18, rowTop, x + 18, rowBottom});
  }
}
