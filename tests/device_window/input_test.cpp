// Pen and key input from the presenter: messages for the right window in
// its client coordinates, key bits, the held pen and the close request.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "device_input.h"
#include "wce/wce.h"
#include "wm/wm.h"

namespace {

LRESULT CALLBACK plain_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND make(HWND parent, DWORD style, int x, int y, int w, int h) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW cls = {};
    cls.lpfnWndProc = plain_proc;
    cls.lpszClassName = u"InputTest";
    RegisterClassW(&cls);
    registered = true;
  }
  return CreateWindowExW(0, u"InputTest", u"", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
}

// Takes the posted (non-paint) messages waiting for this thread.
std::vector<MSG> drain() {
  std::vector<MSG> out;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_PAINT) {
      DispatchMessageW(&msg);
      continue;
    }
    out.push_back(msg);
  }
  return out;
}

struct Windows {
  HWND top, child;
  Windows() {
    top = make(nullptr, WS_VISIBLE, 0, 0, 320, 240);
    child = make(top, WS_CHILD | WS_VISIBLE, 100, 50, 40, 40);
    drain();
  }
  ~Windows() {
    DestroyWindow(top);
    drain();
  }
};

}  // namespace

TEST(PenInput, StrokeGoesToTheWindowUnderThePenInClientCoordinates) {
  Windows w;
  device_input_pen(DEVICE_PEN_DOWN, 110, 70);
  device_input_pen(DEVICE_PEN_MOVE, 111, 71);
  device_input_pen(DEVICE_PEN_MOVE, 200, 200);  // leaves the child: the stroke stays its
  device_input_pen(DEVICE_PEN_UP, 200, 200);
  device_input_pen(DEVICE_PEN_MOVE, 5, 5);  // no hover on a touch screen
  std::vector<MSG> got = drain();
  ASSERT_EQ(got.size(), 3u);  // the two moves coalesce
  EXPECT_EQ(got[0].hwnd, w.child);
  EXPECT_EQ(got[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(got[0].lParam, (20 << 16) | 10);
  EXPECT_EQ(got[0].wParam, 1u);
  EXPECT_EQ(got[1].message, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(got[1].lParam, (150 << 16) | 100);
  EXPECT_EQ(got[2].message, static_cast<UINT>(WM_LBUTTONUP));
  EXPECT_EQ(got[2].hwnd, w.child);
  POINT p;
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p.x, 200);

  // Outside the child, the top-level window; with capture, the capturer
  // whatever lies under the pen.
  device_input_pen(DEVICE_PEN_DOWN, 10, 10);
  device_input_pen(DEVICE_PEN_UP, 10, 10);
  SetCapture(w.child);
  device_input_pen(DEVICE_PEN_DOWN, 10, 10);
  device_input_pen(DEVICE_PEN_UP, 10, 10);
  ReleaseCapture();
  got = drain();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].hwnd, w.top);
  EXPECT_EQ(got[2].hwnd, w.child);
  EXPECT_EQ(static_cast<int16_t>(got[2].lParam & 0xFFFF), -90);
}

TEST(PenInput, PenOnADestroyedWindowIsDropped) {
  Windows* w = new Windows;
  device_input_pen(DEVICE_PEN_DOWN, 110, 70);
  delete w;
  device_input_pen(DEVICE_PEN_MOVE, 112, 70);
  device_input_pen(DEVICE_PEN_UP, 112, 70);
  for (const MSG& m : drain()) EXPECT_NE(m.message, static_cast<UINT>(WM_LBUTTONUP));
}

TEST(PenInput, HeldPenIsRecognisedAfterTheHoldTimeAndAMoveCancelsIt) {
  Windows w;
  device_input_pen(DEVICE_PEN_DOWN, 20, 20);
  POINT at;
  EXPECT_TRUE(wm_pen_held(30, 4, &at));
  device_input_pen(DEVICE_PEN_MOVE, 23, 20);  // within the tolerance
  EXPECT_TRUE(wm_pen_held(30, 4, &at));
  device_input_pen(DEVICE_PEN_UP, 23, 20);
  EXPECT_FALSE(wm_pen_held(30, 4, &at));

  // The lift wakes a waiting recognition long before the hold time.
  device_input_pen(DEVICE_PEN_DOWN, 20, 20);
  std::thread lift([] { device_input_pen(DEVICE_PEN_MOVE, 40, 20); });
  EXPECT_FALSE(wm_pen_held(60000, 4, &at));
  lift.join();
  device_input_pen(DEVICE_PEN_UP, 40, 20);

  // The right button is the held pen at once.
  device_input_pen(DEVICE_PEN_GESTURE, 20, 20);
  EXPECT_TRUE(wm_pen_held(60000, 4, &at));
  device_input_pen(DEVICE_PEN_UP, 20, 20);
  drain();
}

TEST(KeyInput, KeysCarryRepeatAndPreviousStateAndFeedAsyncState) {
  Windows w;
  SetFocus(w.child);
  device_input_key(0x41, true);
  device_input_key(0x41, true);  // host repeat
  device_input_key(0x41, false);
  std::vector<MSG> got = drain();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].hwnd, w.child);
  EXPECT_EQ(got[0].lParam, 1);
  EXPECT_EQ(static_cast<DWORD>(got[1].lParam), 0x40000001u);
  EXPECT_EQ(static_cast<DWORD>(got[2].lParam), 0xC0000001u);
  EXPECT_EQ(got[2].message, static_cast<UINT>(WM_KEYUP));
  // Pressed since the last look, though up now; then nothing.
  EXPECT_EQ(GetAsyncKeyState(0x41), 1);
  EXPECT_EQ(GetAsyncKeyState(0x41), 0);
  device_input_key(0xA0, true);  // left Shift moves Shift too
  EXPECT_EQ(GetAsyncKeyState(0x10) & 0x8000, 0x8000);
  device_input_key(0xA0, false);
  drain();
}

TEST(KeyInput, TranslateMessageMakesCharactersWithShift) {
  Windows w;
  SetFocus(w.top);
  device_input_key(0x10, true);
  device_input_key(0x41, true);
  device_input_key(0x31, true);
  device_input_key(0x10, false);
  device_input_key(0x41, true);
  // Each press is translated as it is taken, with Shift as it stood then.
  std::vector<WPARAM> chars;
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    if (m.message == WM_CHAR) chars.push_back(m.wParam);
  }
  EXPECT_EQ(chars, (std::vector<WPARAM>{'A', '!', 'a'}));
  device_input_key(0x41, false);
  device_input_key(0x31, false);
  drain();
}

TEST(CloseInput, ClosingTheHostWindowClosesTheForegroundWindow) {
  Windows w;
  SetForegroundWindow(w.top);
  drain();
  device_input_close();
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
  EXPECT_EQ(msg.hwnd, w.top);
}
