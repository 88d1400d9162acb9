// Folders and attributes: CreateDirectoryW, GetFileAttributesW and the
// device's temporary folder.
#include <errno.h>

#include "file_private.h"
#include "wce/device.h"
#include "wce/kernel.h"
#include "wce/wstr.h"

extern "C" BOOL CreateDirectoryW(LPCWSTR name, SECURITY_ATTRIBUTES*) {
  if (!name || !*name) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (file_name_invalid(file_last_component(name))) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  std::string host = device_host_path(name);
  if (mkdir(host.c_str(), 0777) == 0) return TRUE;
  SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : file_error_of(errno, host));
  return FALSE;
}

extern "C" DWORD GetFileAttributesW(LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  std::string host = device_host_path(name);
  struct stat64 st;
  if (stat64(host.c_str(), &st) != 0) {
    SetLastError(file_error_of(errno, host));
    return INVALID_FILE_ATTRIBUTES;
  }
  return file_attributes_of(st);
}

extern "C" DWORD GetTempPathW(DWORD size, LPWSTR buffer) {
  static const std::u16string kTemp = u"\\Temp\\";
  // The handheld always has its temporary folder.
  mkdir(device_host_path(u"\\Temp").c_str(), 0777);
  if (!buffer || size <= kTemp.size()) return static_cast<DWORD>(kTemp.size() + 1);
  return static_cast<DWORD>(wstr_copy_n(buffer, size, kTemp));
}
