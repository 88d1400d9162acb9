// Geometry, stacking, painting, focus and window longs of the device's
// window manager.
#include <gtest/gtest.h>

#include <vector>

#include "wce/wce.h"

namespace {

std::vector<UINT> g_seen;

LRESULT CALLBACK logging_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  g_seen.push_back(message);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND make(HWND parent, DWORD style, int x, int y, int w, int h) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW cls = {};
    cls.lpfnWndProc = logging_proc;
    cls.cbWndExtra = 8;
    cls.lpszClassName = u"ManagerTest";
    RegisterClassW(&cls);
    registered = true;
  }
  return CreateWindowExW(0, u"ManagerTest", u"", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
}

}  // namespace

TEST(WindowGeometry, ChildrenLiveInTheirParentsClientArea) {
  HWND top = make(nullptr, 0, 10, 20, 200, 100);
  HWND child = make(top, WS_CHILD, 5, 6, 50, 40);
  RECT r;
  ASSERT_TRUE(GetWindowRect(child, &r));
  EXPECT_EQ(r.left, 15);
  EXPECT_EQ(r.top, 26);
  POINT p{0, 0};
  ASSERT_TRUE(ClientToScreen(child, &p));
  EXPECT_EQ(p.x, 15);
  ASSERT_TRUE(ScreenToClient(top, &p));
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, 6);
  EXPECT_FALSE(ScreenToClient(top, nullptr));
  // Moving the parent carries the child; the parent hears of it.
  g_seen.clear();
  ASSERT_TRUE(MoveWindow(top, 0, 0, 300, 100, FALSE));
  EXPECT_EQ(g_seen, (std::vector<UINT>{WM_MOVE, WM_SIZE}));
  ASSERT_TRUE(GetWindowRect(child, &r));
  EXPECT_EQ(r.left, 5);
  ASSERT_TRUE(SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(GetWindow(top, GW_CHILD), child);
  EXPECT_EQ(GetWindow(child, GW_HWNDNEXT), nullptr);
  DestroyWindow(top);
  EXPECT_FALSE(GetWindowRect(child, &r));
  EXPECT_EQ(GetWindow(child, GW_CHILD), nullptr);
}

TEST(WindowGeometry, StackingDecidesTheOrderGetWindowWalks) {
  HWND a = make(nullptr, 0, 0, 0, 10, 10);
  HWND b = make(nullptr, 0, 0, 0, 10, 10);  // newer: on top
  EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), a);
  ASSERT_TRUE(SetWindowPos(b, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
  ASSERT_TRUE(SetWindowPos(a, b, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));  // just under b
  EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), a);
  DestroyWindow(a);
  DestroyWindow(b);
}

TEST(WindowPainting, ShowingActivatesAndPaintsOnceThroughBeginPaint) {
  HWND hwnd = make(nullptr, 0, 0, 0, 100, 50);
  g_seen.clear();
  EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
  EXPECT_EQ(GetForegroundWindow(), hwnd);
  EXPECT_EQ(GetFocus(), hwnd);
  EXPECT_EQ(g_seen, (std::vector<UINT>{WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS}));
  RECT part{10, 10, 20, 20};
  ASSERT_TRUE(InvalidateRect(hwnd, &part, FALSE));
  PAINTSTRUCT paint;
  ASSERT_NE(BeginPaint(hwnd, &paint), nullptr);
  EXPECT_EQ(paint.rcPaint.right, 100);  // the whole window was waiting since it showed
  EndPaint(hwnd, &paint);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, hwnd, WM_PAINT, WM_PAINT, PM_NOREMOVE));
  ASSERT_TRUE(InvalidateRect(hwnd, &part, FALSE));
  g_seen.clear();
  ASSERT_TRUE(UpdateWindow(hwnd));  // DefWindowProcW validates
  EXPECT_EQ(g_seen, (std::vector<UINT>{WM_PAINT}));
  EXPECT_FALSE(PeekMessageW(&msg, hwnd, WM_PAINT, WM_PAINT, PM_NOREMOVE));
  EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE));
  EXPECT_EQ(BeginPaint(hwnd, nullptr), nullptr);
  DestroyWindow(hwnd);
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_FALSE(InvalidateRect(hwnd, nullptr, FALSE));
}

TEST(WindowLongs, StylesUserWordProcedureAndExtraBytes) {
  HWND hwnd = make(nullptr, WS_BORDER, 0, 0, 10, 10);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), static_cast<DWORD>(WS_BORDER));
  EXPECT_EQ(SetWindowLongW(hwnd, GWL_USERDATA, 42), 0);
  EXPECT_EQ(GetWindowLongW(hwnd, GWL_USERDATA), 42);
  EXPECT_EQ(SetWindowLongW(hwnd, 4, 9), 0);  // the class's 8 extra bytes
  EXPECT_EQ(GetWindowLongW(hwnd, 4), 9);
  SetLastError(0);
  EXPECT_EQ(GetWindowLongW(hwnd, 5), 0);  // would run past them
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongW(hwnd, GWL_WNDPROC)), logging_proc);
  EXPECT_EQ(SetWindowLongW(hwnd, GWL_WNDPROC, 0), 0);  // a null procedure is refused
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongW(hwnd, GWL_WNDPROC)), logging_proc);
  DestroyWindow(hwnd);
  EXPECT_EQ(GetWindowLongW(hwnd, GWL_USERDATA), 0);
}
