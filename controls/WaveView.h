// WaveView: one of the waveform display's two views (the main view and the
// overview). It maps sample positions and gains to editor pixels and back,
// keeps per-column statistics of the stored samples it shows, and paints them
// into its own image with one of four colour maps scaled by a brightness.
//
// Every change of the time range or the gain range goes through SetTimeRange
// or SetGainRange, which refuse an empty or inverted range (and a time range
// outside what the store can hold); a refused change leaves the view as it was.
//
// Threads: GUI thread.
#pragma once

#include <cstdint>

#include "controls/LabelList.h"
#include "core/HeapBuffer.h"
#include "core/PixelRect.h"

class Graphics;
class SampleStore;

// Statistics of one pixel column, in pixels: how far the values reach below
// and above zero, and their standard deviation. All 0 without values.
struct ColumnStats {
  int below = 0;
  int above = 0;
  int spread = 0;
};

struct RgbColor {
  int red = 0;
  int green = 0;
  int blue = 0;
};

// A colour map: C at the zero line, B one spread away, A two spreads and beyond.
struct ColourMap {
  const char* name;
  RgbColor a;
  RgbColor b;
  RgbColor c;
};
constexpr int kColourMapCount = 4;
extern const ColourMap kColourMaps[kColourMapCount];

class WaveView {
 public:
  // gainRange: the view shows -gainRange .. +gainRange (linear) at first.
  WaveView(int64_t start, int64_t end, double gainRange, const PixelRect& rect, int sampleRate);
  WaveView(const WaveView&) = delete;
  WaveView& operator=(const WaveView&) = delete;

  // False when the image or the column table could not be allocated; such a
  // view maps coordinates but paints nothing.
  bool HasImage() const { return image_.Data() && stats_.Data(); }

  // ---- Coordinate mappings (results truncate toward zero) ----
  int SampleToX(int64_t sample) const;
  int64_t XToSample(int x) const;
  int GainToY(int gainUnits) const;
  int YToGain(int y) const;
  void ToPixel(int64_t sample, double gain, int* x, int* y) const;
  void FromPixel(int x, int y, int64_t* sample, double* gain) const;

  // ---- Ranges ----
  static bool IsValidTimeRange(int64_t from, int64_t to);
  static bool IsValidGainRange(int bottom, int top);
  // Gain range in 1/512 units; recomputes the scale and zero y. Returns false
  // (and changes nothing) for a range the check refuses.
  bool SetGainRange(int bottom, int top);
  // Moves the view to [from, to) and rebuilds its time labels; false (nothing
  // changed) for a refused range. Columns are not recomputed here: Update does that.
  bool SetTimeRange(int64_t from, int64_t to);

  // Recomputes the column statistics of [from, to) from the store and repaints
  // those columns. With reposition the view first moves to [from, to) and
  // recomputes all of it. Returns whether the view moved.
  bool Update(const SampleStore& store, int64_t from, int64_t to, double brightness, int colourMap,
              bool reposition);
  // Repaints columns [c0, c1) from their statistics.
  void PaintColumns(int c0, int c1, double brightness, int colourMap);
  // Zeroes the statistics and the image.
  void Clear();
  // Copies the image into the surface at the view's rect, opaque.
  void CopyOut(Graphics& graphics) const;
  // The frame around the view, the time grid and the time labels in a row
  // above the view (main view) or below it (overview).
  void DrawFrameAndTimeLabels(Graphics& graphics, bool labelsAbove) const;

  // ---- Fields ----
  int SampleRate() const { return sampleRate_; }
  int64_t Start() const { return start_; }
  int64_t End() const { return end_; }
  int GainBottom() const { return gainBottom_; }
  int GainTop() const { return gainTop_; }
  const PixelRect& Rect() const { return rect_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int ZeroY() const { return zeroY_; }
  double PixelsPerSample() const { return pixelsPerSample_; }
  double PixelsPerGainUnit() const { return pixelsPerGainUnit_; }
  const LabelList& TimeLabels() const { return timeLabels_; }
  int LoadedColourMap() const { return colourMapIndex_; }
  const ColumnStats* Stats() const { return reinterpret_cast<const ColumnStats*>(stats_.Data()); }
  // Image rows top to bottom, Width() pixels each (0xAARRGGBB).
  const uint32_t* Image() const { return reinterpret_cast<const uint32_t*>(image_.Data()); }
  // The image row of gain 0.
  int ZeroRow() const;

 private:
  void ComputeColumns(const SampleStore& store, int c0, int c1);
  void LoadColourMap(int index);
  void PaintColumn(int column, int brightnessWeight, uint32_t solid, bool tails);

  int sampleRate_;
  int64_t start_;
  int64_t end_;
  int16_t gainBottom_;
  int16_t gainTop_;
  RgbColor colourA_;
  RgbColor colourB_;
  RgbColor colourC_;
  int colourMapIndex_ = -1;
  HeapBuffer stats_{4096};
  HeapBuffer image_{4096};
  PixelRect rect_;
  int width_;
  int height_;
  int zeroY_;
  double pixelsPerSample_;
  double pixelsPerGainUnit_;
  LabelList timeLabels_;
  FontSpec timeLabelStyle_;
};

// Colours of the display's frames and axes.
constexpr ArgbColor kFrameColour{255, 127, 127, 127};
constexpr ArgbColor kGridColour{63, 63, 63, 63};
