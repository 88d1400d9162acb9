#include "kernel_support.h"

#include <gtest/gtest.h>

#include <iterator>
#include <vector>


namespace {

// Every name the tests call, imported by one translated-style module.
const char* const kNames[] = {
    // Files and handles.
    "CloseHandle", "CreateDirectoryA", "CreateFileA", "DeleteFileA", "DuplicateHandle", "FindClose",
    "FindFirstFileA", "FindNextFileA", "FlushFileBuffers", "GetCurrentDirectoryA", "GetDriveTypeA",
    "GetFileAttributesA", "GetFileSize", "GetFileType", "GetLogicalDrives", "GetStdHandle", "GetSystemDirectoryA",
    "GetTempPathA", "GetWindowsDirectoryA", "OpenFile", "ReadFile", "SetCurrentDirectoryA", "SetEndOfFile",
    "SetFilePointer", "SetHandleCount", "SetStdHandle", "WriteFile",
    // Memory.
    "GlobalAlloc", "GlobalFree", "GlobalHandle", "GlobalLock", "GlobalUnlock", "HeapAlloc", "HeapCreate",
    "HeapDestroy", "HeapFree", "HeapReAlloc", "HeapSize", "IsBadCodePtr", "IsBadReadPtr", "IsBadWritePtr",
    "VirtualAlloc", "VirtualFree",
    // Threads and synchronisation.
    "CreateEventA", "CreateThread", "DeleteCriticalSection", "EnterCriticalSection", "GetCurrentThread",
    "GetCurrentThreadId", "GetProcessAffinityMask", "InitializeCriticalSection", "LeaveCriticalSection",
    "ResetEvent", "ResumeThread", "SetEvent", "SetThreadAffinityMask", "SetThreadPriority", "Sleep",
    "SuspendThread", "TlsAlloc", "TlsGetValue", "TlsSetValue", "WaitForMultipleObjects", "WaitForSingleObject",
    // Process and environment.
    "ExitProcess", "FreeEnvironmentStringsA", "FreeEnvironmentStringsW", "GetCommandLineA", "GetCurrentProcess",
    "GetCurrentProcessId", "GetEnvironmentStrings", "GetEnvironmentStringsW", "GetProfileIntA",
    "GetProfileStringA", "GetStartupInfoA", "GetSystemInfo", "GetVersion", "GetVersionExA",
    "SetEnvironmentVariableA", "SetErrorMode", "TerminateProcess",
    // Time.
    "GetLocalTime", "GetSystemTime", "GetTickCount", "GetTimeZoneInformation", "QueryPerformanceCounter",
    "QueryPerformanceFrequency", "timeGetTime",
    // Errors and exceptions.
    "GetLastError", "SetLastError", "RaiseException", "RtlUnwind", "SetUnhandledExceptionFilter",
    "UnhandledExceptionFilter",
    // Modules.
    "DisableThreadLibraryCalls", "FreeLibrary", "GetModuleFileNameA", "GetModuleHandleA", "GetProcAddress",
    "LoadLibraryA", "LoadModule",
    // Not in the table.
    "NoSuchKernelFunction",
};
constexpr u32 kBase = 0x32000000;

}  // namespace

u32 api(const char* name) {
  static GuestApi table("KBOUND", kBase, std::vector<const char*>(std::begin(kNames), std::end(kNames)));
  return table(name);
}
