// The shell stand-ins: full-screen state, activation and the held-pen
// notification.
#include <gtest/gtest.h>

#include "device_input.h"
#include "wce/shell.h"
#include "wce/wce.h"

namespace {

UINT g_notified_code;
POINT g_notified_at;

LRESULT CALLBACK notified_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    const NMRGINFO* info = reinterpret_cast<const NMRGINFO*>(lParam);
    g_notified_code = info->hdr.code;
    g_notified_at = info->ptAction;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND make() {
  WNDCLASSW cls = {};
  cls.lpfnWndProc = notified_proc;
  cls.lpszClassName = u"ShellTest";
  RegisterClassW(&cls);
  return CreateWindowExW(0, u"ShellTest", u"", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

TEST(Shell, FullScreenStateAndActivation) {
  HWND hwnd = make();
  ASSERT_TRUE(SHFullScreen(hwnd, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON));
  DeviceShellState s = device_shell_state();
  EXPECT_EQ(s.taskbar + s.sip_button + s.start_icon, 0);
  ASSERT_TRUE(SHFullScreen(hwnd, SHFS_SHOWTASKBAR | SHFS_SHOWSTARTICON));
  s = device_shell_state();
  EXPECT_EQ(s.taskbar, 1);
  EXPECT_EQ(s.sip_button, 0);  // not asked for
  EXPECT_EQ(s.start_icon, 1);
  EXPECT_FALSE(SHFullScreen(reinterpret_cast<HWND>(0x4), SHFS_HIDETASKBAR));

  SHACTIVATEINFO info{sizeof info, nullptr, 0};
  ASSERT_TRUE(SHHandleWMActivate(hwnd, WA_ACTIVE, 0, &info, 0));
  EXPECT_TRUE(info.flags & SAI_ACTIVE);
  ASSERT_TRUE(SHHandleWMActivate(hwnd, WA_INACTIVE, 0, &info, 0));
  EXPECT_FALSE(info.flags & SAI_ACTIVE);
  EXPECT_FALSE(SHHandleWMActivate(hwnd, WA_ACTIVE, 0, nullptr, 0));
  DestroyWindow(hwnd);
}

TEST(Shell, HeldPenNotifiesTheClientAndATapDoesNot) {
  HWND hwnd = make();
  SHRGINFO request{sizeof request, hwnd, {5, 5}, 0};
  EXPECT_EQ(SHRecognizeGesture(&request), 0u);  // the pen is up
  device_input_pen(DEVICE_PEN_GESTURE, 7, 8);
  g_notified_code = 0;
  EXPECT_EQ(SHRecognizeGesture(&request), static_cast<DWORD>(GN_CONTEXTMENU));
  EXPECT_EQ(g_notified_code, static_cast<UINT>(GN_CONTEXTMENU));
  EXPECT_EQ(g_notified_at.x, 7);
  // Asked to answer only, it sends nothing.
  g_notified_code = 0;
  request.dwFlags = SHRG_RETURNCMD;
  EXPECT_EQ(SHRecognizeGesture(&request), static_cast<DWORD>(GN_CONTEXTMENU));
  EXPECT_EQ(g_notified_code, 0u);
  device_input_pen(DEVICE_PEN_UP, 7, 8);
  EXPECT_EQ(SHRecognizeGesture(nullptr), 0u);
  DestroyWindow(hwnd);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}
