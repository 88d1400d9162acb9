#include "kernel_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "wce/device.h"
#include "wce/kernel.h"

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
constexpr size_t kNameCount = sizeof kNames / sizeof kNames[0];
constexpr u32 kBase = 0x32000000;

std::map<std::string, u32> bind_all() {
  static u32 names[kNameCount + 1];
  for (size_t i = 0; i < kNameCount; i++) names[i] = guest_addr(kNames[i]);
  names[kNameCount] = 0;
  static ImportDesc imports[] = {{"KERNEL32.dll", names, 0x1000}, {nullptr, nullptr, 0}};
  static ExportEntry exports[] = {{0, 0}};
  static const u32 relocs[] = {0};
  static ModuleInfo mi = {};
  mi.Base = kBase;
  mi.Len = 0x2000;
  mi.Name = "KBOUND";
  mi.Imports = imports;
  mi.Exports = exports;
  mi.Relocs = relocs;
  EXPECT_EQ(InitModule(&mi, nullptr, 0), 1);
  std::map<std::string, u32> slots;
  for (size_t i = 0; i < kNameCount; i++) slots[kNames[i]] = guest_read32(mi.Base + 0x1000 + 4 * i);
  return slots;
}

}  // namespace

u32 api(const char* name) {
  static const std::map<std::string, u32> slots = bind_all();
  auto it = slots.find(name);
  if (it == slots.end()) {
    ADD_FAILURE() << "the test support does not import " << name;
    return NATIVE_TAG;
  }
  return it->second;
}

GuestCall::GuestCall(const char* name, std::initializer_list<u32> args) {
  u32 target = api(name);
  memset(&env, 0, sizeof env);
  env.EAX = 0xA5A5A5A5;
  env.EBX = 0x1B1B1B1B;
  env.ECX = 0x2C2C2C2C;
  env.EDX = 0x3D3D3D3D;
  env.ESI = 0x4E4E4E4E;
  env.EDI = 0x5F5F5F5F;
  env.EBP = 0x6A6A6A6A;
  env.EFLAGS = FLAG_CF | FLAG_ZF | FLAG_OF;
  u32 esp = guest_addr(stack) + 401;  // odd on purpose
  std::vector<u32> list(args);
  for (size_t i = list.size(); i-- > 0;) {
    esp -= 4;
    guest_write32(esp, list[i]);
  }
  esp -= 4;
  guest_write32(esp, kReturnAddress);
  env.ESP = esp;
  env.EIP = target;
  before = env;
  HandleDefault(&env, nullptr);
}

bool GuestCall::others_kept() const {
  return env.EBX == before.EBX && env.ECX == before.ECX && env.EDX == before.EDX && env.ESI == before.ESI &&
         env.EDI == before.EDI && env.EBP == before.EBP && env.EFLAGS == before.EFLAGS;
}

u32 guest_call(Env* env, const char* name, std::initializer_list<u32> args) {
  std::vector<u32> list(args);
  for (size_t i = list.size(); i-- > 0;) {
    env->ESP -= 4;
    guest_write32(env->ESP, list[i]);
  }
  env->ESP -= 4;
  guest_write32(env->ESP, kReturnAddress);
  u32 esp = env->ESP;
  env->EIP = api(name);
  HandleDefault(env, nullptr);
  EXPECT_EQ(env->EIP, kReturnAddress) << name;
  EXPECT_EQ(env->ESP, esp + 4 + 4 * list.size()) << name;
  return env->EAX;
}

std::string log_text() {
  std::ifstream in(device_root() + "/trevik.txt", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
