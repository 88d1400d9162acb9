// The file shims. CreateFileA and FindFirstFileA find relative names in
// the program's folder (that of the process's main program), composed in
// a 260-byte buffer; a composition that does not fit fails as a missing
// file would, and nothing is written past the buffer.
#include <cstring>

#include "convert.h"
#include "wce/file.h"
#include "wce/kernel.h"

namespace {

constexpr size_t kComposed = 260;

// program folder + "\" + name into `out`; false when it does not fit.
bool compose(const char* name, char (&out)[kComposed]) {
  memset(out, 0, sizeof out);
  // One byte short of the buffer, so a program path that fills it still
  // ends in a terminator.
  GetModuleFileNameA(nullptr, out, kComposed - 1);
  if (char* cut = strrchr(out, '\\')) *cut = 0;
  size_t length = strlen(out);
  if (length + 1 + strlen(name) + 1 > kComposed) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  out[length] = '\\';
  strcpy(out + length + 1, name);
  return true;
}

HANDLE create(const char* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD disposition,
              DWORD flags, HANDLE templ) {
  WideArg wide = wide_arg(name);
  if (!wide.ok) return INVALID_HANDLE_VALUE;
  HANDLE result = CreateFileW(wide.wide, access, share, security, disposition, flags, templ);
  release(wide);
  return result;
}

// Carries a wide find record into the caller's 8-bit record.
void copy_found(const WIN32_FIND_DATAW& found, WIN32_FIND_DATAA* data) {
  static_assert(offsetof(WIN32_FIND_DATAW, dwOID) == 36 && offsetof(WIN32_FIND_DATAA, dwReserved0) == 36,
                "the leading fields share one layout");
  memcpy(data, &found, 36);
  data->dwReserved0 = 0;
  data->dwReserved1 = 0;
  data->cAlternateFileName[13] = 0;
}

}  // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   SECURITY_ATTRIBUTES* lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  const char* name = lpFileName;
  if (name[0] && name[1] == ':') name += 2;
  if (name[0] == '\\') {
    HANDLE first = create(name, dwDesiredAccess, dwShareMode, lpSecurityAttributes, dwCreationDisposition,
                          dwFlagsAndAttributes, hTemplateFile);
    if (first != INVALID_HANDLE_VALUE) return first;
  }
  char composed[kComposed];
  if (!compose(name, composed)) return INVALID_HANDLE_VALUE;
  return create(composed, dwDesiredAccess, dwShareMode, lpSecurityAttributes, dwCreationDisposition,
                dwFlagsAndAttributes, hTemplateFile);
}

// The caller's record is written even when the search fails: empty names
// and meaningless other fields.
HANDLE FindFirstFileA(LPCSTR lpFileName, WIN32_FIND_DATAA* lpFindFileData) {
  WIN32_FIND_DATAW local;
  memset(&local, 0, sizeof local);
  AnsiOutBuffer name_out, alt_out;
  out_supplied(&name_out, local.cFileName, lpFindFileData->cFileName, MAX_PATH);
  out_supplied(&alt_out, local.cFileName, lpFindFileData->cAlternateFileName, 13);
  HANDLE result = INVALID_HANDLE_VALUE;
  char composed[kComposed];
  const char* name = lpFileName;
  bool fits = true;
  if (name[0] != '\\') {
    fits = compose(name, composed);
    name = composed;
  }
  if (fits) {
    WideArg wide = wide_arg(name);
    if (wide.ok) result = FindFirstFileW(wide.wide, &local);
    release(wide);
  }
  copy_found(local, lpFindFileData);
  DWORD error = GetLastError();
  finish(alt_out);
  finish(name_out);
  SetLastError(error);
  return result;
}

BOOL FindNextFileA(HANDLE hFindFile, WIN32_FIND_DATAA* lpFindFileData) {
  WIN32_FIND_DATAW local;
  memset(&local, 0, sizeof local);
  AnsiOutBuffer name_out, alt_out;
  out_supplied(&name_out, local.cFileName, lpFindFileData->cFileName, MAX_PATH);
  out_supplied(&alt_out, local.cFileName, lpFindFileData->cAlternateFileName, 13);
  BOOL result = FindNextFileW(hFindFile, &local);
  copy_found(local, lpFindFileData);
  DWORD error = GetLastError();
  finish(alt_out);
  finish(name_out);
  SetLastError(error);
  return result;
}

BOOL CreateDirectoryA(LPCSTR lpPathName, SECURITY_ATTRIBUTES* lpSecurityAttributes) {
  WideArg path = wide_arg(lpPathName);
  BOOL result = path.ok ? CreateDirectoryW(path.wide, lpSecurityAttributes) : FALSE;
  release(path);
  return result;
}

BOOL DeleteFileA(LPCSTR lpFileName) {
  WideArg path = wide_arg(lpFileName);
  BOOL result = path.ok ? DeleteFileW(path.wide) : FALSE;
  release(path);
  return result;
}

DWORD GetFileAttributesA(LPCSTR lpFileName) {
  WideArg path = wide_arg(lpFileName);
  DWORD result = path.ok ? GetFileAttributesW(path.wide) : INVALID_FILE_ATTRIBUTES;
  release(path);
  return result;
}

DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  AnsiOutBuffer out;
  if (!out_own(&out, lpBuffer, static_cast<int>(nBufferLength))) return 0;
  DWORD result = GetTempPathW(lpBuffer ? out.count : nBufferLength, out.wide);
  finish(out);
  return result;
}
