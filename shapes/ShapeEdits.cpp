// The edit operations of the edit store that need no view: selection,
// settings, delete, copy and paste placement, loop copy.
//
// GUI thread, on the display's edit store, without a lock: the display commits
// the store into the engine store after every change.
#include <algorithm>
#include <cstdint>
#include <new>

#include "shapes/ShapeStore.h"

int ShapeStore::FirstSelected() const {
  const int count = Count();
  for (int i = 0; i < count; ++i) {
    if (At(i)->selected) return i;
  }
  return -1;
}

void ShapeStore::SelectPrevious() {
  const int count = Count();
  const int i = FirstSelected();
  if (count < 2 || i < 0) return;
  At(i)->selected = 0;
  At(i == 0 ? count - 1 : i - 1)->selected = 1;
}

void ShapeStore::SelectNext() {
  const int count = Count();
  const int i = FirstSelected();
  if (count < 2 || i < 0) return;
  At(i)->selected = 0;
  At(i == count - 1 ? 0 : i + 1)->selected = 1;
}

bool ShapeStore::GetSelectedSettings(SegmentSettings* settings) const {
  const ShapeSegment* segment = At(FirstSelected());
  if (!segment) return false;
  if (settings) {
    settings->controlPos = segment->control.pos;
    settings->bypass = segment->bypass != 0;
    settings->mute = segment->mute != 0;
    settings->follow = segment->follow;
    settings->clip = segment->clip;
    settings->blend = segment->blend;
  }
  return true;
}

bool ShapeStore::SetSelectedSettings(bool bypass, bool mute, double follow, double clip, double blend) {
  ShapeSegment* segment = At(FirstSelected());
  if (!segment) return false;
  // std::clamp keeps a NaN; the comparisons below turn it into the lower bound.
  auto unit = [](double v) { return v > 0.0 ? (v < 1.0 ? v : 1.0) : 0.0; };
  segment->bypass = bypass ? 1 : 0;
  segment->mute = mute ? 1 : 0;
  segment->follow = unit(follow);
  segment->clip = unit(clip);
  segment->blend = unit(blend);
  return true;
}

bool ShapeStore::DeleteSelected() { return RemoveSegment(FirstSelected()); }

bool ShapeStore::MarkCopySource() {
  const int i = FirstSelected();
  if (i < 0) return false;
  copySource = i;
  return true;
}

int ShapeStore::FindPasteSlot(int64_t& position, int64_t length) const {
  const int count = Count();
  const int i = CountStartingAtOrBefore(position);
  int64_t previousEnd = i > 0 ? At(i - 1)->end.pos : 0;
  if (i == count) {
    position = std::max(position, previousEnd);
    return count;
  }
  for (int r = i; r < count; ++r) {
    position = std::max(position, previousEnd);
    if (At(r)->start.pos - position > length + 1) return r;
    previousEnd = At(r)->end.pos;
  }
  position = std::max(position, static_cast<int64_t>(At(count - 1)->end.pos));
  return count;
}

bool ShapeStore::CopyLoopShapes(int64_t loopStart, int64_t loopEnd) {
  const int64_t length = loopEnd - loopStart;
  if (length < 1) return false;
  // The loop's content: segments starting at or after its start and lying wholly before its end.
  const int first = CountStartingAtOrBefore(loopStart - 1);
  const int last = CountWhollyBefore(loopEnd);
  if (first >= last) return false;

  // The first later period that no segment overlaps; copies never overlap anything.
  auto overlapped = [this](int64_t from, int64_t to) {
    for (int k = 0; k < Count(); ++k) {
      const ShapeSegment* s = At(k);
      if (s->start.pos >= to) break;
      if (s->end.pos > from) return true;
    }
    return false;
  };
  int64_t offset = length;
  while (overlapped(loopStart + offset, loopEnd + offset)) {
    offset += length;
    if (loopEnd + offset > INT32_MAX) return false;
  }
  if (loopEnd + offset > INT32_MAX) return false;

  // The copies lie in start order inside the free period; each goes where the
  // list stays ordered by start.
  for (int k = first; k < last; ++k) {
    ShapeSegment* copy = new (std::nothrow) ShapeSegment(*At(k));
    if (!copy) return k > first;
    for (ShapePoint* point : {&copy->start, &copy->control, &copy->end}) {
      point->pos = static_cast<int32_t>(point->pos + offset);
      point->hit = 0;
    }
    copy->selected = 0;
    const int at = CountStartingAtOrBefore(copy->start.pos);
    // Every copy starts at or after the loop's end, so it goes in after the
    // whole content and the content's indexes stay put.
    if (!InsertSegment(at, copy)) return k > first;
  }
  return true;
}
