// A native program on the device for the window tests. It runs a message
// loop; commands come one a line on standard input, and what happens is
// reported on standard output:
//   draw       blue screen, a red block at (10, 10)-(50, 40), a "BUTTON"
//              notice at (60, 60)-(180, 100) and, the first time, a probe
//              window at (0, 200)-(240, 300) that reports the pen ("pen down
//              X Y", "pen move X Y", "pen up X Y" in its own coordinates),
//              keys ("key down VK", "key up VK", in hex) and "close"
//   landscape  turns the display (DMDO_270) and draws a green block at (280, 200)-(310, 230)
//   portrait   turns it back and draws again
//   box        a Yes/No message box; prints "answer N"
//   quit
#include <pthread.h>

#include <cstdio>
#include <cstring>

#include "wce/device.h"
#include "wce/display.h"
#include "wce/gdi.h"
#include "wce/kernel.h"
#include "wce/window.h"

namespace {

constexpr UINT kCommand = WM_USER + 1;  // lParam: the line, from strdup
DWORD g_main_thread;

void report(const char* format, int a, int b = 0, int c = 0) {
  printf(format, a, b, c);
  fflush(stdout);
}

LRESULT probe_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const int x = int(short(lParam & 0xFFFF)), y = int(short(lParam >> 16));
  switch (message) {
    case WM_LBUTTONDOWN: report("pen down %d %d\n", x, y); return 0;
    case WM_MOUSEMOVE: report("pen move %d %d\n", x, y); return 0;
    case WM_LBUTTONUP: report("pen up %d %d\n", x, y); return 0;
    case WM_KEYDOWN: report("key down %x\n", int(wParam)); return 0;
    case WM_KEYUP: report("key up %x\n", int(wParam)); return 0;
    case WM_CLOSE: report("close\n", 0); return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void block(int left, int top, int right, int bottom, COLORREF color) {
  HDC dc = GetDC(nullptr);
  HBRUSH brush = CreateSolidBrush(color);
  HGDIOBJ old = SelectObject(dc, brush);
  PatBlt(dc, left, top, right - left, bottom - top, PATCOPY);
  SelectObject(dc, old);
  DeleteObject(brush);
  ReleaseDC(nullptr, dc);
}

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.hwnd) {
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    DispatchMessageW(&msg);
  }
}

void draw() {
  static HWND notice;
  if (!notice) {
    notice = CreateWindowExW(0, u"BUTTON", u"Hello", WS_VISIBLE | WS_BORDER | BS_CENTER, 60, 60, 120, 40, nullptr,
                             nullptr, nullptr, nullptr);
    WNDCLASSW cls = {};
    cls.lpfnWndProc = probe_proc;
    cls.lpszClassName = u"Probe";
    RegisterClassW(&cls);
    // Created last: the foreground window, which the keys reach.
    CreateWindowExW(0, u"Probe", u"Probe", WS_VISIBLE, 0, 200, 240, 100, nullptr, nullptr, nullptr, nullptr);
    pump();
  }
  block(0, 0, device_screen_width(), device_screen_height(), 0xFF0000);  // blue
  block(10, 10, 50, 40, 0x0000FF);                                          // red
  InvalidateRect(notice, nullptr, FALSE);
  pump();
}

void turn(DWORD orientation) {
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  mode.dmFields = DM_DISPLAYORIENTATION;
  mode.dmDisplayOrientation = orientation;
  ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr);
}

// Returns false for "quit".
bool run_command(const char* line) {
  if (!strncmp(line, "quit", 4)) return false;
  if (!strncmp(line, "draw", 4)) {
    draw();
  } else if (!strncmp(line, "landscape", 9)) {
    turn(DMDO_270);
    draw();
    block(280, 200, 310, 230, 0x00FF00);
  } else if (!strncmp(line, "portrait", 8)) {
    turn(DMDO_0);
    draw();
  } else if (!strncmp(line, "box", 3)) {
    report("answer %d\n", MessageBoxW(nullptr, u"Go on?", u"Question", MB_YESNO));
  }
  printf("done %s", line);
  fflush(stdout);
  return true;
}

void* read_commands(void*) {
  char line[64];
  while (fgets(line, sizeof line, stdin)) PostThreadMessageW(g_main_thread, kCommand, 0, LPARAM(strdup(line)));
  PostThreadMessageW(g_main_thread, kCommand, 0, LPARAM(strdup("quit\n")));
  return nullptr;
}

}  // namespace

int main() {
  g_main_thread = GetCurrentThreadId();
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists before the reader posts
  pthread_t reader;
  pthread_create(&reader, nullptr, read_commands, nullptr);
  printf("ready\n");
  fflush(stdout);
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    if (!msg.hwnd && msg.message == kCommand) {
      char* line = reinterpret_cast<char*>(msg.lParam);
      bool go_on = run_command(line);
      free(line);
      if (!go_on) break;
      continue;
    }
    DispatchMessageW(&msg);
  }
  return 0;
}
