// The guest calling convention for every handler of the kernel family:
// each pops its return address and exactly its arguments (stdcall), goes
// back to the return address, touches no register but EAX, and leaves EAX
// alone where it has no result.
#include <gtest/gtest.h>

#include <cstring>

#include "kernel_support.h"
#include "wce/kernel.h"

namespace {

struct Case {
  const char* name;
  u32 arguments;
  bool keeps_eax;
};

// Buffers and records the calls may write into.
alignas(4) uint8_t g_scratch[4096];
u32 scratch(u32 offset) { return guest_addr(g_scratch) + offset; }

const u32 kBad = 0x00ABC000;  // no handle, no heap, no thread

// Arguments for each call that are harmless to hand to the device.
std::vector<u32> harmless_arguments(const char* name, u32 count) {
  static char path_none[] = "\\kernel_calls\\none.txt";
  static char dir_new[] = "\\kernel_calls_dir";
  static char pattern[] = "\\kernel_calls\\*.none";
  static char nodot[] = "NODOT";
  static char proc[] = "Nothing";
  std::string n = name;
  if (n == "CreateFileA") return {guest_addr(path_none), 0x80000000, 0, 0, 3, 0, 0};
  if (n == "FindFirstFileA") return {guest_addr(pattern), scratch(0)};
  if (n == "FindNextFileA") return {kBad, scratch(0)};  // the record is written even on failure
  if (n == "GetModuleHandleA") return {0};
  if (n == "DeleteFileA" || n == "GetFileAttributesA") return {guest_addr(path_none)};
  if (n == "CreateDirectoryA") return {guest_addr(dir_new), 0};
  if (n == "GetTempPathA") return {260, scratch(0)};
  if (n == "GetDriveTypeA") return {guest_addr(path_none)};
  if (n == "GetSystemDirectoryA" || n == "GetWindowsDirectoryA") return {scratch(0), 260};
  if (n == "DuplicateHandle") return {0x42, 0x41, 0x42, scratch(0), 0, 0, 2};
  if (n == "ReadFile" || n == "WriteFile") return {kBad, scratch(0), 1, scratch(8), 0};
  if (n == "GlobalAlloc") return {0x40, 16};
  if (n == "GlobalFree") return {0};
  if (n == "VirtualAlloc") return {0, 0, 0x3000, 4};  // size 0: refused
  if (n == "IsBadReadPtr" || n == "IsBadWritePtr") return {scratch(0), 4};
  if (n == "IsBadCodePtr") return {scratch(0)};
  if (n == "HeapCreate") return {0, 0, 0};
  if (n == "CreateEventA") return {0, 1, 0, 0};
  if (n == "GetProcessAffinityMask") return {0x42, scratch(0), scratch(5)};
  if (n == "Sleep") return {0};
  if (n == "TlsGetValue") return {63};
  if (n == "TlsSetValue") return {63, 0};
  if (n == "WaitForMultipleObjects") return {1, scratch(0), 0, 0};
  if (n.find("CriticalSection") != std::string::npos) return {scratch(64)};  // 64..87, kept
  if (n == "TerminateProcess") return {0x99, 0};  // not this process: refused
  if (n == "GetProfileStringA") return {0, 0, 0, scratch(0), 16};
  if (n == "GetProfileIntA") return {0, 0, 7};
  if (n == "GetStartupInfoA") return {scratch(0)};
  if (n == "GetSystemInfo" || n == "GetLocalTime" || n == "GetSystemTime" || n == "GetTimeZoneInformation" ||
      n == "QueryPerformanceCounter" || n == "QueryPerformanceFrequency")
    return {scratch(0)};
  if (n == "GetVersionExA") {
    guest_write32(scratch(0), 148);
    return {scratch(0)};
  }
  if (n == "GetModuleFileNameA") return {0, scratch(0), 260};
  if (n == "GetProcAddress") return {0, guest_addr(proc)};
  if (n == "LoadLibraryA") return {guest_addr(nodot)};
  if (n == "RtlUnwind" || n == "RaiseException") return {0, 0, 0, 0};
  std::vector<u32> args(count, kBad);
  return args;
}

// The kernel family of the API table with each function's number of arguments.
const Case kFamily[] = {
    // Files and handles.
    {"CloseHandle", 1, false}, {"CreateDirectoryA", 2, false}, {"CreateFileA", 7, false},
    {"DeleteFileA", 1, false}, {"DuplicateHandle", 7, false}, {"FindClose", 1, false},
    {"FindFirstFileA", 2, false}, {"FindNextFileA", 2, false}, {"FlushFileBuffers", 1, false},
    {"GetCurrentDirectoryA", 2, false}, {"GetDriveTypeA", 1, false}, {"GetFileAttributesA", 1, false},
    {"GetFileSize", 2, false}, {"GetFileType", 1, false}, {"GetLogicalDrives", 0, false},
    {"GetStdHandle", 1, false}, {"GetSystemDirectoryA", 2, false}, {"GetTempPathA", 2, false},
    {"GetWindowsDirectoryA", 2, false}, {"OpenFile", 3, false}, {"ReadFile", 5, false},
    {"SetCurrentDirectoryA", 1, false}, {"SetEndOfFile", 1, false}, {"SetFilePointer", 4, false},
    {"SetHandleCount", 1, false}, {"SetStdHandle", 2, false}, {"WriteFile", 5, false},
    // Memory.
    {"GlobalAlloc", 2, false}, {"GlobalFree", 1, false}, {"GlobalHandle", 1, false}, {"GlobalLock", 1, false},
    {"GlobalUnlock", 1, false}, {"HeapAlloc", 3, false}, {"HeapCreate", 3, false}, {"HeapDestroy", 1, false},
    {"HeapFree", 3, false}, {"HeapReAlloc", 4, false}, {"HeapSize", 3, false}, {"IsBadCodePtr", 1, false},
    {"IsBadReadPtr", 2, false}, {"IsBadWritePtr", 2, false}, {"VirtualAlloc", 4, false},
    {"VirtualFree", 3, false},
    // Threads and synchronisation (CreateThread: guest_threads_test.cpp).
    {"CreateEventA", 4, false}, {"DeleteCriticalSection", 1, true}, {"EnterCriticalSection", 1, true},
    {"GetCurrentThread", 0, false}, {"GetCurrentThreadId", 0, false}, {"GetProcessAffinityMask", 3, false},
    {"InitializeCriticalSection", 1, true}, {"LeaveCriticalSection", 1, true}, {"ResetEvent", 1, false},
    {"ResumeThread", 1, false}, {"SetEvent", 1, false}, {"SetThreadAffinityMask", 2, false},
    {"SetThreadPriority", 2, false}, {"Sleep", 1, true}, {"SuspendThread", 1, false}, {"TlsAlloc", 0, false},
    {"TlsGetValue", 1, false}, {"TlsSetValue", 2, false}, {"WaitForMultipleObjects", 4, false},
    {"WaitForSingleObject", 2, false},
    // Process and environment (ExitProcess: answers_test.cpp).
    {"FreeEnvironmentStringsA", 1, false}, {"FreeEnvironmentStringsW", 1, false}, {"GetCommandLineA", 0, false},
    {"GetCurrentProcess", 0, false}, {"GetCurrentProcessId", 0, false}, {"GetEnvironmentStrings", 0, false},
    {"GetEnvironmentStringsW", 0, false}, {"GetProfileIntA", 3, false}, {"GetProfileStringA", 5, false},
    {"GetStartupInfoA", 1, true}, {"GetSystemInfo", 1, true}, {"GetVersion", 0, false},
    {"GetVersionExA", 1, false}, {"SetEnvironmentVariableA", 2, false}, {"SetErrorMode", 1, false},
    {"TerminateProcess", 2, false},
    // Time.
    {"GetLocalTime", 1, true}, {"GetSystemTime", 1, true}, {"GetTickCount", 0, false},
    {"GetTimeZoneInformation", 1, false}, {"QueryPerformanceCounter", 1, false},
    {"QueryPerformanceFrequency", 1, false}, {"timeGetTime", 0, false},
    // Errors and exceptions.
    {"GetLastError", 0, false}, {"SetLastError", 1, true}, {"RaiseException", 4, false},
    {"RtlUnwind", 4, true}, {"SetUnhandledExceptionFilter", 1, false}, {"UnhandledExceptionFilter", 1, false},
    // Modules.
    {"DisableThreadLibraryCalls", 1, false}, {"FreeLibrary", 1, false}, {"GetModuleFileNameA", 3, false},
    {"GetModuleHandleA", 1, false}, {"GetProcAddress", 2, false}, {"LoadLibraryA", 1, false},
    {"LoadModule", 2, false},
};

GuestCall call_with(const Case& c, const std::vector<u32>& args) {
  switch (args.size()) {
    case 0: return GuestCall(c.name, {});
    case 1: return GuestCall(c.name, {args[0]});
    case 2: return GuestCall(c.name, {args[0], args[1]});
    case 3: return GuestCall(c.name, {args[0], args[1], args[2]});
    case 4: return GuestCall(c.name, {args[0], args[1], args[2], args[3]});
    case 5: return GuestCall(c.name, {args[0], args[1], args[2], args[3], args[4]});
    case 7: return GuestCall(c.name, {args[0], args[1], args[2], args[3], args[4], args[5], args[6]});
    default: ADD_FAILURE() << c.name; return GuestCall(c.name, {});
  }
}

}  // namespace

TEST(Calls, EveryKernelNameHasAHandler) {
  for (const Case& c : kFamily) EXPECT_GT(api(c.name), NATIVE_TAG) << c.name;
  EXPECT_EQ(api("CreateThread") > NATIVE_TAG, true);
  EXPECT_EQ(api("ExitProcess") > NATIVE_TAG, true);
  EXPECT_EQ(api("NoSuchKernelFunction"), NATIVE_TAG);
}

TEST(Calls, EachHandlerPopsItsArgumentsAndTouchesOnlyEax) {
  // The critical-section calls share one record: initialise it first.
  memset(g_scratch, 0, sizeof g_scratch);
  for (const Case& c : kFamily) {
    memset(g_scratch, 0, 64);
    memset(g_scratch + 128, 0, sizeof g_scratch - 128);
    std::vector<u32> args = harmless_arguments(c.name, c.arguments);
    ASSERT_EQ(args.size(), c.arguments) << c.name;
    if (std::string(c.name) == "EnterCriticalSection") GuestCall("InitializeCriticalSection", {scratch(64)});
    if (std::string(c.name) == "LeaveCriticalSection") GuestCall("EnterCriticalSection", {scratch(64)});
    GuestCall call = call_with(c, args);
    EXPECT_EQ(call.env.EIP, kReturnAddress) << c.name;
    EXPECT_EQ(call.popped_words(), 1 + c.arguments) << c.name;
    EXPECT_TRUE(call.others_kept()) << c.name;
    if (c.keeps_eax) {
      EXPECT_EQ(call.eax(), 0xA5A5A5A5u) << c.name;
    }
  }
}
