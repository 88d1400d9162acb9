// Windows, message queues and message boxes.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "wce/wce.h"

namespace {

std::vector<UINT> g_seen;
LRESULT CALLBACK recording_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  g_seen.push_back(message);
  if (message == WM_USER) return static_cast<LRESULT>(wParam + lParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND make_window(DWORD style) {
  WNDCLASSW cls = {};
  cls.lpfnWndProc = recording_proc;
  cls.lpszClassName = u"TestClass";
  RegisterClassW(&cls);
  return CreateWindowExW(0, u"testclass", u"title", style, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

TEST(Windows, ButtonNoticeIsCreatedPaintedAndLosesTheForeground) {
  HWND notice = CreateWindowExW(0, u"BUTTON", u"Loading...", WS_VISIBLE | WS_BORDER | BS_CENTER, 60, 120, 120,
                                80, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(GetForegroundWindow(), notice);
  WCHAR text[32];
  EXPECT_EQ(GetWindowTextW(notice, text, 32), 10);
  RECT r;
  ASSERT_TRUE(GetWindowRect(notice, &r));
  EXPECT_EQ(r.right - r.left, 120);
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  DispatchMessageW(&msg);  // validates: no second WM_PAINT

  // Another thread's window takes the foreground: the notice hears of it.
  std::thread other([] { make_window(WS_VISIBLE); });
  other.join();
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_ACTIVATE));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(WA_INACTIVE));
  EXPECT_NE(GetForegroundWindow(), notice);
  EXPECT_TRUE(DestroyWindow(notice));
  EXPECT_FALSE(IsWindow(notice));
}

TEST(Windows, SendAcrossThreadsRunsInTheOwnersLoop) {
  g_seen.clear();
  HWND window = make_window(0);
  ASSERT_NE(window, nullptr);
  LRESULT answer = 0;
  std::thread sender([&] { answer = SendMessageW(window, WM_USER, 40, 2); });
  // The owner's loop runs the sent message, then the quit ends the loop.
  std::thread quitter([&] {
    sender.join();
    PostMessageW(window, WM_QUIT, 0, 0);
  });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
  quitter.join();
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(g_seen.front(), static_cast<UINT>(WM_CREATE));
  EXPECT_NE(std::find(g_seen.begin(), g_seen.end(), static_cast<UINT>(WM_USER)), g_seen.end());
}

TEST(Windows, QuitMessageEndsTheLoopWithItsCode) {
  PostMessageW(nullptr, WM_USER + 1, 0, 0);
  PostQuitMessage(3);
  MSG msg;
  EXPECT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(Windows, UnknownClassAndStaleWindowsAreRefused) {
  EXPECT_EQ(CreateWindowExW(0, u"NOPE", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  EXPECT_FALSE(PostMessageW(reinterpret_cast<HWND>(0x4444), WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(MessageBoxes, AnsweredWithTheDefaultButton) {
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_YESNO), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 320);
}
