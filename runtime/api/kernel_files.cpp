// Kernel services, files and handles: pass-through to the
// device and to Zentrix, and the answers that describe the emulated
// machine's drives and folders.
#include <cstring>

#include "handler.h"
#include "wce/file.h"
#include "wce/kernel.h"
#include "wce/synch.h"
#include "zentrix.h"

using services::pass_through;

namespace {

constexpr u32 kCurrentThreadPseudo = 0x41;
constexpr char kWindowsDirectory[] = "\\windows";

// GetFileType(hFile): the handle is not examined beyond this test.
void get_file_type(Env* env) {
  u32 result = 1;  // FILE_TYPE_DISK
  if (arg(env, 1) == 0xFFFFFFFF) {
    SetLastError(ERROR_INVALID_HANDLE);
    result = 0;  // FILE_TYPE_UNKNOWN
  }
  guest_return_value(env, result, 1);
}

// GetDriveTypeA(lpRootPathName): C: is a fixed disk, D: a CD-ROM drive.
// A null root asks about the current drive, which is C:.
void get_drive_type(Env* env) {
  const char* root = arg_as<const char*>(env, 1);
  u32 type = 3;  // DRIVE_FIXED
  if (root) {
    char c = root[0];
    type = (c == 'C' || c == 'c') ? 3 : (c == 'D' || c == 'd') ? 5 : 0;  // DRIVE_CDROM, DRIVE_UNKNOWN
  }
  guest_return_value(env, type, 1);
}

// GetSystemDirectoryA and GetWindowsDirectoryA: strncpy of "\windows"
// (no terminator when uSize is 8 or less); 8 whatever uSize was.
void get_windows_directory(Env* env) {
  strncpy(arg_as<char*>(env, 1), kWindowsDirectory, arg(env, 2));
  guest_return_value(env, sizeof kWindowsDirectory - 1, 2);
}

// DuplicateHandle: the current-thread pseudo handle becomes the thread's
// identifier, which is also its handle on the device; anything else goes
// to the device.
void duplicate_handle(Env* env) {
  u32 result;
  if (arg(env, 2) == kCurrentThreadPseudo) {
    guest_write32(arg(env, 4), GetCurrentThreadId());
    result = 1;
  } else {
    result = DuplicateHandle(arg_as<HANDLE>(env, 1), arg_as<HANDLE>(env, 2), arg_as<HANDLE>(env, 3),
                             arg_as<HANDLE*>(env, 4), arg(env, 5), arg_as<BOOL>(env, 6), arg(env, 7));
  }
  guest_return_value(env, result, 7);
}

}  // namespace

extern const ApiEntry kKernelFileApis[] = {
    {"CloseHandle", pass_through<CloseHandle>},
    {"CreateFileA", pass_through<CreateFileA>},
    {"ReadFile", pass_through<ReadFile>},
    {"WriteFile", pass_through<WriteFile>},
    {"SetFilePointer", pass_through<SetFilePointer>},
    {"GetFileSize", pass_through<GetFileSize>},
    {"SetEndOfFile", pass_through<SetEndOfFile>},
    {"FlushFileBuffers", pass_through<FlushFileBuffers>},
    {"FindFirstFileA", pass_through<FindFirstFileA>},
    {"FindNextFileA", pass_through<FindNextFileA>},
    {"FindClose", pass_through<FindClose>},
    {"DeleteFileA", pass_through<DeleteFileA>},
    {"GetFileAttributesA", pass_through<GetFileAttributesA>},
    {"CreateDirectoryA", pass_through<CreateDirectoryA>},
    {"GetTempPathA", pass_through<GetTempPathA>},
    {"GetFileType", get_file_type},
    {"GetDriveTypeA", get_drive_type},
    {"GetSystemDirectoryA", get_windows_directory},
    {"GetWindowsDirectoryA", get_windows_directory},
    {"DuplicateHandle", duplicate_handle},
    {nullptr, nullptr},
};
