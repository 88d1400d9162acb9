// The current process: its pseudo handle and its orderly end.
#include <unistd.h>

#include <cstdio>

#include "wce/kernel.h"

// The pseudo handle of the current process on the device.
static HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(0x42);

extern "C" HANDLE GetCurrentProcess(void) { return kCurrentProcess; }

extern "C" BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  if (process != kCurrentProcess) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  fflush(nullptr);
  // The shell sees the low eight bits: 0xFFFFFFFF arrives as 255.
  _exit(static_cast<int>(exitCode));
}
