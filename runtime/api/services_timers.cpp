// Timers for the guest: a timer without a procedure posts WM_TIMER as
// usual; the guest's one timer procedure runs through the timer bridge.
#include "handler.h"
#include "wce/window.h"

using services::pass_through;

namespace {

// SetTimer(hWnd, nIDEvent, uElapse, lpTimerFunc). The process has at most
// one guest timer procedure in its life: the slot is never emptied, and a
// later callback timer is refused.
void set_timer(Env* env) {
  HWND window = arg_as<HWND>(env, 1);
  const UINT_PTR id = arg(env, 2);
  const UINT elapse = arg(env, 3);
  const u32 procedure = arg(env, 4);
  u32 result;
  if (!procedure) {
    result = static_cast<u32>(SetTimer(window, id, elapse, nullptr));
  } else if (!g_bridge.TimerProcSlot) {
    g_bridge.TimerProcSlot = procedure;
    result = static_cast<u32>(SetTimer(window, id, elapse, TimerBridge));
  } else {
    log_puts("More than one SetTimer with callback func not implemented");
    result = 0;
  }
  guest_return_value(env, result, 4);
}

}  // namespace

extern const ApiEntry kTimerApis[] = {
    {"SetTimer", set_timer},
    {"KillTimer", pass_through<KillTimer>},
    {nullptr, nullptr},
};
