#include "launcher.h"

void notice_rect(int w, int h, RECT* rect) {
  rect->left = w / 4;
  rect->top = 3 * h / 8;
  rect->right = rect->left + w / 2;
  rect->bottom = rect->top + h / 4;
}

DWORD notice_thread(LPVOID) {
  RECT r;
  notice_rect(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), &r);
  HWND notice = CreateWindowExW(0, u"BUTTON", u"Loading...", WS_VISIBLE | WS_BORDER | BS_CENTER, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                reinterpret_cast<HINSTANCE>(GetModuleHandleW(nullptr)), nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    if (GetForegroundWindow() != notice) {
      DestroyWindow(notice);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
