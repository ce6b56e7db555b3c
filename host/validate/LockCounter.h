// LockCounter: counts the lock acquisitions a thread makes while it is inside
// a module's process callback, how many of them had to wait (a try first,
// then the blocking call), and which locks they were. Like the allocation
// counter it lives in the validator's own build: on Linux the executable
// defines the pthread lock functions, which the dynamic linker then binds for
// every loaded module; on Windows the module's imports of the critical
// section, slim reader/writer lock and wait functions are redirected.
//
// Threads: one thread counts at a time (the validator's audio thread); the
// tally is that thread's own and is read by it after End.
#pragma once

namespace LockCounter {

constexpr int kKept = 8;

// What one counted stretch saw. Filled inside lock calls: allocates nothing.
struct Tally {
  long acquisitions = 0;
  long waits = 0;
  int count = 0;                // distinct locks kept in `locks`
  const void* locks[kKept] = {};
  bool more = false;            // more distinct locks than kept

  void Note(const void* lock, bool waited) {
    ++acquisitions;
    if (waited) ++waits;
    for (int i = 0; i < count; ++i)
      if (locks[i] == lock) return;
    if (count < kKept)
      locks[count++] = lock;
    else
      more = true;
  }
};

// Whether this build can count at all.
bool Available();
// The lock primitives this build sees, for the report.
const char* Seen();
// Main thread, right after a module is loaded: lets the counter see its lock
// calls (Windows redirects the module's imports; Linux needs nothing).
void Watch(void* moduleHandle);
// The calling thread's lock calls are counted from Begin until End.
void Begin();
Tally End();

}  // namespace LockCounter
