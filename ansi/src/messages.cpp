// The message functions: every argument and the result pass unchanged, so
// text-carrying messages stay wide.
#include "zentrix.h"

LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hWnd, Msg, wParam, lParam);
}
LRESULT DispatchMessageA(const MSG* lpMsg) { return DispatchMessageW(lpMsg); }
BOOL GetMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  return GetMessageW(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
}
BOOL PeekMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  return PeekMessageW(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}
BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return PostMessageW(hWnd, Msg, wParam, lParam);
}
LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return SendMessageW(hWnd, Msg, wParam, lParam);
}
