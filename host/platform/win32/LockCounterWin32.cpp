// The lock counter on Windows: the module's imports of the critical section,
// slim reader/writer lock and wait functions are pointed at counting wrappers,
// which call the system's own. A blocking call is tried first and counted as a
// wait only when the try fails. Critical sections and SRW locks are counted
// by address; a blocking wait on a kernel object (how a statically linked
// pthreads mutex waits once its atomic fast path fails) counts as a wait on
// the object's handle. Locks that never leave their atomic fast path inside
// the module are not seen.
#include "validate/LockCounter.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "platform/win32/ImportTable.h"

namespace {

// The counting thread by id, and its tally: thread_local storage under mingw
// may itself allocate and lock.
std::atomic<DWORD> gCountingThread{0};
LockCounter::Tally gTally;

bool Counting() {
  DWORD thread = gCountingThread.load(std::memory_order_relaxed);
  return thread != 0 && thread == GetCurrentThreadId();
}

void WINAPI CountingEnterCriticalSection(CRITICAL_SECTION* section) {
  if (!Counting()) return EnterCriticalSection(section);
  if (TryEnterCriticalSection(section)) return gTally.Note(section, false);
  EnterCriticalSection(section);
  gTally.Note(section, true);
}

BOOL WINAPI CountingTryEnterCriticalSection(CRITICAL_SECTION* section) {
  BOOL entered = TryEnterCriticalSection(section);
  if (entered && Counting()) gTally.Note(section, false);
  return entered;
}

void WINAPI CountingAcquireSRWLockExclusive(SRWLOCK* lock) {
  if (!Counting()) return AcquireSRWLockExclusive(lock);
  if (TryAcquireSRWLockExclusive(lock)) return gTally.Note(lock, false);
  AcquireSRWLockExclusive(lock);
  gTally.Note(lock, true);
}

void WINAPI CountingAcquireSRWLockShared(SRWLOCK* lock) {
  if (!Counting()) return AcquireSRWLockShared(lock);
  if (TryAcquireSRWLockShared(lock)) return gTally.Note(lock, false);
  AcquireSRWLockShared(lock);
  gTally.Note(lock, true);
}

// A wait that would block: polled first; an object already signalled is taken without waiting.
DWORD WINAPI CountingWaitForSingleObjectEx(HANDLE object, DWORD milliseconds, BOOL alertable) {
  if (!Counting() || milliseconds == 0) return WaitForSingleObjectEx(object, milliseconds, alertable);
  DWORD result = WaitForSingleObjectEx(object, 0, alertable);
  if (result != WAIT_TIMEOUT) {
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) gTally.Note(object, false);
    return result;
  }
  result = WaitForSingleObjectEx(object, milliseconds, alertable);
  gTally.Note(object, true);
  return result;
}

DWORD WINAPI CountingWaitForSingleObject(HANDLE object, DWORD milliseconds) {
  return CountingWaitForSingleObjectEx(object, milliseconds, FALSE);
}

DWORD WINAPI CountingWaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL all, DWORD milliseconds) {
  if (!Counting() || milliseconds == 0 || count == 0) return WaitForMultipleObjects(count, objects, all, milliseconds);
  DWORD result = WaitForMultipleObjects(count, objects, all, 0);
  if (result != WAIT_TIMEOUT) return result;
  result = WaitForMultipleObjects(count, objects, all, milliseconds);
  gTally.Note(objects[0], true);
  return result;
}

void* Replacement(const char* name, void* imported) {
  static const struct {
    const char* name;
    void* wrapper;
  } kWrappers[] = {
      {"EnterCriticalSection", reinterpret_cast<void*>(&CountingEnterCriticalSection)},
      {"TryEnterCriticalSection", reinterpret_cast<void*>(&CountingTryEnterCriticalSection)},
      {"AcquireSRWLockExclusive", reinterpret_cast<void*>(&CountingAcquireSRWLockExclusive)},
      {"AcquireSRWLockShared", reinterpret_cast<void*>(&CountingAcquireSRWLockShared)},
      {"WaitForSingleObject", reinterpret_cast<void*>(&CountingWaitForSingleObject)},
      {"WaitForSingleObjectEx", reinterpret_cast<void*>(&CountingWaitForSingleObjectEx)},
      {"WaitForMultipleObjects", reinterpret_cast<void*>(&CountingWaitForMultipleObjects)},
  };
  for (const auto& w : kWrappers)
    if (std::strcmp(name, w.name) == 0) return imported == w.wrapper ? nullptr : w.wrapper;
  return nullptr;
}

}  // namespace

bool LockCounter::Available() { return true; }

const char* LockCounter::Seen() {
  return "critical sections, SRW locks and blocking waits on kernel objects imported by the module";
}

void LockCounter::Watch(void* moduleHandle) { ImportTable::Redirect(moduleHandle, &Replacement); }

void LockCounter::Begin() {
  gTally = Tally{};
  gCountingThread = GetCurrentThreadId();
}

LockCounter::Tally LockCounter::End() {
  gCountingThread = 0;
  return gTally;
}
