// Thread control beyond wce/kernel.h, handle duplication, events, waits on
// several objects, and critical sections that live in the caller's own
// 24-byte record.
#pragma once

#include "wce/types.h"

struct SECURITY_ATTRIBUTES;

// Windows CE thread priorities: 0 (time critical) to 7 (idle).
enum : int {
  THREAD_PRIORITY_TIME_CRITICAL = 0,
  THREAD_PRIORITY_HIGHEST = 1,
  THREAD_PRIORITY_ABOVE_NORMAL = 2,
  THREAD_PRIORITY_NORMAL = 3,
  THREAD_PRIORITY_BELOW_NORMAL = 4,
  THREAD_PRIORITY_LOWEST = 5,
  THREAD_PRIORITY_ABOVE_IDLE = 6,
  THREAD_PRIORITY_IDLE = 7,
  THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF,
};

enum : DWORD {
  DUPLICATE_CLOSE_SOURCE = 0x1,
  DUPLICATE_SAME_ACCESS = 0x2,
  // EventModify codes, as Windows CE has them.
  EVENT_PULSE = 1,
  EVENT_RESET = 2,
  EVENT_SET = 3,
  MAXIMUM_WAIT_OBJECTS = 64,
  WAIT_ABANDONED = 0x80,
  ERROR_SIGNAL_REFUSED = 156,
};

// The x86 Win32 record (24 bytes), which is what the guest hands over. The
// lock lives in it: at the Win32 offsets when the record is 4-aligned
// (LockCount holds the lock word: 0 free, 1 held, 2 held with waiters;
// RecursionCount the owner's depth; OwningThread the owner's identifier),
// moved up to the next 4-aligned place inside the record otherwise.
struct CRITICAL_SECTION {
  void* DebugInfo;
  LONG LockCount;
  LONG RecursionCount;
  HANDLE OwningThread;
  HANDLE LockSemaphore;
  DWORD SpinCount;
};
static_assert(sizeof(CRITICAL_SECTION) == 24, "CRITICAL_SECTION is the x86 Win32 record");

extern "C" {
// Threads: a handle, the thread's identifier (which is also a handle to
// it) or the pseudo handle 0x41 of the calling thread.
DWORD SuspendThread(HANDLE thread);
// Priorities 0 to 7 are kept; other values fail with ERROR_INVALID_PARAMETER.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);

// Both processes must be the current one (0x42). A source of 0x41 gives a
// real handle to the calling thread.
BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target, DWORD access,
                     BOOL inherit, DWORD options);

// Events. A named event is one object per name within the process.
HANDLE CreateEventW(SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState, LPCWSTR name);
// EVENT_SET, EVENT_RESET or EVENT_PULSE. A pulse releases the threads that
// are waiting on the event at that moment (one of them for an auto-reset
// event) and leaves it reset.
BOOL EventModify(HANDLE event, DWORD function);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
BOOL PulseEvent(HANDLE event);

// Up to 64 objects; waitAll waits until all are signalled at once.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// Reentrant for the owning thread.
void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
}
