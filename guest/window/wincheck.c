/* A game-like program: one window class with its own window procedure,
   shown and run through the ANSI message loop. The procedure writes each
   message to winlog.txt. Once active, the program taps its window and
   presses Q; the character closes the window, which ends the loop. Run
   with "live", it takes only real input and ends when the window closes.
   Exits with a bit mask of the checks that failed (0 when all passed). */
#include <string.h>
#include <win32.h>

typedef void* HWND;
typedef struct {
  HWND hwnd;
  unsigned message;
  unsigned wParam;
  long lParam;
  DWORD time;
  long x, y;
} MSG_GUEST;
typedef long(WINAPI* WNDPROC_GUEST)(HWND, unsigned, unsigned, long);
typedef struct {
  unsigned style;
  WNDPROC_GUEST proc;
  int cls_extra, wnd_extra;
  HINSTANCE instance;
  void *icon, *cursor, *background;
  const char *menu_name, *class_name;
} WNDCLASS_GUEST;
typedef struct {
  long x, y;
} POINT_GUEST;

WIN_IMPORT unsigned short WINAPI RegisterClassA(WNDCLASS_GUEST* cls);
WIN_IMPORT HWND WINAPI CreateWindowExA(DWORD ex_style, const char* cls, const char* name, DWORD style, int x,
                                       int y, int w, int h, HWND parent, void* menu, HINSTANCE instance,
                                       void* param);
WIN_IMPORT BOOL WINAPI ShowWindow(HWND window, int command);
WIN_IMPORT BOOL WINAPI UpdateWindow(HWND window);
WIN_IMPORT long WINAPI DefWindowProcA(HWND window, unsigned message, unsigned wParam, long lParam);
WIN_IMPORT BOOL WINAPI GetMessageA(MSG_GUEST* msg, HWND window, unsigned first, unsigned last);
WIN_IMPORT BOOL WINAPI TranslateMessage(const MSG_GUEST* msg);
WIN_IMPORT long WINAPI DispatchMessageA(const MSG_GUEST* msg);
WIN_IMPORT BOOL WINAPI PostMessageA(HWND window, unsigned message, unsigned wParam, long lParam);
WIN_IMPORT void WINAPI PostQuitMessage(int code);
WIN_IMPORT int WINAPI GetSystemMetrics(int index);
WIN_IMPORT BOOL WINAPI GetCursorPos(POINT_GUEST* point);
WIN_IMPORT long WINAPI SHGetMalloc(void** allocator);

#define WM_CREATE 0x1
#define WM_DESTROY 0x2
#define WM_ACTIVATE 0x6
#define WM_CLOSE 0x10
#define WM_ACTIVATEAPP 0x1C
#define WM_KEYDOWN 0x100
#define WM_CHAR 0x102
#define WM_LBUTTONDOWN 0x201
#define WM_LBUTTONUP 0x202
#define WM_USER 0x400

static HANDLE log_file;
static unsigned failed;
static int tapped, fault, live;

static void log_line(const char* text) {
  DWORD written;
  WriteFile(log_file, text, (DWORD)strlen(text), &written, 0);
}

static long WINAPI window_proc(HWND window, unsigned message, unsigned wParam, long lParam) {
  char line[96];
  if (message == WM_CREATE)
    wsprintfA(line, "create %d %d\r\n", GetSystemMetrics(0), GetSystemMetrics(1));
  else
    wsprintfA(line, "msg %x %x %lx\r\n", message, wParam, lParam);
  log_line(line);
  switch (message) {
    case WM_ACTIVATEAPP:
      /* Active: a tap at (10, 20) and the key Q, as the device posts them. */
      if (live) return 0; /* the input comes from a person (or xdotool) */
      if (wParam && fault) PostMessageA(window, WM_USER, 0, 0);
      if (wParam && !tapped && !fault) {
        tapped = 1;
        PostMessageA(window, WM_LBUTTONDOWN, 1, (20 << 16) | 10);
        PostMessageA(window, WM_LBUTTONUP, 0, (20 << 16) | 10);
        PostMessageA(window, WM_KEYDOWN, 'Q', 1);
      }
      return 0;
    case WM_LBUTTONUP: {
      /* The pen's point is the cursor's, in screen coordinates. */
      POINT_GUEST p = {0, 0};
      GetCursorPos(&p);
      if (!live && (p.x != 10 || p.y != 20)) failed |= 0x10;
      return 0;
    }
    case WM_CHAR:
      if (live) return 0;
      if (wParam == 'q') PostMessageA(window, WM_CLOSE, 0, 0);
      else failed |= 0x20;
      return 0;
    case WM_DESTROY:
      PostQuitMessage(7);
      return 0;
    case WM_USER:
      /* Run with "fault": the procedure writes through a null pointer. */
      *(volatile int*)0 = 1;
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  fault = strstr(command_line, "fault") != 0;
  live = strstr(command_line, "live") != 0; /* only real input; ends when the window is closed */
  log_file = CreateFileA("winlog.txt", GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
  if (log_file == (HANDLE)-1) ExitProcess(0x80);
  WNDCLASS_GUEST cls = {0, window_proc, 0, 0, instance, 0, 0, 0, 0, "WinCheck"};
  if (!RegisterClassA(&cls)) failed |= 1;
  if (cls.proc == window_proc) failed |= 2; /* the record holds the bridge now */
  HWND window = CreateWindowExA(0, "WinCheck", "WinCheck", 0, 0, 0, 320, 240, 0, 0, instance, 0);
  if (!window) ExitProcess(0x81);
  ShowWindow(window, 5);
  UpdateWindow(window);
  MSG_GUEST msg;
  while (GetMessageA(&msg, 0, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (msg.wParam != 7) failed |= 4;
  /* The display is portrait again once the window is gone. */
  if (GetSystemMetrics(0) != 240) failed |= 8;
  void* allocator = 0;
  if (SHGetMalloc(&allocator) != 0 || !allocator) failed |= 0x40;
  log_line("end\r\n");
  CloseHandle(log_file);
  ExitProcess(failed);
  return 0;
}
