// The allocation counter on Windows: a DLL calls the C runtime's and the
// heap's allocation functions through its import table, so the entries for
// them are pointed at counting wrappers that forward to the originals.
// Allocations made inside other DLLs on the module's behalf are not seen.
#include "validate/AllocationCounter.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "platform/win32/ImportTable.h"

namespace {

using MallocFn = void*(__cdecl*)(size_t);
using CallocFn = void*(__cdecl*)(size_t, size_t);
using ReallocFn = void*(__cdecl*)(void*, size_t);
using AlignedMallocFn = void*(__cdecl*)(size_t, size_t);
using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using HeapReAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T);

std::atomic<MallocFn> gMalloc{nullptr};
std::atomic<CallocFn> gCalloc{nullptr};
std::atomic<ReallocFn> gRealloc{nullptr};
std::atomic<AlignedMallocFn> gAlignedMalloc{nullptr};
std::atomic<HeapAllocFn> gHeapAlloc{nullptr};
std::atomic<HeapReAllocFn> gHeapReAlloc{nullptr};

// The counting thread, by id: thread_local storage under mingw may itself allocate.
std::atomic<DWORD> gCountingThread{0};
std::atomic<long> gCount{0};

void Note() {
  DWORD thread = gCountingThread.load(std::memory_order_relaxed);
  if (thread != 0 && thread == GetCurrentThreadId()) gCount.fetch_add(1, std::memory_order_relaxed);
}

void* __cdecl CountingMalloc(size_t size) {
  Note();
  return gMalloc.load()(size);
}
void* __cdecl CountingCalloc(size_t count, size_t size) {
  Note();
  return gCalloc.load()(count, size);
}
void* __cdecl CountingRealloc(void* block, size_t size) {
  Note();
  return gRealloc.load()(block, size);
}
void* __cdecl CountingAlignedMalloc(size_t size, size_t alignment) {
  Note();
  return gAlignedMalloc.load()(size, alignment);
}
LPVOID WINAPI CountingHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  Note();
  return gHeapAlloc.load()(heap, flags, size);
}
LPVOID WINAPI CountingHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size) {
  Note();
  return gHeapReAlloc.load()(heap, flags, block, size);
}

// The wrapper for an imported function, remembering the original; null for
// functions that do not allocate.
template <typename Fn>
void* Wrap(std::atomic<Fn>& original, void* imported, Fn wrapper) {
  if (imported == reinterpret_cast<void*>(wrapper)) return nullptr;  // patched before
  Fn expected = nullptr;
  original.compare_exchange_strong(expected, reinterpret_cast<Fn>(imported));
  return reinterpret_cast<void*>(wrapper);
}

void* Replacement(const char* name, void* imported) {
  if (std::strcmp(name, "malloc") == 0) return Wrap(gMalloc, imported, &CountingMalloc);
  if (std::strcmp(name, "calloc") == 0) return Wrap(gCalloc, imported, &CountingCalloc);
  if (std::strcmp(name, "realloc") == 0) return Wrap(gRealloc, imported, &CountingRealloc);
  if (std::strcmp(name, "_aligned_malloc") == 0) return Wrap(gAlignedMalloc, imported, &CountingAlignedMalloc);
  if (std::strcmp(name, "HeapAlloc") == 0) return Wrap(gHeapAlloc, imported, &CountingHeapAlloc);
  if (std::strcmp(name, "HeapReAlloc") == 0) return Wrap(gHeapReAlloc, imported, &CountingHeapReAlloc);
  return nullptr;
}

}  // namespace

bool AllocationCounter::Available() { return true; }

void AllocationCounter::Watch(void* moduleHandle) { ImportTable::Redirect(moduleHandle, &Replacement); }

void AllocationCounter::Begin() {
  gCount = 0;
  gCountingThread = GetCurrentThreadId();
}

long AllocationCounter::End() {
  gCountingThread = 0;
  return gCount.load();
}
