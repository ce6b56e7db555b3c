#include "controls/SampleStore.h"

#include <cstring>
#include <new>

namespace {

inline void AddPixel(ColumnSums& sums, int p) {
  ++sums.count;
  sums.sum += p;
  sums.sumSquares += static_cast<int64_t>(p) * p;
  if (p < sums.min) sums.min = p;
  if (p > sums.max) sums.max = p;
}

inline void AddValues(ColumnSums& sums, const int16_t* values, int count, double scale) {
  for (int i = 0; i < count; ++i) AddPixel(sums, static_cast<int>(values[i] * scale));
}

}  // namespace

SampleStore::~SampleStore() { Clear(); }

size_t SampleStore::PageBytes() { return sizeof(Page); }

size_t SampleStore::MemoryBound() {
  return static_cast<size_t>(kMaxPages) * sizeof(Page) + static_cast<size_t>(kPositionLimit >> kPageShift) * sizeof(Page*);
}

SampleStore::Page* SampleStore::PageAt(int64_t index) const {
  if (index < 0 || index >= TableSize()) return nullptr;
  Page* page;
  std::memcpy(&page, table_.Data() + static_cast<size_t>(index) * sizeof(Page*), sizeof(Page*));
  return page;
}

SampleStore::Page* SampleStore::CreatePage(int64_t index) {
  if (pageCount_ >= maxPages_) {
    overflowed_ = true;
    return nullptr;
  }
  int64_t oldSize = TableSize();
  if (index >= oldSize) {
    size_t bytes = static_cast<size_t>(index + 1) * sizeof(Page*);
    if (!table_.Resize(bytes)) {
      overflowed_ = true;
      return nullptr;
    }
    std::memset(table_.Data() + static_cast<size_t>(oldSize) * sizeof(Page*), 0,
                bytes - static_cast<size_t>(oldSize) * sizeof(Page*));
  }
  Page* page = new (std::nothrow) Page();  // zero-filled values, zero summaries
  if (!page) {
    overflowed_ = true;
    return nullptr;
  }
  std::memcpy(table_.Data() + static_cast<size_t>(index) * sizeof(Page*), &page, sizeof(Page*));
  ++pageCount_;
  return page;
}

int16_t* SampleStore::Get(int64_t position, bool create, int* count) {
  *count = -1;
  if (position < 0 || position >= kPositionLimit) return nullptr;
  int64_t index = position >> kPageShift;
  Page* page = PageAt(index);
  if (!page && create) page = CreatePage(index);
  if (!page) return nullptr;
  int offset = static_cast<int>(position & (kPageSize - 1));
  *count = kPageSize - offset;
  return page->values + offset;
}

const int16_t* SampleStore::Find(int64_t position, int* count) const {
  return const_cast<SampleStore*>(this)->Get(position, false, count);
}

void SampleStore::Summarise(Page& page, int block) const {
  ColumnSums sums;
  AddValues(sums, page.values + block * kBlockSize, kBlockSize, summaryScale_);
  BlockSummary& s = page.blocks[block];
  s.min = sums.min;
  s.max = sums.max;
  s.sum = sums.sum;
  s.sumSquares = sums.sumSquares;
}

bool SampleStore::Write(const int16_t* values, int64_t position, int count) {
  bool all = true;
  while (count > 0) {
    int room = 0;
    int16_t* dest = Get(position, true, &room);
    if (!dest) {
      // Nothing can be stored here: skip to the next page and try again there.
      if (position < 0 || position >= kPositionLimit) return false;
      int skip = kPageSize - static_cast<int>(position & (kPageSize - 1));
      if (skip > count) skip = count;
      values += skip;
      position += skip;
      count -= skip;
      all = false;
      continue;
    }
    int n = count < room ? count : room;
    std::memcpy(dest, values, static_cast<size_t>(n) * sizeof(int16_t));
    Page* page = PageAt(position >> kPageShift);
    int offset = kPageSize - room;
    for (int b = offset / kBlockSize; b <= (offset + n - 1) / kBlockSize; ++b) Summarise(*page, b);
    values += n;
    position += n;
    count -= n;
  }
  return all;
}

void SampleStore::Clear() {
  for (int64_t i = 0; i < TableSize(); ++i) delete PageAt(i);
  table_.Release();
  pageCount_ = 0;
  overflowed_ = false;
}

void SampleStore::SetSummaryScale(double pixelsPerGainUnit) {
  if (pixelsPerGainUnit == summaryScale_) return;
  summaryScale_ = pixelsPerGainUnit;
  for (int64_t i = 0; i < TableSize(); ++i) {
    if (Page* page = PageAt(i)) {
      for (int b = 0; b < kBlocksPerPage; ++b) Summarise(*page, b);
    }
  }
}

void SampleStore::Accumulate(int64_t from, int64_t to, double scale, ColumnSums& sums) const {
  if (from < 0) from = 0;
  if (to > kPositionLimit) to = kPositionLimit;
  const bool summaries = scale == summaryScale_;
  int64_t pos = from;
  while (pos < to) {
    int64_t index = pos >> kPageShift;
    const Page* page = PageAt(index);
    if (!page) {
      // Jump to the next page that exists, looking no further than the column's end.
      int64_t last = (to - 1) >> kPageShift;
      if (last >= TableSize()) last = TableSize() - 1;
      while (++index <= last && !PageAt(index)) {
      }
      if (index > last) return;
      pos = index << kPageShift;
      continue;
    }
    int64_t pageStart = index << kPageShift;
    int offset = static_cast<int>(pos - pageStart);
    int end = to - pageStart < kPageSize ? static_cast<int>(to - pageStart) : kPageSize;
    if (summaries) {
      int headEnd = (offset + kBlockSize - 1) / kBlockSize * kBlockSize;
      if (headEnd > end) headEnd = end;
      AddValues(sums, page->values + offset, headEnd - offset, scale);
      offset = headEnd;
      for (; offset + kBlockSize <= end; offset += kBlockSize) {
        const BlockSummary& s = page->blocks[offset / kBlockSize];
        sums.count += kBlockSize;
        sums.sum += s.sum;
        sums.sumSquares += s.sumSquares;
        if (s.min < sums.min) sums.min = s.min;
        if (s.max > sums.max) sums.max = s.max;
      }
    }
    AddValues(sums, page->values + offset, end - offset, scale);
    pos = pageStart + end;
  }
}
