// The lock counter on Linux: this executable defines the pthread mutex and
// reader/writer lock functions (std::mutex, std::recursive_mutex and
// std::shared_mutex reach them), so the dynamic linker binds a module's calls
// to them here. Each forwards to the C library's function found behind this
// one; while its thread is counting, a lock call first tries the lock and
// counts a wait only when that fails. Locks a module builds itself on futexes
// or atomics are not seen.
#include "validate/LockCounter.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>

namespace {

using MutexFn = int (*)(pthread_mutex_t*);
using RwFn = int (*)(pthread_rwlock_t*);

struct Originals {
  MutexFn lock = nullptr, tryLock = nullptr;
  RwFn readLock = nullptr, tryReadLock = nullptr, writeLock = nullptr, tryWriteLock = nullptr;
};

// Looked up on the first call, before main and before any module is loaded
// (no function-local static: its guard may itself take a mutex). dlsym takes
// the dynamic linker's own lock, not these functions.
Originals Lookup() {
  Originals o;
  o.lock = reinterpret_cast<MutexFn>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  o.tryLock = reinterpret_cast<MutexFn>(dlsym(RTLD_NEXT, "pthread_mutex_trylock"));
  o.readLock = reinterpret_cast<RwFn>(dlsym(RTLD_NEXT, "pthread_rwlock_rdlock"));
  o.tryReadLock = reinterpret_cast<RwFn>(dlsym(RTLD_NEXT, "pthread_rwlock_tryrdlock"));
  o.writeLock = reinterpret_cast<RwFn>(dlsym(RTLD_NEXT, "pthread_rwlock_wrlock"));
  o.tryWriteLock = reinterpret_cast<RwFn>(dlsym(RTLD_NEXT, "pthread_rwlock_trywrlock"));
  return o;
}

Originals gOriginals;

const Originals& Real() {
  if (!gOriginals.lock) gOriginals = Lookup();
  return gOriginals;
}

[[gnu::constructor]] void ResolveEarly() { Real(); }

thread_local bool tCounting = false;
thread_local LockCounter::Tally tTally;

// A blocking lock call: tried first, counted as a wait when the try fails.
template <typename Lock>
int Acquire(Lock* lock, int (*tryLock)(Lock*), int (*blockingLock)(Lock*)) {
  if (!tCounting) return blockingLock(lock);
  int result = tryLock(lock);
  // EOWNERDEAD: a robust mutex taken over from a dead owner is held all the same.
  if (result == 0 || result == EOWNERDEAD) {
    tTally.Note(lock, false);
    return result;
  }
  if (result != EBUSY) return blockingLock(lock);  // the lock reports its own error
  result = blockingLock(lock);
  if (result == 0 || result == EOWNERDEAD) tTally.Note(lock, true);
  return result;
}

template <typename Lock>
int TryAcquire(Lock* lock, int (*tryLock)(Lock*)) {
  int result = tryLock(lock);
  if (tCounting && (result == 0 || result == EOWNERDEAD)) tTally.Note(lock, false);
  return result;
}

}  // namespace

// Default visibility: the build hides symbols unless told, and these must be
// in the executable's dynamic symbol table for the modules to bind to them.
#define KELVANE_INTERPOSED [[gnu::visibility("default")]]

extern "C" {
KELVANE_INTERPOSED int pthread_mutex_lock(pthread_mutex_t* mutex) noexcept { return Acquire(mutex, Real().tryLock, Real().lock); }
KELVANE_INTERPOSED int pthread_mutex_trylock(pthread_mutex_t* mutex) noexcept { return TryAcquire(mutex, Real().tryLock); }
KELVANE_INTERPOSED int pthread_rwlock_rdlock(pthread_rwlock_t* lock) noexcept {
  return Acquire(lock, Real().tryReadLock, Real().readLock);
}
KELVANE_INTERPOSED int pthread_rwlock_tryrdlock(pthread_rwlock_t* lock) noexcept { return TryAcquire(lock, Real().tryReadLock); }
KELVANE_INTERPOSED int pthread_rwlock_wrlock(pthread_rwlock_t* lock) noexcept {
  return Acquire(lock, Real().tryWriteLock, Real().writeLock);
}
KELVANE_INTERPOSED int pthread_rwlock_trywrlock(pthread_rwlock_t* lock) noexcept { return TryAcquire(lock, Real().tryWriteLock); }
}

bool LockCounter::Available() { return Real().lock && Real().tryLock; }

const char* LockCounter::Seen() { return "pthread mutexes and reader/writer locks"; }

void LockCounter::Watch(void*) {}

void LockCounter::Begin() {
  tTally = Tally{};
  tCounting = true;
}

LockCounter::Tally LockCounter::End() {
  tCounting = false;
  return tTally;
}
