// The timer bridge: the device calls it from DispatchMessageW for the
// guest's one callback timer, and it runs the guest timer procedure in an
// Env and a 262,144-byte guest stack area of this frame.
#include <cstring>

#include "handler.h"
#include "wce/kernel.h"

namespace {

constexpr u32 kGuestStackSize = 262144;
constexpr u32 kInitialDepth = 160;  // ESP starts this far below the area's top

}  // namespace

void TimerBridge(HWND window, UINT message, UINT_PTR id, DWORD time) {
  Env env;
  memset(&env, 0, sizeof env);
  alignas(16) uint8_t guest_stack[kGuestStackSize];
  env.ESP = guest_addr(guest_stack) + kGuestStackSize - kInitialDepth;
  const u32 frame[5] = {RETURN_SENTINEL, guest_addr(window), message, static_cast<u32>(id), time};
  for (u32 i = 0; i < 5; i++) guest_write32(env.ESP + 4 * i, frame[i]);
  env.EIP = g_bridge.TimerProcSlot;
  env.EFLAGS = 0;
  // Looked up on every tick.
  ModuleInfo* module = FindModule(env.EIP);
  if (!module) {
    MessageBoxW(nullptr, u"Cannot find TimerProc", u"Error", MB_ICONERROR);
    TerminateProcess(reinterpret_cast<HANDLE>(0x42), 0xFFFFFFFF);
    return;
  }
  module->Dispatch(&env, module);
}
