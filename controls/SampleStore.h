// SampleStore: every captured value the display has taken, by absolute sample
// position, in pages of 65536 signed 16-bit values (units of 1/512 of full
// scale). A page is created, zero-filled, when a value first lands in it; a
// missing page is absent data, not silence.
//
// Each page also keeps summaries of its values at one pixel scale (the
// overview's): for every block of 1024 values the minimum, maximum, sum and sum
// of squares of the integer pixel values. Integer sums add up exactly, so a
// wide column built from whole blocks plus its ragged ends gives the same
// statistics as a walk over every value, at a cost that no longer grows with
// the length of the session.
//
// Memory: 2 bytes per captured sample (about 320 MB per hour at 44.1 kHz).
// The store holds at most kMaxPages pages (512 MiB of values, about 1 h 41 min
// at 44.1 kHz, 1 h 33 min at 48 kHz, plus 6 MiB of summaries and a page table
// of at most 256 KiB: MemoryBound(), about 518 MiB), well inside what a 32-bit
// host process can spare. Beyond that
// budget, or when a page cannot be allocated, new values are simply not
// stored: the display keeps drawing what it has and shows the rest as empty
// (black) columns. The audio is never affected.
//
// Threads: GUI thread only (the display's Render and mouse handling).
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

#include "core/HeapBuffer.h"

// Running statistics of one pixel column, in integer pixels.
struct ColumnSums {
  int64_t count = 0;
  int64_t sum = 0;
  int64_t sumSquares = 0;
  int min = INT_MAX;
  int max = INT_MIN;
};

class SampleStore {
 public:
  static constexpr int kPageShift = 16;
  static constexpr int kPageSize = 1 << kPageShift;  // values per page
  static constexpr int kBlockSize = 1024;            // values per summary block
  static constexpr int kBlocksPerPage = kPageSize / kBlockSize;
  static constexpr int kMaxPages = 4096;
  // The engine captures only positions that fit an int32.
  static constexpr int64_t kPositionLimit = int64_t{INT32_MAX} + 1;

  // maxPages: the page budget (tests use small ones).
  explicit SampleStore(int maxPages = kMaxPages) : maxPages_(maxPages) {}
  ~SampleStore();
  SampleStore(const SampleStore&) = delete;
  SampleStore& operator=(const SampleStore&) = delete;

  // The value at position and, in *count, how many values follow it to the end
  // of its page (itself included). Without a page (or with create and no page
  // to be had: negative position, over budget, out of memory) returns null
  // and a count of -1. With create, a missing page is made zero-filled.
  int16_t* Get(int64_t position, bool create, int* count);
  const int16_t* Find(int64_t position, int* count) const;

  // Copies count values to consecutive positions from position, creating pages
  // as needed. Returns false when some values could not be stored.
  bool Write(const int16_t* values, int64_t position, int count);

  // Deletes every page and empties the page table.
  void Clear();

  // The pixel scale (pixels per gain unit) of the block summaries. Setting a
  // new one recomputes every summary.
  void SetSummaryScale(double pixelsPerGainUnit);
  double SummaryScale() const { return summaryScale_; }

  // Adds the pixel values p = (int)(v * pixelsPerGainUnit) of every stored
  // position in [from, to) to sums; missing pages are skipped. Uses the block
  // summaries when the scale is theirs.
  void Accumulate(int64_t from, int64_t to, double pixelsPerGainUnit, ColumnSums& sums) const;

  int PageCount() const { return pageCount_; }
  // Bytes one page takes (its values and their summaries).
  static size_t PageBytes();
  // The most a store can hold: the page budget and the longest page table.
  static size_t MemoryBound();
  // True once a page could not be stored (budget or memory); cleared by Clear.
  bool Overflowed() const { return overflowed_; }

 private:
  struct BlockSummary {
    int32_t min = 0;
    int32_t max = 0;
    int64_t sum = 0;
    int64_t sumSquares = 0;
  };
  struct Page {
    int16_t values[kPageSize];
    BlockSummary blocks[kBlocksPerPage];
  };

  int64_t TableSize() const { return static_cast<int64_t>(table_.Size() / sizeof(Page*)); }
  Page* PageAt(int64_t index) const;
  Page* CreatePage(int64_t index);
  void Summarise(Page& page, int block) const;

  HeapBuffer table_{4096};
  int maxPages_;
  int pageCount_ = 0;
  double summaryScale_ = 0.0;
  bool overflowed_ = false;
};
