// DeleteFileW: as on the device, a file that is open, or read-only, stays.
#include <errno.h>
#include <unistd.h>

#include "file_private.h"
#include "wce/device.h"
#include "wce/kernel.h"

extern "C" BOOL DeleteFileW(LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string path = device_host_path(name);
  struct stat64 st;
  if (lstat64(path.c_str(), &st) != 0) {
    SetLastError(file_error_of(errno, path));
    return FALSE;
  }
  if (S_ISDIR(st.st_mode) || !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (file_is_open(st.st_dev, st.st_ino)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if (unlink(path.c_str()) == 0) return TRUE;
  SetLastError(file_error_of(errno, path));
  return FALSE;
}
