// The hook behind AllocationFailure. malloc, calloc and realloc reach it through
// the linker's --wrap (the test programs are linked with it); operator new is
// replaced here and allocates with malloc, so it is counted the same way.
#include "tests/AllocationFailure.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_calloc(size_t count, size_t size);
extern "C" void* __real_realloc(void* block, size_t size);

namespace {

std::atomic<bool> gArmed{false};
std::atomic<long> gAttempts{0};
std::atomic<long> gFailures{0};
long gFirst = 0;
bool gFromThenOn = false;

// Counts the allocation and answers whether it is to fail.
bool ShouldFail() {
  if (!gArmed.load()) return false;
  const long n = gAttempts.fetch_add(1) + 1;
  const bool fail = gFromThenOn ? n >= gFirst : n == gFirst;
  if (fail) gFailures.fetch_add(1);
  return fail;
}

void* Allocate(size_t size) {
  if (ShouldFail()) return nullptr;
  return __real_malloc(size ? size : 1);
}

}  // namespace

AllocationFailure::AllocationFailure(long first, Mode mode) {
  gFirst = first;
  gFromThenOn = mode == Mode::kFromThenOn;
  gAttempts.store(0);
  gFailures.store(0);
  gArmed.store(true);
}

AllocationFailure::~AllocationFailure() { gArmed.store(false); }

long AllocationFailure::Attempts() const { return gAttempts.load(); }
long AllocationFailure::Failures() const { return gFailures.load(); }

extern "C" void* __wrap_malloc(size_t size) { return ShouldFail() ? nullptr : __real_malloc(size); }
extern "C" void* __wrap_calloc(size_t count, size_t size) {
  return ShouldFail() ? nullptr : __real_calloc(count, size);
}
extern "C" void* __wrap_realloc(void* block, size_t size) {
  // Shrinking to nothing frees the block; it never fails.
  if (size == 0 && block) return __real_realloc(block, size);
  return ShouldFail() ? nullptr : __real_realloc(block, size);
}

void* operator new(size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
