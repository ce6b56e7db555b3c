// ImportTable: a DLL calls other DLLs' functions through its import table;
// the validator's counters point chosen entries at wrappers of their own.
#pragma once

namespace ImportTable {

// Main thread, right after the module is loaded and before any of its threads
// run: every function the module imports by name is offered to `replacement`,
// which gives the wrapper to call instead, or null to leave the entry alone.
using Replacement = void* (*)(const char* name, void* imported);
void Redirect(void* moduleHandle, Replacement replacement);

}  // namespace ImportTable
