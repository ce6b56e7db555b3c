// Requests the plug-in makes of its host beyond the standard ones: REAPER's own
// functions, fetched by name through the host callback.
#pragma once

// The address of the host function `name`, or null when the host has none.
void* HostApi(const char* name);

// The project time offset in seconds (REAPER's "projtimeoffs"); 0 when the host
// does not offer it. The variable is looked up once per module and read at every call.
double GetProjectTimeOffset();

// Moves REAPER's edit cursor to `seconds` on the plug-in's timeline, unless the
// host is recording or lacks the functions.
void MoveHostEditCursor(double seconds, int moveView, int seekPlayback);

// Forgets the looked-up time offset so the next call looks again (tests only).
void ForgetProjectTimeOffsetLookup();
