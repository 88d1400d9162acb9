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
#include <vector>

#include "wce/window.h"

struct WindowClass {
  std::u16string name;
  WNDPROC proc;
  UINT style;
  HINSTANCE instance;
  int window_extra = 0;  // cbWndExtra: bytes of SetWindowLongW storage per window
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
  // Stacking order among siblings: the higher is on top.
  uint32_t z = 0;
  RECT update{};  // the area waiting for WM_PAINT (client coordinates)
  LONG user_data = 0;
  LONG id = 0;
  std::vector<uint8_t> extra;  // the class's cbWndExtra bytes
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
// The same, with the last error ERROR_INVALID_WINDOW_HANDLE when there is
// no such window.
Window* wm_window_checked(HWND hwnd);
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

// Geometry, stacking and input (lock held). A window's rectangle is kept in
// its parent's client coordinates (the screen's for a top-level window);
// the client area is the whole window.
POINT wm_client_origin(const Window& w);
// A child window lives inside its parent; a window with a parent but no
// WS_CHILD is a top-level window the parent owns.
inline bool wm_is_child(const Window& w) { return (w.style & WS_CHILD) && w.parent; }
// Marks an area of the window (client coordinates; null: all of it) for
// WM_PAINT and wakes its thread.
void wm_invalidate_locked(Window& w, const RECT* area);
// The deepest visible, enabled window at a screen point, or null.
HWND wm_window_at(POINT screen);
// Puts a window on top of its siblings.
void wm_raise(Window& w);
HWND wm_foreground_locked();
HWND wm_capture_locked();
HWND wm_focus_locked();
// The top-level window a window belongs to.
HWND wm_top_level(HWND hwnd);
// Focus and capture leave a window that is destroyed.
void wm_forget_input(HWND hwnd);

// Held-pen recognition for SHRecognizeGesture (lock not held): waits while
// the pen stays down and still, and answers true when it has been held for
// `hold_ms` (or the host's right button asked for the gesture), false when
// it was lifted or moved more than `tolerance` pixels first. `at` gets the
// pen's screen point.
bool wm_pen_held(unsigned hold_ms, int tolerance, POINT* at);
// A key message taken from a queue moves the key state that GetKeyState
// and TranslateMessage read.
void wm_note_key_message(const MSG& msg);
