// Kernel services, the process and its environment, and errors: what the
// guest is told about the emulated machine, and the orderly way out.
#include <cstring>

#include "handler.h"
#include "wce/kernel.h"
#include "wce/sysinfo.h"
#include "wce/window.h"
#include "zentrix.h"

using services::pass_through;

namespace {

// One static block of two variables; the literal's own terminator is the
// second zero after the last one.
const char16_t kEnvironment[] = u"windir=\\windows\0ProgramFiles=\\Program Files\0";
static_assert(sizeof kEnvironment / sizeof kEnvironment[0] == 45, "two variables and the closing zero");

constexpr u32 kStartupShowWindow = 48;  // STARTUPINFOA.wShowWindow
constexpr u32 kShowNormal = 5;          // SW_SHOW
constexpr u32 kVersionPlatformId = 16;  // OSVERSIONINFOA.dwPlatformId

void get_environment_strings_w(Env* env) { guest_return_value(env, guest_addr(kEnvironment), 0); }

// GetStartupInfoA: only wShowWindow, 16 bits; no result.
void get_startup_info(Env* env) {
  uint8_t* show = arg_as<uint8_t*>(env, 1) + kStartupShowWindow;
  show[0] = static_cast<uint8_t>(kShowNormal);  // byte by byte: the record may be unaligned
  show[1] = static_cast<uint8_t>(kShowNormal >> 8);
  guest_return(env, 1);
}

// GetProfileStringA: no profile file exists; the default answers.
void get_profile_string(Env* env) {
  const char* given = arg_as<const char*>(env, 3);
  const char* answer = given ? given : "";
  u32 length = static_cast<u32>(strlen(answer));
  strncpy(arg_as<char*>(env, 4), answer, arg(env, 5));
  guest_return_value(env, length, 5);
}

// GetVersionExA: the device's numbers, told as Windows NT.
void get_version_ex(Env* env) {
  u32 record = arg(env, 1);
  u32 result = GetVersionExA(arg_as<OSVERSIONINFOA*>(env, 1));
  guest_write32(record + kVersionPlatformId, 2);  // VER_PLATFORM_WIN32_NT, whatever the call said
  guest_return_value(env, result, 1);
}

void get_system_info(Env* env) {
  GetSystemInfo(arg_as<SYSTEM_INFO*>(env, 1));
  guest_return(env, 1);
}

void set_last_error(Env* env) {
  SetLastError(arg(env, 1));
  guest_return(env, 1);
}

// ExitProcess: the display as it was, then the end; no return to the guest.
void exit_process(Env* env) {
  u32 code = arg(env, 1);
  RestoreDisplay(GetForegroundWindow());
  TerminateProcess(reinterpret_cast<HANDLE>(0x42), code);
  for (;;) Sleep(INFINITE);
}

}  // namespace

extern const ApiEntry kKernelProcessApis[] = {
    {"ExitProcess", exit_process},
    {"TerminateProcess", pass_through<TerminateProcess>},
    {"GetCommandLineA", pass_through<GetCommandLineA>},
    {"GetCurrentProcessId", pass_through<GetCurrentProcessId>},
    {"GetEnvironmentStringsW", get_environment_strings_w},
    {"GetStartupInfoA", get_startup_info},
    {"GetProfileStringA", get_profile_string},
    {"GetSystemInfo", get_system_info},
    {"GetVersionExA", get_version_ex},
    {"GetLastError", pass_through<GetLastError>},
    {"SetLastError", set_last_error},
    {nullptr, nullptr},
};
