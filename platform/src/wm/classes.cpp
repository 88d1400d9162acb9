// Window classes: the application's own and the system class "BUTTON".
#include <cstdlib>
#include <map>

#include "wce/gdi.h"
#include "wce/kernel.h"
#include "wce/wstr.h"
#include "wm.h"

namespace {

std::map<std::u16string, WindowClass>& classes() {
  static std::map<std::u16string, WindowClass> table;
  return table;
}

}  // namespace

const WindowClass* wm_class(const WCHAR* name) {
  wm_init_system_classes();
  if (reinterpret_cast<uintptr_t>(name) < 0x10000) return nullptr;
  auto it = classes().find(wstr_folded(name));
  return it == classes().end() ? nullptr : &it->second;
}

void wm_init_system_classes() {
  static bool done = false;
  if (done) return;
  done = true;
  classes()[u"BUTTON"] = {u"BUTTON", button_window_proc, 0, nullptr};
}

extern "C" WORD RegisterClassW(const WNDCLASSW* cls) {
  if (!cls || !cls->lpszClassName || reinterpret_cast<uintptr_t>(cls->lpszClassName) < 0x10000 ||
      !cls->lpfnWndProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> hold(wm_lock());
  wm_init_system_classes();
  std::u16string key = wstr_folded(cls->lpszClassName);
  if (classes().count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  // Extra window bytes are bounded: a wild cbWndExtra must not exhaust memory.
  const int extra = cls->cbWndExtra > 0 && cls->cbWndExtra <= 4096 ? cls->cbWndExtra : 0;
  classes()[key] = {cls->lpszClassName, cls->lpfnWndProc, cls->style, cls->hInstance, extra};
  return static_cast<WORD>(0xC000 + classes().size());
}

// A push button paints itself as the device draws one: a white face, a
// black frame when it has WS_BORDER, and its text in the device's font,
// centred.
LRESULT button_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    RECT area{};
    WCHAR text[256];
    DWORD style = 0;
    {
      std::lock_guard<std::mutex> hold(wm_lock());
      if (const Window* w = wm_window(hwnd)) style = w->style;
    }
    int length = GetWindowTextW(hwnd, text, 256);
    if (GetClientRect(hwnd, &area)) {
      if (HDC dc = GetDC(hwnd)) {
        const int width = area.right - area.left, height = area.bottom - area.top;
        PatBlt(dc, 0, 0, width, height, WHITENESS);
        if (style & WS_BORDER) {
          PatBlt(dc, 0, 0, width, 1, BLACKNESS);
          PatBlt(dc, 0, height - 1, width, 1, BLACKNESS);
          PatBlt(dc, 0, 0, 1, height, BLACKNESS);
          PatBlt(dc, width - 1, 0, 1, height, BLACKNESS);
        }
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, 0);
        if (length > 0) DrawTextW(dc, text, length, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ReleaseDC(hwnd, dc);
      }
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}
