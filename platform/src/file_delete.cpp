#include <errno.h>
#include <unistd.h>

#include "wce/device.h"
#include "wce/kernel.h"

extern "C" BOOL DeleteFileW(LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (unlink(device_host_path(name).c_str()) == 0) return TRUE;
  SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
  return FALSE;
}
