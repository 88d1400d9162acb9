// A native program on the device for the window tests: it draws, turns the
// display and shows message boxes when told to on standard input, one
// command a line, and reports on standard output:
//   draw       blue screen, a red block at (10, 10)-(50, 40), a "BUTTON" notice
//   landscape  turns the display (DMDO_270) and draws a green block at (280, 200)-(310, 230)
//   portrait   turns it back and draws again
//   box        a Yes/No message box; prints "answer N"
//   quit
#include <cstdio>
#include <cstring>

#include "wce/device.h"
#include "wce/display.h"
#include "wce/gdi.h"
#include "wce/kernel.h"
#include "wce/window.h"

namespace {

void block(int left, int top, int right, int bottom, COLORREF color) {
  HDC dc = GetDC(nullptr);
  HBRUSH brush = CreateSolidBrush(color);
  HGDIOBJ old = SelectObject(dc, brush);
  PatBlt(dc, left, top, right - left, bottom - top, PATCOPY);
  SelectObject(dc, old);
  DeleteObject(brush);
  ReleaseDC(nullptr, dc);
}

void draw() {
  block(0, 0, device_screen_width(), device_screen_height(), 0xFF0000);  // blue
  block(10, 10, 50, 40, 0x0000FF);                                          // red
  static HWND notice;
  if (notice) DestroyWindow(notice);
  notice = CreateWindowExW(0, u"BUTTON", u"Hello", WS_VISIBLE | WS_BORDER | BS_CENTER, 60, 60, 120, 40, nullptr,
                           nullptr, nullptr, nullptr);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

void turn(DWORD orientation) {
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  mode.dmFields = DM_DISPLAYORIENTATION;
  mode.dmDisplayOrientation = orientation;
  ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr);
}

int program(HINSTANCE, HINSTANCE, LPWSTR, int) {
  char line[64];
  printf("ready\n");
  fflush(stdout);
  while (fgets(line, sizeof line, stdin)) {
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
      printf("answer %d\n", MessageBoxW(nullptr, u"Go on?", u"Question", MB_YESNO));
    } else if (!strncmp(line, "quit", 4)) {
      break;
    }
    printf("done %s", line);
    fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return device_run_program(argc, argv, program); }
