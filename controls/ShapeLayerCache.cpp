#include "controls/ShapeLayerCache.h"

#include <algorithm>
#include <cstring>

#include "graphics/Graphics.h"

bool ShapeLayerCache::Reserve(const PixelRect& area, int count) {
  const size_t pixels = static_cast<size_t>(area.Width()) * static_cast<size_t>(area.Height()) * sizeof(uint32_t);
  return under_.Resize(pixels) && finished_.Resize(pixels) &&
         marks_.Resize((static_cast<size_t>(area.Width()) + 1) * sizeof(int32_t)) &&
         segments_.Resize(static_cast<size_t>(count) * sizeof(OverviewSegment));
}

void ShapeLayerCache::Columns(const OverviewSegment& segment, int* first, int* last) const {
  const int64_t low = std::min({segment.x[0], segment.x[1], segment.x[2]});
  const int64_t high = std::max({segment.x[0], segment.x[1], segment.x[2]});
  // A steep line's first pixel can fall one column short of its point after
  // clipping rounds it, and its second pixel lies one column beyond.
  const int64_t from = std::max<int64_t>(low - 1 - area_.left, 0);
  const int64_t to = std::min<int64_t>(high + kReach - area_.left, area_.Width() - 1);
  *first = static_cast<int>(std::min<int64_t>(from, area_.Width()));
  *last = static_cast<int>(std::max<int64_t>(to, -1));
}

void ShapeLayerCache::Mark(const OverviewSegment& segment) {
  int first = 0;
  int last = 0;
  Columns(segment, &first, &last);
  auto* marks = reinterpret_cast<int32_t*>(marks_.Data());
  for (int c = first; c <= last; ++c) marks[c] = 1;
}

void ShapeLayerCache::Begin(Graphics& g, const PixelRect& viewRect, const OverviewSegment* segments, int count) {
  mode_ = Mode::kAll;
  lastDrawn_ = 0;
  uint32_t* pixels = g.SurfacePixels();
  const int stride = g.Width();
  const PixelRect area{std::max(viewRect.left - kReach, 0), std::max(viewRect.top - kReach, 0),
                       std::min(viewRect.right + kReach, g.Width()), std::min(viewRect.bottom + kReach, g.Height())};
  if (!enabled_ || !pixels || area.Width() <= 0 || area.Height() <= 0 || count < 0 || (count > 0 && !segments) ||
      !Reserve(area, count)) {
    valid_ = false;
    return;
  }
  const bool reuse = valid_ && area == area_ && count == count_;
  valid_ = false;  // until End has the finished pixels
  area_ = area;
  count_ = count;
  const int width = area.Width();
  auto* under = reinterpret_cast<uint32_t*>(under_.Data());
  auto* marks = reinterpret_cast<int32_t*>(marks_.Data());
  auto* known = reinterpret_cast<OverviewSegment*>(segments_.Data());
  mode_ = reuse ? Mode::kPartial : Mode::kFull;
  if (mode_ == Mode::kFull) {
    for (int row = 0; row < area.Height(); ++row) {
      std::memcpy(under + static_cast<size_t>(row) * width,
                  pixels + static_cast<size_t>(area.top + row) * stride + area.left, width * sizeof(uint32_t));
    }
  } else {
    // A column is drawn again where the pixels beneath changed ...
    std::fill(marks, marks + width + 1, 0);
    for (int row = 0; row < area.Height(); ++row) {
      const uint32_t* now = pixels + static_cast<size_t>(area.top + row) * stride + area.left;
      uint32_t* before = under + static_cast<size_t>(row) * width;
      for (int c = 0; c < width; ++c) {
        if (before[c] != now[c]) {
          before[c] = now[c];
          marks[c] = 1;
        }
      }
    }
    // ... and where a segment that changed lay or lies now.
    for (int i = 0; i < count; ++i) {
      if (known[i] == segments[i]) continue;
      Mark(known[i]);
      Mark(segments[i]);
    }
    // Running counts: columns a..b hold a marked one when marks[b + 1] > marks[a].
    int32_t sum = 0;
    for (int c = 0; c <= width; ++c) {
      const int32_t flag = c < width ? marks[c] : 0;
      marks[c] = sum;
      sum += flag;
    }
  }
  if (count > 0) std::memcpy(known, segments, static_cast<size_t>(count) * sizeof(OverviewSegment));
}

bool ShapeLayerCache::MustDraw(int index) {
  bool draw = mode_ != Mode::kPartial;
  if (!draw && index >= 0 && index < count_) {
    int first = 0;
    int last = 0;
    Columns(reinterpret_cast<const OverviewSegment*>(segments_.Data())[index], &first, &last);
    const auto* marks = reinterpret_cast<const int32_t*>(marks_.Data());
    draw = first <= last && marks[last + 1] > marks[first];
  }
  if (draw) ++lastDrawn_;
  return draw;
}

void ShapeLayerCache::End(Graphics& g) {
  if (mode_ == Mode::kAll) return;
  uint32_t* pixels = g.SurfacePixels();
  if (!pixels) {
    mode_ = Mode::kAll;
    return;
  }
  const int stride = g.Width();
  const int width = area_.Width();
  auto* finished = reinterpret_cast<uint32_t*>(finished_.Data());
  const auto* marks = reinterpret_cast<const int32_t*>(marks_.Data());
  for (int row = 0; row < area_.Height(); ++row) {
    uint32_t* surface = pixels + static_cast<size_t>(area_.top + row) * stride + area_.left;
    uint32_t* done = finished + static_cast<size_t>(row) * width;
    if (mode_ == Mode::kFull) {
      std::memcpy(done, surface, width * sizeof(uint32_t));
      continue;
    }
    // Columns drawn again keep what was drawn; the others take the last paint's.
    for (int c = 0; c < width; ++c) {
      if (marks[c + 1] > marks[c]) {
        done[c] = surface[c];
      } else {
        surface[c] = done[c];
      }
    }
  }
  mode_ = Mode::kAll;
  valid_ = true;
}
