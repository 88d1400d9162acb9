// Files and folders on device paths ("\a\b" is <device root>/a/b, names
// matched without regard to case): CreateFileW with every creation
// disposition and Win32 sharing, reads and writes, 64-bit file pointers,
// searches with wildcards, folders, attributes. Serial ports ("COMn:")
// open through CreateFileW as well (wce/comm.h).
#pragma once

#include "wce/time.h"
#include "wce/types.h"

struct SECURITY_ATTRIBUTES;

enum : DWORD {
  GENERIC_READ = 0x80000000,
  GENERIC_WRITE = 0x40000000,
  FILE_SHARE_READ = 0x1,
  FILE_SHARE_WRITE = 0x2,

  CREATE_NEW = 1,
  CREATE_ALWAYS = 2,
  OPEN_EXISTING = 3,
  OPEN_ALWAYS = 4,
  TRUNCATE_EXISTING = 5,

  FILE_ATTRIBUTE_READONLY = 0x1,
  FILE_ATTRIBUTE_HIDDEN = 0x2,
  FILE_ATTRIBUTE_SYSTEM = 0x4,
  FILE_ATTRIBUTE_DIRECTORY = 0x10,
  FILE_ATTRIBUTE_ARCHIVE = 0x20,
  FILE_ATTRIBUTE_NORMAL = 0x80,
  FILE_ATTRIBUTE_TEMPORARY = 0x100,
  INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF,
  FILE_FLAG_WRITE_THROUGH = 0x80000000,

  FILE_BEGIN = 0,
  FILE_CURRENT = 1,
  FILE_END = 2,
  INVALID_SET_FILE_POINTER = 0xFFFFFFFF,
  INVALID_FILE_SIZE = 0xFFFFFFFF,
};

// Further error codes of the file functions.
enum : DWORD {
  ERROR_GEN_FAILURE = 31,
  ERROR_HANDLE_EOF = 38,
  ERROR_DISK_FULL = 112,
  ERROR_NEGATIVE_SEEK = 131,
  ERROR_DIR_NOT_EMPTY = 145,
  ERROR_FILENAME_EXCED_RANGE = 206,
  ERROR_NOACCESS = 998,
};

// The device's find record (Windows CE layout: the object identifier
// stands where Win32 has its reserved words, and there is no short name).
struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwOID;
  WCHAR cFileName[MAX_PATH];
};
static_assert(sizeof(WIN32_FIND_DATAW) == 560, "WIN32_FIND_DATAW layout");
static_assert(offsetof(WIN32_FIND_DATAW, dwOID) == 36, "WIN32_FIND_DATAW layout");
static_assert(offsetof(WIN32_FIND_DATAW, cFileName) == 40, "WIN32_FIND_DATAW layout");

extern "C" {
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD size, DWORD* written, void* overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);

// Searches: "\dir\*.txt", with * and ? in the last component. The entries
// "." and ".." are not reported.
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data);
BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data);
BOOL FindClose(HANDLE find);

BOOL CreateDirectoryW(LPCWSTR name, SECURITY_ATTRIBUTES* security);
DWORD GetFileAttributesW(LPCWSTR name);
// "\Temp\" (the folder exists once this has been asked).
DWORD GetTempPathW(DWORD size, LPWSTR buffer);
}
