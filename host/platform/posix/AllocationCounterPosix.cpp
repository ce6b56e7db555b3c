// The allocation counter on Linux: this executable defines malloc and its
// relatives, which the dynamic linker then binds for every loaded module too.
// Each forwards to glibc's allocator and counts the call when its thread is
// counting. Sanitizer builds leave allocation to their runtime.
#include "validate/AllocationCounter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

namespace {

thread_local bool tCounting = false;
thread_local long tCount = 0;

}  // namespace

#if defined(KELVANE_SANITIZE_BUILD)

bool AllocationCounter::Available() { return false; }

#else

namespace {

inline void Note() {
  if (tCounting) ++tCount;
}

}  // namespace

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

void* malloc(size_t size) noexcept {
  Note();
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept {
  Note();
  return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) noexcept {
  Note();
  return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) noexcept {
  Note();
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) noexcept {
  Note();
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, size_t alignment, size_t size) noexcept {
  Note();
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* block = __libc_memalign(alignment, size);
  if (!block) return ENOMEM;
  *result = block;
  return 0;
}
}

bool AllocationCounter::Available() { return true; }

#endif

void AllocationCounter::Watch(void*) {}

void AllocationCounter::Begin() {
  tCount = 0;
  tCounting = true;
}

long AllocationCounter::End() {
  tCounting = false;
  return tCount;
}
