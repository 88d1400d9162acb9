// The wave bridge: the device calls it on its audio thread for a wave
// device opened with a guest callback function, and it runs the guest's
// callback in an Env and a 262,144-byte guest stack area of this frame,
// with the guest's own instance value.
#include <cstring>

#include "handler.h"
#include "wce/kernel.h"

namespace {

constexpr u32 kGuestStackSize = 262144;
constexpr u32 kInitialDepth = 160;  // ESP starts this far below the area's top

}  // namespace

void WaveBridge(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2) {
  WaveCallback* record = reinterpret_cast<WaveCallback*>(instance);
  Env env;
  memset(&env, 0, sizeof env);
  alignas(16) uint8_t guest_stack[kGuestStackSize];
  env.ESP = guest_addr(guest_stack) + kGuestStackSize - kInitialDepth;
  const u32 frame[6] = {RETURN_SENTINEL, guest_addr(device), message, record->GuestInstance,
                        static_cast<u32>(param1), static_cast<u32>(param2)};
  for (u32 i = 0; i < 6; i++) guest_write32(env.ESP + 4 * i, frame[i]);
  env.EIP = record->GuestCallback;
  env.EFLAGS = 0;
  // Looked up on the first call and kept.
  if (!record->Module) record->Module = FindModule(record->GuestCallback);
  if (!record->Module) {
    MessageBoxW(nullptr, u"Cannot find waveOutProc", u"Error", MB_ICONERROR);
    TerminateProcess(reinterpret_cast<HANDLE>(0x42), 0xFFFFFFFF);
    return;
  }
  record->Module->Dispatch(&env, record->Module);
}
