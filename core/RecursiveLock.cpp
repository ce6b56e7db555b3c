#include "core/RecursiveLock.h"

#ifdef _WIN32
#include <windows.h>

static_assert(sizeof(CRITICAL_SECTION) <= 64, "critical section storage");

RecursiveLock::RecursiveLock() { InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_)); }
RecursiveLock::~RecursiveLock() { DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_)); }
void RecursiveLock::Enter() { EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_)); }
void RecursiveLock::Leave() { LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_)); }
#else
RecursiveLock::RecursiveLock() = default;
RecursiveLock::~RecursiveLock() = default;
void RecursiveLock::Enter() { mutex_.lock(); }
void RecursiveLock::Leave() { mutex_.unlock(); }
#endif
