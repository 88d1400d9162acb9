// The Pocket PC shell's stand-ins: the full-screen state of the taskbar,
// input-panel button and Start icon, activation, and the held-pen gesture.
#include <mutex>

#include "wce/kernel.h"
#include "wce/shell.h"
#include "wce/window.h"
#include "wm/wm.h"

namespace {

// Held this long and this still, the pen asks for a context menu, as a
// Pocket PC does (about half a second).
constexpr unsigned kHoldMs = 500;
constexpr int kTolerance = 5;

std::mutex g_shell_lock;
DeviceShellState g_shown{1, 1, 1};

// Each pair of bits shows or hides one part; a part with both or neither
// stays as it is.
void apply(int* part, DWORD state, DWORD show, DWORD hide) {
  if ((state & show) && !(state & hide)) *part = 1;
  if ((state & hide) && !(state & show)) *part = 0;
}

}  // namespace

extern "C" BOOL SHFullScreen(HWND window, DWORD state) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(g_shell_lock);
  apply(&g_shown.taskbar, state, SHFS_SHOWTASKBAR, SHFS_HIDETASKBAR);
  apply(&g_shown.sip_button, state, SHFS_SHOWSIPBUTTON, SHFS_HIDESIPBUTTON);
  apply(&g_shown.start_icon, state, SHFS_SHOWSTARTICON, SHFS_HIDESTARTICON);
  return TRUE;
}

extern "C" DeviceShellState device_shell_state(void) {
  std::lock_guard<std::mutex> hold(g_shell_lock);
  return g_shown;
}

// The input panel is never up on the device, so there is nothing to put
// back; the record tells whether the window is becoming active and keeps
// the focus it had when it was deactivated.
extern "C" BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM, SHACTIVATEINFO* info, DWORD) {
  if (!info || info->cbSize < sizeof(SHACTIVATEINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const bool active = (wParam & 0xFFFF) != WA_INACTIVE;
  info->flags = active ? (info->flags | SAI_ACTIVE) : (info->flags & ~DWORD(SAI_ACTIVE));
  info->flags &= ~DWORD(SAI_SIP_UP);
  if (!active) info->hwndLastFocus = GetFocus();
  (void)window;
  return TRUE;
}

extern "C" BOOL SHInitExtraControls(void) { return TRUE; }

extern "C" unsigned device_gesture_hold_ms(void) { return kHoldMs; }
extern "C" int device_gesture_tolerance(void) { return kTolerance; }

extern "C" DWORD SHRecognizeGesture(SHRGINFO* info) {
  if (!info || info->cbSize < sizeof(SHRGINFO) || !IsWindow(info->hwndClient)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  POINT at;
  if (!wm_pen_held(kHoldMs, kTolerance, &at)) return 0;
  if (info->dwFlags & SHRG_RETURNCMD) return GN_CONTEXTMENU;
  HWND target = info->hwndClient;
  if (info->dwFlags & SHRG_NOTIFYPARENT) {
    std::lock_guard<std::mutex> hold(wm_lock());
    Window* w = wm_window(target);
    if (w && w->parent) target = w->parent;
  }
  NMRGINFO notice{{info->hwndClient, 0, GN_CONTEXTMENU}, at, 0};
  SendMessageW(target, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));
  return GN_CONTEXTMENU;
}
