// Keyboard focus, mouse capture and the active window.
#include "wce/kernel.h"
#include "wm.h"

namespace {
HWND g_focus;
HWND g_capture;
}  // namespace

HWND wm_capture_locked() { return g_capture; }
HWND wm_focus_locked() { return g_focus; }

void wm_forget_input(HWND hwnd) {
  if (g_focus == hwnd) g_focus = nullptr;
  if (g_capture == hwnd) g_capture = nullptr;
}

extern "C" HWND SetCapture(HWND hwnd) {
  std::lock_guard<std::mutex> hold(wm_lock());
  HWND previous = g_capture;
  if (hwnd && !wm_window_checked(hwnd)) return nullptr;
  g_capture = hwnd;
  return previous;
}

extern "C" BOOL ReleaseCapture(void) {
  std::lock_guard<std::mutex> hold(wm_lock());
  g_capture = nullptr;
  return TRUE;
}

extern "C" HWND GetCapture(void) {
  std::lock_guard<std::mutex> hold(wm_lock());
  return g_capture;
}

namespace {

// Sent to a window of the calling thread; posted to another thread's, which
// may be waiting for this one and must not be waited for.
void tell(HWND hwnd, UINT message, WPARAM wParam) {
  DWORD owner = GetWindowThreadProcessId(hwnd, nullptr);
  if (!owner) return;
  if (owner == GetCurrentThreadId())
    SendMessageW(hwnd, message, wParam, 0);
  else
    PostMessageW(hwnd, message, wParam, 0);
}

}  // namespace

// The window losing the focus hears of it first (WM_KILLFOCUS with the
// new one), then the new one (WM_SETFOCUS with the old one).
extern "C" HWND SetFocus(HWND hwnd) {
  HWND previous;
  {
    std::lock_guard<std::mutex> hold(wm_lock());
    if (hwnd && !wm_window_checked(hwnd)) return nullptr;
    previous = g_focus;
    if (previous == hwnd) return previous;
    g_focus = hwnd;
  }
  if (previous) tell(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd));
  if (hwnd) tell(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous));
  return previous;
}

extern "C" HWND GetFocus(void) {
  std::lock_guard<std::mutex> hold(wm_lock());
  Window* w = g_focus ? wm_window(g_focus) : nullptr;
  return w && w->thread == GetCurrentThreadId() ? g_focus : nullptr;
}

// The foreground window, when it belongs to the calling thread.
extern "C" HWND GetActiveWindow(void) {
  std::lock_guard<std::mutex> hold(wm_lock());
  HWND active = wm_foreground_locked();
  Window* w = active ? wm_window(active) : nullptr;
  return w && w->thread == GetCurrentThreadId() ? active : nullptr;
}
