// The thread bridge: each guest CreateThread runs its start routine here,
// on its own native thread, in an Env and a 40,960-byte guest stack area
// of this frame.
#include <cstdlib>
#include <cstring>

#include "handler.h"
#include "wce/kernel.h"

namespace {

constexpr u32 kGuestStackSize = 40960;
constexpr u32 kInitialDepth = 128;  // ESP starts this far below the area's top

}  // namespace

DWORD ThreadBridge(LPVOID record) {
  const u32* start = static_cast<const u32*>(record);
  const u32 guest_start = start[0];
  const u32 guest_parameter = start[1];

  Env env;
  memset(&env, 0, sizeof env);
  alignas(16) uint8_t guest_stack[kGuestStackSize];
  env.ESP = guest_addr(guest_stack) + kGuestStackSize - kInitialDepth;
  guest_write32(env.ESP, RETURN_SENTINEL);
  guest_write32(env.ESP + 4, guest_parameter);
  env.EIP = guest_start;
  env.EFLAGS = 0;

  ModuleInfo* module = FindModule(guest_start);
  if (!module) {
    MessageBoxW(nullptr, u"Cannot find ThreadProc", u"Error", MB_ICONERROR);
    TerminateProcess(reinterpret_cast<HANDLE>(0x42), 0xFFFFFFFF);
    return 0xFFFFFFFF;
  }
  module->Dispatch(&env, module);
  free(record);
  return env.EAX;
}
