// ShapeLayerCache: keeps the overview's gain shapes from one paint to the next.
//
// The overview draws every segment of the session, so with a thousand of them
// their anti-aliased outlines and fills cost most of an editor frame, although
// from one frame to the next hardly any of them moves and only a column or two
// of the waveform beneath them changes. Every pixel that the shapes touch
// ends as a function of its value before them (the "under" pixel) and of the
// segments drawn over it, in their order. So the cache keeps, for the area
// around the overview, the pixels before the shapes and after them, plus the
// inputs of each segment's drawing (its points in overview pixels and its
// selection). At the next paint a column whose pixels beneath are unchanged,
// and that no changed segment touches, takes its finished pixels from the
// cache; the segments touching any other column are drawn again, in list
// order, over the fresh pixels. The picture is exactly the one a full drawing
// gives.
//
// Threads: GUI thread, inside the display's Render.
#pragma once

#include <cstdint>

#include "core/HeapBuffer.h"
#include "core/PixelRect.h"

class Graphics;

// What one segment's overview drawing depends on: its three points in
// overview pixels (start, control, end; level and mirrored images) and
// whether it is selected (its colour).
struct OverviewSegment {
  int32_t x[3] = {};
  int32_t yPos[3] = {};
  int32_t yNeg[3] = {};
  int32_t selected = 0;
  bool operator==(const OverviewSegment&) const = default;
};

class ShapeLayerCache {
 public:
  // How far the drawing of a segment may reach beyond the columns of its
  // points and beyond the view's rect: anti-aliased lines put their second
  // pixel one column or row further.
  static constexpr int kReach = 2;

  // A paint of the shapes over the view's rect goes in three steps: Begin
  // with the inputs of every segment (in list order) once the pixels beneath
  // are drawn; then draw, in list order, each segment for which MustDraw
  // answers true; then End. Without surface pixels, or when its buffers
  // cannot be had, every segment must be drawn.
  void Begin(Graphics& g, const PixelRect& viewRect, const OverviewSegment* segments, int count);
  // Counts the segments it answers true for.
  bool MustDraw(int index);
  void End(Graphics& g);
  // The next paint draws everything (also used by tests to compare).
  void Invalidate() { valid_ = false; }
  void SetEnabled(bool enabled) {
    enabled_ = enabled;
    valid_ = false;
  }
  // Segments drawn by the last paint (tests and benchmarks).
  int LastDrawn() const { return lastDrawn_; }

 private:
  bool Reserve(const PixelRect& area, int count);
  // The area columns that a segment's drawing can touch, clamped to the area
  // (first > last when none).
  void Columns(const OverviewSegment& segment, int* first, int* last) const;
  void Mark(const OverviewSegment& segment);

  // The current paint: off (draw all), a full drawing, or a partial one.
  enum class Mode { kAll, kFull, kPartial };
  Mode mode_ = Mode::kAll;
  const OverviewSegment* current_ = nullptr;

  bool enabled_ = true;
  bool valid_ = false;
  PixelRect area_;
  int count_ = 0;
  int lastDrawn_ = 0;
  HeapBuffer under_{4096};     // area pixels before the shapes, rows top to bottom
  HeapBuffer finished_{4096};  // area pixels after them
  HeapBuffer segments_{4096};  // OverviewSegment per segment, as last drawn (from Begin on: as now)
  // Per area column, the number of columns before it (and, last, in all) that
  // must be drawn again: a segment must be drawn when its columns hold any.
  HeapBuffer marks_{4096};
};
