#include <errno.h>

#include "file_private.h"

DWORD file_error_of(int error, const std::string& host_path) {
  switch (error) {
    case ENOENT: {
      size_t slash = host_path.rfind('/');
      struct stat64 st;
      if (slash != std::string::npos && slash > 0 &&
          (stat64(host_path.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
        return ERROR_PATH_NOT_FOUND;
      return ERROR_FILE_NOT_FOUND;
    }
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EFBIG:  // past the file-size limit: no more room, as far as the caller can tell
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EFAULT: return ERROR_NOACCESS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
  }
}

DWORD file_attributes_of(const struct stat64& st) {
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

FILETIME file_time_of(const struct timespec& ts) {
  // 100-nanosecond intervals since 1601-01-01.
  uint64_t value = (static_cast<uint64_t>(ts.tv_sec) + 11644473600ull) * 10000000ull + ts.tv_nsec / 100;
  return {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

std::u16string file_last_component(const WCHAR* path) {
  const WCHAR* last = path;
  for (const WCHAR* p = path; *p; p++)
    if (*p == u'\\' || *p == u'/') last = p + 1;
  return std::u16string(last);
}

bool file_name_invalid(const std::u16string& component) {
  for (char16_t c : component)
    if (c < 0x20 || c == u'*' || c == u'?' || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u':')
      return true;
  return false;
}
