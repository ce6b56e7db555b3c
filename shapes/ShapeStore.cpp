#include "shapes/ShapeStore.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>

#include "shapes/ShapeKernel.h"

namespace {

// Largest level a restored point may keep: levels live below 64, where they
// still fit the display's signed 16-bit units of 1/512.
const double kMaxLevel = std::nextafter(64.0, 0.0);

double Unit(double value, double fallback) {
  if (!std::isfinite(value)) return fallback;
  return std::clamp(value, 0.0, 1.0);
}

double Level(double value) {
  if (!std::isfinite(value) || value < 0.0) return 0.0;
  return std::min(value, kMaxLevel);
}

// Makes a segment read from outside safe for the engine and the editor.
void Sanitise(ShapeSegment& segment) {
  const ShapeSegment defaults;
  segment.selected = 0;
  segment.follow = Unit(segment.follow, defaults.follow);
  segment.clip = Unit(segment.clip, defaults.clip);
  segment.blend = Unit(segment.blend, defaults.blend);
  if (segment.start.pos > segment.end.pos) std::swap(segment.start, segment.end);
  segment.control.pos = std::clamp(segment.control.pos, segment.start.pos, segment.end.pos);
  for (ShapePoint* point : {&segment.start, &segment.control, &segment.end}) {
    point->level = Level(point->level);
    point->hit = 0;
  }
}

int32_t ReadInt32(const uint8_t* in) {
  uint8_t bytes[4];
  std::memcpy(bytes, in, 4);
  return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                              static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

void DeleteItems(PtrList<ShapeSegment>& list) {
  for (int i = list.Count() - 1; i >= 0; --i) delete list.At(i);
  list.Clear();
}

}  // namespace

ShapeStore::ShapeStore() : wideVectors(shapekernel::AvxUsable()) {}

ShapeStore::~ShapeStore() { DeleteAll(); }

void ShapeStore::DeleteAll() {
  DeleteItems(segments_);
  ++listChanges_;
}

ShapeSegment* ShapeStore::InsertSegment(int index, ShapeSegment* segment) {
  if (!segment) return nullptr;
  const int count = Count();
  index = std::clamp(index, 0, count);
  if (!segments_.Insert(index, segment)) {
    delete segment;
    return nullptr;
  }
  if (copySource >= index) ++copySource;
  ++listChanges_;
  return segment;
}

bool ShapeStore::RemoveSegment(int index) {
  ShapeSegment* segment = At(index);
  if (!segment) return false;
  segments_.RemoveAt(index);
  delete segment;
  ++listChanges_;
  if (copySource == index) {
    copySource = -1;
  } else if (copySource > index) {
    --copySource;
  }
  return true;
}

int ShapeStore::CountStartingAtOrBefore(int64_t position) const {
  const int count = Count();
  ShapeSegment* const* items = segments_.Items();
  int n = 0;
  while (n < count && items[n]->start.pos <= position) ++n;
  return n;
}

int ShapeStore::CountWhollyBefore(int64_t position) const {
  int n = CountStartingAtOrBefore(position);
  ShapeSegment* const* items = segments_.Items();
  while (n > 0 && items[n - 1]->end.pos >= position) --n;
  return n;
}

void ShapeStore::ClearShapes() {
  LockGuard guard(storeLock);
  DeleteAll();
  copySource = -1;
}

bool ShapeStore::CopyShapes(ShapeStore& source, ShapeStore& destination) {
  if (&source == &destination) return true;
  // Both locks in one order whichever way the copy goes (the editor copies
  // into the engine's store and back), so two copies can never wait on each other.
  const bool sourceFirst = std::less<const ShapeStore*>()(&source, &destination);
  LockGuard firstGuard(sourceFirst ? source.storeLock : destination.storeLock);
  LockGuard secondGuard(sourceFirst ? destination.storeLock : source.storeLock);

  const int wanted = source.Count();
  const int had = destination.Count();
  PtrList<ShapeSegment>& list = destination.segments_;
  if (wanted > had) {
    // Grow first and fill every new slot before touching a record, so a failed
    // allocation can leave the destination exactly as it was.
    const size_t oldBytes = list.Buffer().Size();
    if (!list.Buffer().Resize(static_cast<size_t>(wanted) * sizeof(ShapeSegment*))) return false;
    ShapeSegment** items = list.Items();
    for (int i = had; i < wanted; ++i) {
      items[i] = new (std::nothrow) ShapeSegment(*source.At(i));
      if (!items[i]) {
        for (int j = had; j < i; ++j) delete items[j];
        list.Buffer().Resize(oldBytes);
        return false;
      }
    }
  }
  for (int i = had - 1; i >= wanted; --i) {
    delete list.At(i);
    list.Truncate(i);
  }
  ShapeSegment** items = list.Items();
  for (int i = 0; i < std::min(had, wanted); ++i) *items[i] = *source.At(i);
  // The pasted-copy index named a segment of the list just replaced.
  destination.copySource = -1;
  ++destination.listChanges_;
  return true;
}

bool ShapeStore::WriteShapes(HeapBuffer& buffer) const {
  const int count = Count();
  const size_t oldSize = buffer.Size();
  const size_t bytes = 4 + static_cast<size_t>(count) * kSegmentRecordBytes;
  if (bytes > SIZE_MAX - oldSize || !buffer.Resize(oldSize + bytes)) {
    buffer.Resize(oldSize);
    return false;
  }
  uint8_t* out = buffer.Data() + oldSize;
  const uint32_t stored = static_cast<uint32_t>(count);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(stored >> (8 * i));
  out += 4;
  for (int i = 0; i < count; ++i, out += kSegmentRecordBytes) WriteSegmentRecord(*At(i), out);
  return true;
}

bool ShapeStore::ReadShapes(const uint8_t* data, size_t size, size_t offset) {
  int32_t count = 0;
  if (data && offset <= size && size - offset >= 4) {
    count = ReadInt32(data + offset);
    if (count < 0) return false;
    const size_t available = (size - offset - 4) / kSegmentRecordBytes;
    if (static_cast<size_t>(count) > available) return false;
  }

  // Parse into a list of our own; the store's list changes only once all is read.
  PtrList<ShapeSegment> parsed(4096);
  if (!parsed.Buffer().Resize(static_cast<size_t>(count) * sizeof(ShapeSegment*))) return false;
  parsed.Buffer().Resize(0);
  const uint8_t* record = count > 0 ? data + offset + 4 : nullptr;
  for (int32_t k = 0; k < count; ++k, record += kSegmentRecordBytes) {
    ShapeSegment* segment = new (std::nothrow) ShapeSegment;
    if (!segment || !parsed.Append(segment)) {
      delete segment;
      DeleteItems(parsed);
      return false;
    }
    uint8_t bytes[kSegmentRecordBytes];
    std::memcpy(bytes, record, kSegmentRecordBytes);
    ReadSegmentRecord(bytes, *segment);
    Sanitise(*segment);
  }
  std::stable_sort(parsed.Items(), parsed.Items() + count,
                   [](const ShapeSegment* a, const ShapeSegment* b) { return a->start.pos < b->start.pos; });

  LockGuard guard(storeLock);
  HeapBuffer& mine = segments_.Buffer();
  const int had = Count();
  const size_t needed = static_cast<size_t>(std::max<int>(had, count)) * sizeof(ShapeSegment*);
  if (needed > mine.Size() && !mine.Resize(needed)) {
    DeleteItems(parsed);
    return false;
  }
  ShapeSegment** items = segments_.Items();
  for (int i = had - 1; i >= 0; --i) delete items[i];
  if (count > 0) std::memcpy(items, parsed.Items(), static_cast<size_t>(count) * sizeof(ShapeSegment*));
  mine.Resize(static_cast<size_t>(count) * sizeof(ShapeSegment*));
  parsed.Clear();
  copySource = -1;
  ++listChanges_;
  return true;
}
