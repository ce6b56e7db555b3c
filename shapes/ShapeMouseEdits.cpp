// The edit operations that the display's mouse handling calls on its edit
// store: hover hit test, press (select, deselect, create, paste) and drag.
// They work in the main view's pixels through the view's mapping and the
// screen positions that the last draw cached in each point.
//
// GUI thread, on the display's edit store, without a lock: the display
// commits the store into the engine store after every change.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "controls/WaveView.h"
#include "shapes/ShapeStore.h"

namespace {

constexpr int kPointReachX = 6;
constexpr int kPointReachNeg = 6;
constexpr int kPointReachPos = 5;
constexpr int kBodyReach = 12;
constexpr int kNewSegmentHalfWidth = 32;  // pixels each side of the click
constexpr int kNewControlOffset = 16;     // pixels further from the centre line than the click
constexpr double kLevelHeadroom = 0.01;   // levels stop this fraction of the range below the top

bool AnyHit(const ShapeSegment& s) { return s.start.hit || s.control.hit || s.end.hit; }

// Every segment's points in order and no segment reaching into the next.
bool Ordered(const ShapeStore& store) {
  int64_t previousEnd = INT64_MIN;
  for (int i = 0; i < store.Count(); ++i) {
    const ShapeSegment& s = *store.At(i);
    if (s.start.pos < previousEnd || s.control.pos < s.start.pos || s.end.pos < s.control.pos) return false;
    previousEnd = s.end.pos;
  }
  return true;
}

int32_t ToPosition(int64_t sample) { return static_cast<int32_t>(std::clamp<int64_t>(sample, 0, INT32_MAX)); }

// A point of a new segment from a pixel of the view.
void MapPoint(const WaveView& view, int x, int y, ShapePoint& point) {
  int64_t sample = 0;
  double gain = 0.0;
  view.FromPixel(x, y, &sample, &gain);
  point.pos = ToPosition(sample);
  point.level = gain;
}

}  // namespace

void ShapeStore::HitTestShapes(int x, int y) {
  const int count = Count();
  bool anyHit = false;
  for (int i = 0; i < count; ++i) {
    ShapeSegment& segment = *At(i);
    for (ShapePoint* p : {&segment.start, &segment.control, &segment.end}) {
      // A segment the last draw did not show cannot be under the pointer.
      p->hit = segment.visible && std::abs(p->x - x) <= kPointReachX &&
               ((p->negShown && std::abs(p->yNeg - y) <= kPointReachNeg) ||
                (p->posShown && std::abs(p->yPos - y) <= kPointReachPos));
      anyHit = anyHit || p->hit;
    }
  }
  if (anyHit) return;
  // No point under the pointer: the body of a segment makes all of it move.
  for (int i = 0; i < count; ++i) {
    ShapeSegment& s = *At(i);
    if (!s.visible || x < s.start.x || x > s.end.x) continue;
    const int negTop = std::min({s.start.yNeg, s.control.yNeg, s.end.yNeg}) - kBodyReach;
    const int negBottom = std::max({s.start.yNeg, s.control.yNeg, s.end.yNeg}) + kBodyReach;
    const int posTop = std::min({s.start.yPos, s.control.yPos, s.end.yPos}) - kBodyReach;
    const int posBottom = std::max({s.start.yPos, s.control.yPos, s.end.yPos}) + kBodyReach;
    if ((y >= negTop && y <= negBottom) || (y >= posTop && y <= posBottom)) {
      s.start.hit = s.control.hit = s.end.hit = 1;
      return;
    }
  }
}

bool ShapeStore::ClickShapes(const WaveView& view, int x, int y, bool isFlipped) {
  flipped = isFlipped ? 1 : 0;
  const int count = Count();

  if (copySource >= 0) {
    const ShapeSegment* source = At(copySource);
    copySource = -1;
    if (!source) return true;
    if (ShapeSegment* selected = At(FirstSelected())) selected->selected = 0;
    const int64_t length = static_cast<int64_t>(source->end.pos) - source->start.pos;
    int64_t position = view.XToSample(x);
    const int index = FindPasteSlot(position, length);
    // A copy that would run past the end of the timeline is not made.
    if (position < 0 || position + length > INT32_MAX) return true;
    ShapeSegment* copy = new (std::nothrow) ShapeSegment(*source);
    if (!copy) return true;
    const int64_t shift = position - source->start.pos;
    for (ShapePoint* p : {&copy->start, &copy->control, &copy->end}) {
      p->pos = static_cast<int32_t>(p->pos + shift);
      p->hit = 0;
    }
    copy->selected = 1;
    InsertSegment(index, copy);
    return true;
  }

  bool selectedBefore = false;
  bool selectedNow = false;
  for (int i = 0; i < count; ++i) {
    ShapeSegment& segment = *At(i);
    selectedBefore = selectedBefore || segment.selected;
    segment.selected = AnyHit(segment) ? 1 : 0;
    selectedNow = selectedNow || segment.selected;
  }
  if (selectedNow) return true;
  // The click only took the selection away.
  if (selectedBefore) return false;
  return CreateSegmentAt(view, x, y);
}

bool ShapeStore::CreateSegmentAt(const WaveView& view, int x, int y) {
  const int64_t c = view.XToSample(x);
  const int index = CountStartingAtOrBefore(c + 1);
  const ShapeSegment* previous = At(index - 1);
  const ShapeSegment* next = At(index);
  // On or right next to the segment before.
  if (previous && previous->end.pos >= c - 1) return false;
  const int zeroY = view.ZeroY();
  if (y == zeroY) return false;
  const bool below = y > zeroY;
  const int controlY = below ? y + kNewControlOffset : y - kNewControlOffset;
  const PixelRect& rect = view.Rect();

  ShapeSegment* segment = new (std::nothrow) ShapeSegment;
  if (!segment) return false;
  MapPoint(view, std::max(rect.left, x - kNewSegmentHalfWidth), y, segment->start);
  MapPoint(view, x, std::max(rect.top, controlY), segment->control);
  MapPoint(view, std::min(rect.right, x + kNewSegmentHalfWidth), y, segment->end);
  for (ShapePoint* p : {&segment->start, &segment->control, &segment->end}) {
    // The mirrored image gives negative levels; 0.0 - level also turns -0 into 0.
    if (below) p->level = 0.0 - p->level;
    p->level = std::max(p->level, 0.0);
  }
  if (previous) {
    segment->start.pos = std::max(segment->start.pos, previous->end.pos);
    segment->follow = previous->follow;
    segment->clip = previous->clip;
    segment->blend = previous->blend;
  }
  if (next) segment->end.pos = std::min(segment->end.pos, next->start.pos);
  // At the view's edges both ends can map to the click's own sample: keep the
  // control point strictly inside (the neighbours leave room for one sample each side).
  // Positions run from 0 to INT32_MAX, so the control point stays one sample
  // inside them too.
  segment->control.pos = std::clamp(segment->control.pos, 1, INT32_MAX - 1);
  segment->start.pos = std::min(segment->start.pos, segment->control.pos - 1);
  segment->end.pos = std::max(segment->end.pos, segment->control.pos + 1);
  // Squeezed against a neighbour (the pixel's sample falls inside it, or the
  // view shows the start or end of the timeline): nothing is created, as on
  // the neighbour itself.
  if ((previous && segment->start.pos < previous->end.pos) || (next && segment->end.pos > next->start.pos)) {
    delete segment;
    return false;
  }
  return InsertSegment(index, segment) != nullptr;
}

bool ShapeStore::DragHitPoints(const WaveView& view, int x, int y, int dx, int dy, const PointerState& mods) {
  if (mods.shift) dy = 0;
  if (mods.control) dx = 0;
  int64_t fromPos = 0, toPos = 0;
  double fromLevel = 0.0, toLevel = 0.0;
  view.FromPixel(x - dx, y - dy, &fromPos, &fromLevel);
  view.FromPixel(x, y, &toPos, &toLevel);
  int64_t dPos = toPos - fromPos;
  double dLevel = toLevel - fromLevel;

  double low = view.GainBottom() / 512.0;
  double high = view.GainTop() / 512.0;
  if (flipped) {
    // The mirrored image moves the other way.
    dLevel = -dLevel;
    const double mirroredLow = -high;
    high = -low;
    low = mirroredLow;
  }
  low = std::max(low, 0.0);
  high -= kLevelHeadroom * (high - low);
  // A view showing no positive levels of this image leaves the levels alone.
  const bool levelsMove = high >= low;
  if (!levelsMove) dLevel = 0.0;

  // The points of several segments can be under the pointer at once (tiny
  // segments in a wide view). They share one move, which each segment in turn
  // may cut shorter than an earlier one already went: a step that would leave
  // segments reaching into each other is taken back whole.
  const int count = Count();
  std::vector<std::pair<int, std::array<ShapePoint, 3>>> before;
  for (int i = 0; i < count; ++i) {
    const ShapeSegment& s = *At(i);
    if (AnyHit(s)) before.push_back({i, {s.start, s.control, s.end}});
  }
  const bool orderedBefore = before.size() > 1 && Ordered(*this);

  bool anyHit = false;
  for (int i = 0; i < count; ++i) {
    ShapeSegment& s = *At(i);
    if (!AnyHit(s)) continue;
    anyHit = true;
    int64_t lo = view.Start();
    // A view can reach past the timeline's last position (INT32_MAX): points
    // stop there, so a segment moved whole keeps its shape.
    int64_t hi = std::min<int64_t>(view.End(), int64_t{INT32_MAX} + 1);
    if (const ShapeSegment* previous = At(i - 1)) {
      lo = std::max<int64_t>(lo, previous->end.hit ? previous->control.pos : previous->end.pos);
    }
    if (const ShapeSegment* next = At(i + 1)) {
      hi = std::min<int64_t>(hi, next->start.hit ? next->control.pos : next->start.pos);
    }
    double lowestLevel = std::numeric_limits<double>::infinity();
    for (const ShapePoint* p : {&s.start, &s.control, &s.end}) {
      if (!p->hit) continue;
      dPos = std::max(dPos, lo - p->pos);
      if (dPos >= hi - p->pos - 1) dPos = hi - p->pos - 1;
      if (levelsMove) {
        dLevel = std::max(dLevel, low - p->level);
        if (dLevel >= high - p->level) dLevel = high - p->level;
        lowestLevel = std::min(lowestLevel, p->level);
      }
    }
    // A point above the view's highest level pulls the others down with it,
    // but none of them below level 0.
    if (levelsMove) dLevel = std::max(dLevel, -lowestLevel);
    // An end point grabbed with the control point moves with it, so the
    // control point's stop one sample inside the other end holds for both:
    // otherwise the pair would carry the end past the segment's other end.
    if (s.start.hit && s.control.hit && !s.end.hit) dPos = std::min<int64_t>(dPos, int64_t{s.end.pos} - 1 - s.control.pos);
    if (s.end.hit && s.control.hit && !s.start.hit) dPos = std::max<int64_t>(dPos, int64_t{s.start.pos} + 1 - s.control.pos);
    // The sample kept free before the next segment cannot be had when this
    // one already touches it: the move then stops rather than pushing the
    // segment back over the previous one (which has already moved).
    for (const ShapePoint* p : {&s.start, &s.control, &s.end}) {
      if (!p->hit) continue;
      if (const ShapeSegment* previous = At(i - 1)) dPos = std::max<int64_t>(dPos, previous->end.pos - p->pos);
      if (const ShapeSegment* next = At(i + 1); next && !next->start.hit)
        dPos = std::min<int64_t>(dPos, next->start.pos - p->pos);
    }
    if (s.start.hit) {
      s.start.pos = ToPosition(s.start.pos + dPos);
      if (!s.control.hit) s.start.pos = std::min(s.start.pos, s.control.pos);
      s.start.level += dLevel;
    }
    if (s.end.hit) {
      s.end.pos = ToPosition(s.end.pos + dPos);
      if (!s.control.hit) s.end.pos = std::max(s.end.pos, s.control.pos);
      s.end.level += dLevel;
    }
    if (s.control.hit) {
      s.control.pos = ToPosition(s.control.pos + dPos);
      // In 64 bits: a restored segment may have all its points at 0 or INT32_MAX.
      if (!s.start.hit) s.control.pos = ToPosition(std::max<int64_t>(s.control.pos, int64_t{s.start.pos} + 1));
      if (!s.end.hit) s.control.pos = ToPosition(std::min<int64_t>(s.control.pos, int64_t{s.end.pos} - 1));
      // A segment too short to hold it strictly inside still holds it.
      if (!s.start.hit && !s.end.hit) s.control.pos = std::clamp(s.control.pos, s.start.pos, std::max(s.start.pos, s.end.pos));
      s.control.level += dLevel;
    }
  }
  if (orderedBefore && !Ordered(*this)) {
    for (const auto& [i, points] : before) {
      ShapeSegment& s = *At(i);
      s.start = points[0];
      s.control = points[1];
      s.end = points[2];
    }
  }
  return anyHit;
}
