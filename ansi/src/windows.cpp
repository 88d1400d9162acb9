// Windows, classes, resources and message boxes.
#include <cstring>

#include "convert.h"
#include "wce/kernel.h"

HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
  WideArg window = wide_arg(lpWindowName);
  WideArg cls = wide_arg(lpClassName);
  HWND hwnd = nullptr;
  if (window.ok && cls.ok)
    hwnd = CreateWindowExW(dwExStyle, cls.wide, window.wide, dwStyle, X, Y, nWidth, nHeight, hWndParent, hMenu,
                           hInstance, lpParam);
  release(cls);
  release(window);
  // Marks windows made through the ANSI entry.
  if (hwnd) SetPropW(hwnd, u"AnsiWindow", reinterpret_cast<HANDLE>(1));
  return hwnd;
}

WORD RegisterClassA(const WNDCLASSA* lpWndClass) {
  WNDCLASSW local;
  static_assert(sizeof local == sizeof *lpWndClass, "WNDCLASSA and WNDCLASSW have one layout");
  memcpy(&local, lpWndClass, sizeof local);
  WideArg menu = wide_arg(lpWndClass->lpszMenuName);
  WideArg name = wide_arg(lpWndClass->lpszClassName);
  WORD atom = 0;
  if (menu.ok && name.ok) {
    local.lpszMenuName = menu.wide;
    local.lpszClassName = name.wide;
    atom = static_cast<WORD>(RegisterClassW(&local) & 0xFFFF);
  }
  release(menu);
  release(name);
  return atom;
}

HCURSOR LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  WideArg name = wide_arg(lpCursorName);
  HCURSOR result = name.ok ? LoadCursorW(hInstance, name.wide) : nullptr;
  release(name);
  return result;
}

HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  WideArg name = wide_arg(lpIconName);
  HICON result = name.ok ? LoadIconW(hInstance, name.wide) : nullptr;
  release(name);
  return result;
}

HMENU LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName) {
  WideArg name = wide_arg(lpMenuName);
  HMENU result = name.ok ? LoadMenuW(hInstance, name.wide) : nullptr;
  release(name);
  return result;
}

int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  AnsiOutBuffer out;
  if (!out_own(&out, lpBuffer, cchBufferMax)) return 0;
  int result = LoadStringW(hInstance, uID, out.wide, lpBuffer ? static_cast<int>(out.count) : cchBufferMax);
  finish(out);
  return result;
}

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  WideArg text = wide_arg(lpText);
  WideArg caption = wide_arg(lpCaption);
  int result = text.ok && caption.ok ? MessageBoxW(hWnd, text.wide, caption.wide, uType) : 0;
  release(text);
  release(caption);
  return result;
}
