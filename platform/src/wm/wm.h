// The window manager's shared state: windows, classes and the per-thread
// message queues. One lock guards it all; window procedures are always
// called with the lock released.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "wce/window.h"

struct WindowClass {
  std::u16string name;
  WNDPROC proc;
  UINT style;
  HINSTANCE instance;
};

struct Window {
  HWND hwnd;
  const WindowClass* cls;
  WNDPROC proc;
  std::u16string text;
  DWORD style;
  DWORD ex_style;
  RECT rect;
  HWND parent;
  HMENU menu;
  HINSTANCE instance;
  DWORD thread;
  bool needs_paint;
};

// A message sent from another thread, waiting for its reply.
struct SentMessage {
  MSG msg;
  DWORD sender;
  LRESULT result;
  bool done;
};

struct MessageQueue {
  std::deque<MSG> posted;
  std::deque<SentMessage*> sent;
  bool quit;
  int quit_code;
  std::condition_variable wake;
};

std::mutex& wm_lock();
// Lock held for all of these.
Window* wm_window(HWND hwnd);
MessageQueue& wm_queue(DWORD thread);
const WindowClass* wm_class(const WCHAR* name);
std::map<HWND, Window>& wm_windows();
void wm_post_locked(DWORD thread, const MSG& msg);
// Registers the system classes once.
void wm_init_system_classes();
LRESULT button_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Runs sent messages waiting for the calling thread; lock held on entry
// and on return (released around each window procedure).
void wm_deliver_sent(std::unique_lock<std::mutex>& hold, MessageQueue& queue);

// Timers (lock held). The clock of their due times:
using WmClock = std::chrono::steady_clock;
// A WM_TIMER of `thread` that is due and passes the filter; with `take`
// the timer's next period starts now.
bool wm_due_timer(DWORD thread, HWND hwnd, UINT first, UINT last, bool take, MSG* msg);
// The earliest due time of the thread's timers; false when it has none.
bool wm_next_timer(DWORD thread, WmClock::time_point* due);
// Whether `proc` is the procedure of the timer (hwnd, id): a WM_TIMER posted
// by anyone with some lParam must not make DispatchMessageW call it.
bool wm_timer_has_proc(HWND hwnd, UINT_PTR id, TIMERPROC proc);
// A destroyed window's timers go with it.
void wm_forget_timers(HWND hwnd);
