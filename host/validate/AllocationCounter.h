// AllocationCounter: counts the allocation calls a thread makes while it is
// inside a module's process callback. On Linux the validator's own build
// interposes malloc and its relatives (not in sanitizer builds, whose runtime
// owns them); on Windows the module's imports of the C runtime's and the
// heap's allocation functions are redirected through counting wrappers.
#pragma once

namespace AllocationCounter {

// Whether this build can count at all.
bool Available();
// Main thread, right after a module is loaded: lets the counter see its
// allocations (Windows patches the module's imports; Linux needs nothing).
void Watch(void* moduleHandle);
// The calling thread's allocation calls are counted from Begin until End,
// which returns how many there were.
void Begin();
long End();

}  // namespace AllocationCounter
