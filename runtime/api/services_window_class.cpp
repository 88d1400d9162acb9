// The guest's window class and the window longs: the one guest window
// procedure goes into WndProcSlot and the window bridge takes its place;
// the window and dialog procedures cannot be read or replaced through the
// window longs, since the device only knows the bridge.
#include <cstdlib>

#include "handler.h"
#include "wce/kernel.h"
#include "wce/window.h"
#include "zentrix.h"

namespace {

constexpr u32 kClassProcedure = 4;  // WNDCLASSA.lpfnWndProc, after style
constexpr i32 kWindowProcedure = -4;  // GWL_WNDPROC
constexpr i32 kDialogProcedure = 4;   // DWL_DLGPROC

// RegisterClassA(lpWndClass). A null record reaches no slot and fails as
// the device fails it.
void register_class(Env* env) {
  const u32 record = arg(env, 1);
  if (!record) {
    SetLastError(ERROR_INVALID_PARAMETER);
    guest_return_value(env, 0, 1);
    return;
  }
  if (g_bridge.WndProcSlot) {
    MessageBoxW(nullptr, u"More than 1 WndProc not implemented", u"Error", MB_ICONERROR);
    TerminateProcess(reinterpret_cast<HANDLE>(0x42), 0xFFFFFFFF);
    for (;;) Sleep(INFINITE);
  }
  g_bridge.WndProcSlot = guest_read32(record + kClassProcedure);
  // The guest's own record keeps the bridge after the call.
  guest_write32(record + kClassProcedure, guest_addr(reinterpret_cast<const void*>(&WindowBridge)));
  guest_return_value(env, RegisterClassA(arg_as<const WNDCLASSA*>(env, 1)), 1);
}

bool names_a_procedure(i32 index) { return index == kWindowProcedure || index == kDialogProcedure; }

// GetWindowLongA / GetWindowLongW(hWnd, nIndex).
void get_window_long(Env* env) {
  const i32 index = static_cast<i32>(arg(env, 2));
  if (names_a_procedure(index)) {
    log_puts("GetWindowLongW(WNDPROC) not implemented");
    exit(-1);
  }
  guest_return_value(env, static_cast<u32>(GetWindowLongW(arg_as<HWND>(env, 1), index)), 2);
}

// SetWindowLongA / SetWindowLongW(hWnd, nIndex, dwNewLong).
void set_window_long(Env* env) {
  const i32 index = static_cast<i32>(arg(env, 2));
  if (names_a_procedure(index)) {
    log_puts("SetWindowLongW(WNDPROC) not implemented");
    exit(-1);
  }
  const u32 previous = static_cast<u32>(SetWindowLongW(arg_as<HWND>(env, 1), index, static_cast<LONG>(arg(env, 3))));
  guest_return_value(env, previous, 3);
}

}  // namespace

extern const ApiEntry kWindowClassApis[] = {
    {"RegisterClassA", register_class},
    {"GetWindowLongA", get_window_long},
    {"GetWindowLongW", get_window_long},
    {"SetWindowLongA", set_window_long},
    {"SetWindowLongW", set_window_long},
    {nullptr, nullptr},
};
