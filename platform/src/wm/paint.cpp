// BeginPaint and EndPaint: the device context of the window's area and
// the part that waited to be painted, validated as painting begins.
#include "wce/gdi.h"
#include "wce/kernel.h"
#include "wm.h"

extern "C" HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
  if (!paint) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  *paint = PAINTSTRUCT{};
  {
    std::lock_guard<std::mutex> hold(wm_lock());
    Window* w = wm_window_checked(hwnd);
    if (!w) return nullptr;
    if (w->needs_paint) paint->rcPaint = w->update;
    w->needs_paint = false;
    w->update = RECT{};
  }
  paint->hdc = GetDC(hwnd);
  return paint->hdc;
}

extern "C" BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
  if (!paint) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (paint->hdc) ReleaseDC(hwnd, paint->hdc);
  return TRUE;
}
