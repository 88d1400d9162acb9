// Icons made from bitmaps, the cursor's display count and EndDialog.
#include <atomic>
#include <set>

#include "wce/kernel.h"
#include "wm.h"

namespace {

std::set<ICONINFO*>& made_icons() {
  static std::set<ICONINFO*> table;
  return table;
}
std::atomic<int> g_cursor_count{0};

}  // namespace

// The icon keeps the description; the bitmaps stay the caller's.
extern "C" HICON CreateIconIndirect(const ICONINFO* info) {
  if (!info || (!info->hbmMask && !info->hbmColor)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(wm_lock());
  ICONINFO* icon = new ICONINFO(*info);
  made_icons().insert(icon);
  return reinterpret_cast<HICON>(icon);
}

extern "C" BOOL DestroyIcon(HICON handle) {
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(wm_lock());
  ICONINFO* icon = reinterpret_cast<ICONINFO*>(handle);
  if (made_icons().erase(icon)) delete icon;
  return TRUE;
}

extern "C" int ShowCursor(BOOL show) { return show ? ++g_cursor_count : --g_cursor_count; }

extern "C" BOOL EndDialog(HWND dialog, int) {
  if (!IsWindow(dialog)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}
