// Timers: SetTimer and KillTimer, and the WM_TIMER messages the message
// loop makes of them. A timer belongs to the thread of its window (or to
// the thread that set it, for a timer without a window); its WM_TIMER is
// made when the thread's queue holds nothing else, at most one per timer
// however late the thread is, as Win32 does.
#include <chrono>
#include <vector>

#include "wce/kernel.h"
#include "wce/time.h"
#include "wm.h"

namespace {

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  DWORD thread;
  WmClock::time_point due;
};

std::vector<Timer>& timers() {
  static auto* list = new std::vector<Timer>;  // never destroyed, like the queues
  return *list;
}

// The shortest period Win32 keeps to.
constexpr UINT kMinimumElapse = 10;
// Identifiers of timers without a window start here.
UINT_PTR g_next_thread_timer = 0x7000;

}  // namespace

extern "C" UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  std::lock_guard<std::mutex> hold(wm_lock());
  const DWORD self = GetCurrentThreadId();
  DWORD thread = self;
  if (hwnd) {
    Window* w = wm_window_checked(hwnd);
    if (!w) return 0;
    if (w->thread != self) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    thread = w->thread;
  }
  if (elapse < kMinimumElapse) elapse = kMinimumElapse;
  if (elapse > 0x7FFFFFFF) elapse = 0x7FFFFFFF;
  const auto due = WmClock::now() + std::chrono::milliseconds(elapse);
  // The same window and identifier (or the thread's own timer without a
  // window) replaces the earlier timer.
  for (Timer& t : timers()) {
    if (t.hwnd == hwnd && t.id == id && (hwnd || t.thread == self)) {
      t.elapse = elapse;
      t.proc = proc;
      t.due = due;
      wm_queue(thread).wake.notify_all();
      return hwnd ? (id ? id : 1) : id;
    }
  }
  if (!hwnd) id = g_next_thread_timer++;
  timers().push_back(Timer{hwnd, id, elapse, proc, thread, due});
  wm_queue(thread).wake.notify_all();
  return hwnd ? (id ? id : 1) : id;
}

extern "C" BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  std::lock_guard<std::mutex> hold(wm_lock());
  const DWORD self = GetCurrentThreadId();
  auto& list = timers();
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->hwnd == hwnd && it->id == id && (hwnd || it->thread == self)) {
      list.erase(it);
      return TRUE;
    }
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

bool wm_due_timer(DWORD thread, HWND hwnd, UINT first, UINT last, bool take, MSG* msg) {
  if (!(first == 0 && last == 0) && (WM_TIMER < first || WM_TIMER > last)) return false;
  const auto now = WmClock::now();
  for (Timer& t : timers()) {
    if (t.thread != thread || (hwnd && t.hwnd != hwnd) || t.due > now) continue;
    *msg = MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), GetTickCount(), {0, 0}};
    if (take) t.due = now + std::chrono::milliseconds(t.elapse);
    return true;
  }
  return false;
}

bool wm_next_timer(DWORD thread, WmClock::time_point* due) {
  bool any = false;
  for (const Timer& t : timers()) {
    if (t.thread != thread || (any && t.due >= *due)) continue;
    *due = t.due;
    any = true;
  }
  return any;
}

void wm_forget_timers(HWND hwnd) {
  auto& list = timers();
  for (auto it = list.begin(); it != list.end();) it = it->hwnd == hwnd ? list.erase(it) : it + 1;
}

bool wm_timer_has_proc(HWND hwnd, UINT_PTR id, TIMERPROC proc) {
  for (const Timer& t : timers())
    if (t.hwnd == hwnd && t.id == id && t.proc == proc) return true;
  return false;
}
