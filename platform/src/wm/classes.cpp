// Window classes: the application's own and the system class "BUTTON".
#include <cstdlib>
#include <map>

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

// Push buttons are drawn by the display once it exists; until then the
// button only keeps its state and validates itself.
LRESULT button_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}
