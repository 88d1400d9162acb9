// CreateEventA and GetVersionExA.
#include <cstring>

#include "convert.h"
#include "wce/synch.h"
#include "wce/sysinfo.h"

HANDLE CreateEventA(SECURITY_ATTRIBUTES* lpEventAttributes, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
  WideArg name = wide_arg(lpName);
  HANDLE result = name.ok ? CreateEventW(lpEventAttributes, bManualReset, bInitialState, name.wide) : nullptr;
  release(name);
  return result;
}

// The wide record is 276 bytes, the caller's 148: a whole ANSI record is
// filled from a local wide one (the service-pack text converted, at most
// 127 bytes and terminated); a record that says it is smaller goes to the
// wide function as it is, which fills only what its size allows.
BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) {
  if (!lpVersionInformation || lpVersionInformation->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA))
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(lpVersionInformation));
  OSVERSIONINFOW wide;
  memset(&wide, 0, sizeof wide);
  wide.dwOSVersionInfoSize = sizeof wide;
  if (!GetVersionExW(&wide)) return FALSE;
  lpVersionInformation->dwMajorVersion = wide.dwMajorVersion;
  lpVersionInformation->dwMinorVersion = wide.dwMinorVersion;
  lpVersionInformation->dwBuildNumber = wide.dwBuildNumber;
  lpVersionInformation->dwPlatformId = wide.dwPlatformId;
  memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
  ce_wcstombs(lpVersionInformation->szCSDVersion, wide.szCSDVersion, sizeof lpVersionInformation->szCSDVersion - 1);
  return TRUE;
}
