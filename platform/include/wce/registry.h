// The device registry: keys under the predefined roots and typed values,
// kept in a journal file (DEVICE_REGISTRY, by default registry.dat in the
// device root) so that they survive restarts and a process killed in the
// middle of a write. Every function returns its error code (ERROR_SUCCESS
// on success) and leaves the thread's last error alone.
#pragma once

#include "wce/types.h"

struct HKEY__;
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
typedef BYTE* LPBYTE;

#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002)
#define HKEY_USERS ((HKEY)(uintptr_t)0x80000003)

enum : DWORD {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_EXPAND_SZ = 2,
  REG_BINARY = 3,
  REG_DWORD = 4,
  REG_DWORD_BIG_ENDIAN = 5,
  REG_LINK = 6,
  REG_MULTI_SZ = 7,
  REG_CREATED_NEW_KEY = 1,
  REG_OPENED_EXISTING_KEY = 2,
  KEY_ALL_ACCESS = 0xF003F,
  KEY_READ = 0x20019,
  KEY_WRITE = 0x20006,
};

// Error codes the registry functions return.
enum : LONG {
  ERROR_BAD_PATHNAME = 161,
  ERROR_MORE_DATA = 234,
  ERROR_REGISTRY_IO_FAILED = 1016,
};

struct SECURITY_ATTRIBUTES;

extern "C" {
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM sam, PHKEY result);
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM sam,
                     SECURITY_ATTRIBUTES* security, PHKEY result, LPDWORD disposition);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegCloseKey(HKEY key);
}
