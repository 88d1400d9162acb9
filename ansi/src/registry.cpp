// RegOpenKeyExA, RegQueryValueExA, RegSetValueExA: names converted, data
// passed as stored (string data is not converted either way).
#include <cstdlib>
#include <cstring>

#include "convert.h"

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  WideArg sub = wide_arg(lpSubKey);
  if (!sub.ok) return ERROR_NOT_ENOUGH_MEMORY;
  LONG result = RegOpenKeyExW(hKey, sub.wide, ulOptions, samDesired, phkResult);
  release(sub);
  return result;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData) {
  WideArg name = wide_arg(lpValueName);
  if (!name.ok) return ERROR_NOT_ENOUGH_MEMORY;
  DWORD local_type;
  LONG result = RegQueryValueExW(hKey, name.wide, lpReserved, lpType ? lpType : &local_type, lpData, lpcbData);
  release(name);
  return result;
}

// The three string types are stored with a byte count of twice cbData, as
// if the caller's text were wide: the caller's bytes come first, unchanged
// (so they read back as written), and zeros fill the rest. Nothing beyond
// the caller's cbData bytes is read.
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
  bool text = dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ;
  BYTE* doubled = nullptr;
  if (text && cbData) {
    if (cbData > 0x7FFFFFFF) return ERROR_INVALID_PARAMETER;
    doubled = static_cast<BYTE*>(calloc(2, cbData));
    if (!doubled) return ERROR_NOT_ENOUGH_MEMORY;
    if (lpData) memcpy(doubled, lpData, cbData);
  }
  WideArg name = wide_arg(lpValueName);
  LONG result = ERROR_NOT_ENOUGH_MEMORY;
  if (name.ok)
    result = RegSetValueExW(hKey, name.wide, Reserved, dwType, doubled && lpData ? doubled : lpData,
                            text ? 2 * cbData : cbData);
  release(name);
  free(doubled);
  return result;
}
