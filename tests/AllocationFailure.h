// AllocationFailure: makes allocations fail on purpose, to test the paths that
// must survive running out of memory. Every test program links the hook: it
// sees malloc, calloc and realloc of the program's own code and of the
// plug-in's library, and every form of operator new.
//
// While a scope is armed, allocations are counted from 1; the one numbered
// `first` fails, and with Mode::kFromThenOn every later one fails as well.
// Scopes do not nest. Any thread.
#pragma once

class AllocationFailure {
 public:
  enum class Mode { kOnlyThat, kFromThenOn };

  explicit AllocationFailure(long first, Mode mode = Mode::kOnlyThat);
  ~AllocationFailure();
  AllocationFailure(const AllocationFailure&) = delete;
  AllocationFailure& operator=(const AllocationFailure&) = delete;

  // Allocations asked for since the scope was armed, and how many of them failed.
  long Attempts() const;
  long Failures() const;
};
