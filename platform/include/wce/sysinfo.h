// What the device tells about itself: processor and memory layout, the
// Windows CE version (4.20, Pocket PC 2003), the process, and module
// notifications.
#pragma once

#include "wce/types.h"

struct SYSTEM_INFO {
  WORD wProcessorArchitecture;
  WORD wReserved;
  DWORD dwPageSize;
  LPVOID lpMinimumApplicationAddress;
  LPVOID lpMaximumApplicationAddress;
  DWORD dwActiveProcessorMask;
  DWORD dwNumberOfProcessors;
  DWORD dwProcessorType;
  DWORD dwAllocationGranularity;
  WORD wProcessorLevel;
  WORD wProcessorRevision;
};
static_assert(sizeof(SYSTEM_INFO) == 36, "SYSTEM_INFO layout");

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOW) == 276, "OSVERSIONINFOW layout");

enum : DWORD {
  PROCESSOR_ARCHITECTURE_ARM = 5,
  PROCESSOR_STRONGARM = 2577,
  VER_PLATFORM_WIN32_NT = 2,
  VER_PLATFORM_WIN32_CE = 3,
};

extern "C" {
void GetSystemInfo(SYSTEM_INFO* info);
// Fills as much of the record as its dwOSVersionInfoSize says it holds
// (at least the five numbers, 20 bytes; the text is cut to fit and
// terminated); a smaller size fails with ERROR_INSUFFICIENT_BUFFER.
BOOL GetVersionExW(OSVERSIONINFOW* info);
DWORD GetCurrentProcessId(void);
// The device sends no thread notifications to modules; succeeds for any
// module of the process.
BOOL DisableThreadLibraryCalls(HMODULE module);
}
