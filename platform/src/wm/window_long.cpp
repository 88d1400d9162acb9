// GetWindowLongW and SetWindowLongW: the window's procedure, styles,
// identifier, user word and its class's extra bytes.
#include <cstring>

#include "wce/kernel.h"
#include "wm.h"

namespace {

// Where a long of the window lives; null (with the error set) when the
// index names nothing.
LONG* slot_of(Window& w, int index, LONG* scratch) {
  switch (index) {
    case GWL_STYLE: *scratch = static_cast<LONG>(w.style); return scratch;
    case GWL_EXSTYLE: *scratch = static_cast<LONG>(w.ex_style); return scratch;
    case GWL_USERDATA: return &w.user_data;
    case GWL_ID: return &w.id;
    case GWL_WNDPROC: *scratch = static_cast<LONG>(reinterpret_cast<uintptr_t>(w.proc)); return scratch;
    default: break;
  }
  if (index >= 0 && static_cast<size_t>(index) + 4 <= w.extra.size()) {
    memcpy(scratch, w.extra.data() + index, 4);
    return scratch;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return nullptr;
}

}  // namespace

extern "C" LONG GetWindowLongW(HWND hwnd, int index) {
  std::lock_guard<std::mutex> hold(wm_lock());
  Window* w = wm_window_checked(hwnd);
  if (!w) return 0;
  LONG scratch;
  LONG* slot = slot_of(*w, index, &scratch);
  return slot ? *slot : 0;
}

// Answers the previous value.
extern "C" LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
  std::lock_guard<std::mutex> hold(wm_lock());
  Window* w = wm_window_checked(hwnd);
  if (!w) return 0;
  LONG scratch;
  LONG* slot = slot_of(*w, index, &scratch);
  if (!slot) return 0;
  const LONG previous = *slot;
  if (index == GWL_WNDPROC && !value) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  switch (index) {
    case GWL_STYLE: w->style = static_cast<DWORD>(value); break;
    case GWL_EXSTYLE: w->ex_style = static_cast<DWORD>(value); break;
    case GWL_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(static_cast<uintptr_t>(static_cast<DWORD>(value))); break;
    case GWL_USERDATA:
    case GWL_ID: *slot = value; break;
    default: memcpy(w->extra.data() + index, &value, 4); break;
  }
  return previous;
}
