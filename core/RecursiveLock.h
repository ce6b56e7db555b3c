// RecursiveLock: the re-entrant lock behind PlugLock, CaptureLock and each
// store's lock. A critical section on Windows, std::recursive_mutex elsewhere.
#pragma once

#ifndef _WIN32
#include <mutex>
#endif

class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void Enter();
  void Leave();

 private:
#ifdef _WIN32
  alignas(8) unsigned char section_[64];  // CRITICAL_SECTION, kept opaque here
#else
  std::recursive_mutex mutex_;
#endif
};

// Holds a RecursiveLock for the life of the scope.
class LockGuard {
 public:
  explicit LockGuard(RecursiveLock& lock) : lock_(lock) { lock_.Enter(); }
  ~LockGuard() { lock_.Leave(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  RecursiveLock& lock_;
};
