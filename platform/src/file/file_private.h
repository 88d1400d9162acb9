// Helpers shared by the device's file functions.
#pragma once

#include <sys/stat.h>

#include <string>

#include "wce/file.h"

// The Win32 error for a failed host call on `host_path` (ENOENT becomes
// ERROR_PATH_NOT_FOUND when the folder that would hold it is missing).
DWORD file_error_of(int error, const std::string& host_path);
// Attributes of a host file: folders 0x10; files ARCHIVE, plus READONLY
// when nobody may write the file.
DWORD file_attributes_of(const struct stat64& st);
FILETIME file_time_of(const struct timespec& ts);
// The last component of a device path (after the last '\' or '/').
std::u16string file_last_component(const WCHAR* path);
// Whether a file name component holds a character no Windows name may
// hold (wildcards included).
bool file_name_invalid(const std::u16string& component);
// Whether some handle has the host file (device, inode) open.
bool file_is_open(dev_t dev, ino64_t ino);
