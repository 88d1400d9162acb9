// What the device tells about itself: a single-processor ARM handheld with
// 4 KiB pages and 64 KiB allocation granularity, running Windows CE 4.20
// (Pocket PC 2003).
#include <unistd.h>

#include <cstring>

#include "loaded_modules.h"
#include "wce/kernel.h"
#include "wce/sysinfo.h"

extern "C" void GetSystemInfo(SYSTEM_INFO* info) {
  memset(info, 0, sizeof *info);
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM;
  info->dwPageSize = 4096;
  info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x00010000);
  info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFEFFFF);
  info->dwActiveProcessorMask = 1;
  info->dwNumberOfProcessors = 1;
  info->dwProcessorType = PROCESSOR_STRONGARM;
  info->dwAllocationGranularity = 0x10000;
  info->wProcessorLevel = 4;
  info->wProcessorRevision = 0;
}

extern "C" BOOL GetVersionExW(OSVERSIONINFOW* info) {
  const DWORD fixed = offsetof(OSVERSIONINFOW, szCSDVersion);
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD size = info->dwOSVersionInfoSize;
  if (size < fixed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwMajorVersion = 4;
  info->dwMinorVersion = 20;
  info->dwBuildNumber = 1081;
  info->dwPlatformId = VER_PLATFORM_WIN32_CE;
  // No service pack: an empty text, as much of the field as the record has.
  DWORD text_bytes = size - fixed < sizeof info->szCSDVersion ? size - fixed : sizeof info->szCSDVersion;
  memset(info->szCSDVersion, 0, text_bytes);
  return TRUE;
}

extern "C" DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

extern "C" BOOL DisableThreadLibraryCalls(HMODULE module) {
  LoadedModule found;
  if (!loaded_module_by_handle(module, &found)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
