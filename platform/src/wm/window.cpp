// Windows: creation, destruction, text, geometry and the foreground window.
#include <atomic>
#include <vector>

#include "wce/device.h"
#include "wce/kernel.h"
#include "wce/wstr.h"
#include "wm.h"

namespace {

std::mutex g_wm_lock;
std::map<HWND, Window> g_windows;
HWND g_foreground;
// Window handles are never reused, so a stale one stays invalid.
uint32_t g_next_window = 0x10000;

struct CreateStruct {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy, cx, y, x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};
static_assert(sizeof(CreateStruct) == 48, "CREATESTRUCTW layout");

}  // namespace

std::mutex& wm_lock() { return g_wm_lock; }
std::map<HWND, Window>& wm_windows() { return g_windows; }
HWND wm_foreground_locked() { return g_foreground; }

Window* wm_window(HWND hwnd) {
  auto it = g_windows.find(hwnd);
  return it == g_windows.end() ? nullptr : &it->second;
}

Window* wm_window_checked(HWND hwnd) {
  Window* w = wm_window(hwnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

extern "C" HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                                int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  HWND hwnd;
  {
    std::lock_guard<std::mutex> hold(g_wm_lock);
    const WindowClass* cls = className ? wm_class(className) : nullptr;
    if (!cls) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    if (parent && !wm_window_checked(parent)) return nullptr;
    if (x == CW_USEDEFAULT) x = 0, y = 0;
    if (width == CW_USEDEFAULT) width = device_screen_width(), height = device_screen_height();
    hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(g_next_window));
    g_next_window += 4;
    Window w{hwnd, cls, cls->proc, windowName ? windowName : u"", style, exStyle, {x, y, x + width, y + height},
             parent, menu, instance, GetCurrentThreadId(), (style & WS_VISIBLE) != 0, 0, {}, 0, 0, {}};
    if (cls->window_extra > 0) w.extra.assign(static_cast<size_t>(cls->window_extra), 0);
    if (style & WS_CHILD) w.id = static_cast<LONG>(reinterpret_cast<uintptr_t>(menu));
    wm_raise(w);
    g_windows[hwnd] = w;
  }
  CreateStruct cs = {param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
  if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hwnd);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if ((style & WS_VISIBLE) && !(style & WS_CHILD)) SetForegroundWindow(hwnd);
  return hwnd;
}

extern "C" BOOL DestroyWindow(HWND hwnd) {
  std::vector<HWND> children;
  {
    std::lock_guard<std::mutex> hold(g_wm_lock);
    Window* w = wm_window_checked(hwnd);
    if (!w) return FALSE;
    if (w->thread != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    for (auto& [h, child] : g_windows)
      if (child.parent == hwnd) children.push_back(h);
  }
  for (HWND child : children) DestroyWindow(child);
  SendMessageW(hwnd, WM_DESTROY, 0, 0);
  std::lock_guard<std::mutex> hold(g_wm_lock);
  g_windows.erase(hwnd);
  wm_forget_timers(hwnd);
  wm_forget_input(hwnd);
  if (g_foreground == hwnd) g_foreground = nullptr;
  return TRUE;
}

extern "C" BOOL IsWindow(HWND hwnd) {
  std::lock_guard<std::mutex> hold(g_wm_lock);
  return wm_window(hwnd) ? TRUE : FALSE;
}

extern "C" BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  std::lock_guard<std::mutex> hold(g_wm_lock);
  Window* w = wm_window(hwnd);
  if (!w || !rect) {
    SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = w->rect;
  if (wm_is_child(*w)) {
    if (Window* parent = wm_window(w->parent)) {
      const POINT origin = wm_client_origin(*parent);
      *rect = RECT{rect->left + origin.x, rect->top + origin.y, rect->right + origin.x, rect->bottom + origin.y};
    }
  }
  return TRUE;
}

extern "C" BOOL GetClientRect(HWND hwnd, RECT* rect) {
  RECT window;
  if (!GetWindowRect(hwnd, &window)) return FALSE;
  *rect = RECT{0, 0, window.right - window.left, window.bottom - window.top};
  return TRUE;
}

extern "C" int GetWindowTextW(HWND hwnd, LPWSTR buffer, int size) {
  std::lock_guard<std::mutex> hold(g_wm_lock);
  Window* w = wm_window_checked(hwnd);
  if (!w) return 0;
  if (!buffer || size <= 0) return 0;
  return static_cast<int>(wstr_copy_n(buffer, static_cast<size_t>(size), w->text));
}

extern "C" DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* process) {
  std::lock_guard<std::mutex> hold(g_wm_lock);
  Window* w = wm_window_checked(hwnd);
  if (!w) return 0;
  if (process) *process = 0x42;
  return w->thread;
}

extern "C" HWND GetForegroundWindow(void) {
  std::lock_guard<std::mutex> hold(g_wm_lock);
  return g_foreground;
}

// The new foreground window hears of its activation at once; the window
// that loses the foreground is told through its queue, so a thread blocked
// in its message loop wakes up.
extern "C" BOOL SetForegroundWindow(HWND hwnd) {
  HWND previous;
  {
    std::lock_guard<std::mutex> hold(g_wm_lock);
    Window* w = wm_window_checked(hwnd);
    if (!w) return FALSE;
    previous = g_foreground;
    if (previous == hwnd) return TRUE;
    g_foreground = hwnd;
    wm_raise(*w);
  }
  if (previous) PostMessageW(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
  SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
  // Keys go to the newly active window unless the focus is already inside it.
  HWND focus;
  {
    std::lock_guard<std::mutex> hold(g_wm_lock);
    focus = wm_focus_locked();
    if (focus && wm_top_level(focus) == hwnd) return TRUE;
    if (!wm_window(hwnd)) return TRUE;  // destroyed while activating
  }
  SetFocus(hwnd);
  return TRUE;
}

extern "C" LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      std::lock_guard<std::mutex> hold(g_wm_lock);
      if (Window* w = wm_window(hwnd)) w->needs_paint = false;
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SETTEXT: {
      std::lock_guard<std::mutex> hold(g_wm_lock);
      Window* w = wm_window(hwnd);
      if (!w) return FALSE;
      w->text = lParam ? reinterpret_cast<const WCHAR*>(lParam) : u"";
      return TRUE;
    }
    case WM_GETTEXTLENGTH: {
      std::lock_guard<std::mutex> hold(g_wm_lock);
      Window* w = wm_window(hwnd);
      return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_GETTEXT:
      return GetWindowTextW(hwnd, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    default:
      return 0;
  }
}
