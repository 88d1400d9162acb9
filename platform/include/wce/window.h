// Windows, classes and per-thread message queues.
#pragma once

#include "wce/types.h"

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

enum : UINT {
  WM_NULL = 0x0000,
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_MOVE = 0x0003,
  WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006,
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
  WM_SETTEXT = 0x000C,
  WM_GETTEXT = 0x000D,
  WM_GETTEXTLENGTH = 0x000E,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_SHOWWINDOW = 0x0018,
  WM_ACTIVATEAPP = 0x001C,
  WM_NOTIFY = 0x004E,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_COMMAND = 0x0111,
  WM_TIMER = 0x0113,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  WM_USER = 0x0400,
};

enum : DWORD {
  WS_OVERLAPPED = 0x00000000,
  WS_POPUP = 0x80000000,
  WS_CHILD = 0x40000000,
  WS_VISIBLE = 0x10000000,
  WS_DISABLED = 0x08000000,
  WS_BORDER = 0x00800000,
  WS_CAPTION = 0x00C00000,
  BS_CENTER = 0x00000300,
  WA_INACTIVE = 0,
  WA_ACTIVE = 1,
};

enum : int {
  SM_CXSCREEN = 0,
  SM_CYSCREEN = 1,
  SM_CYCAPTION = 4,
  SM_CXBORDER = 5,
  SM_CYBORDER = 6,
  SM_CXDLGFRAME = 7,
  SM_CYDLGFRAME = 8,
  SM_CXICON = 11,
  SM_CYICON = 12,
  SM_CXCURSOR = 13,
  SM_CYCURSOR = 14,
  SM_CXSMICON = 49,
  SM_CYSMICON = 50,
  CW_USEDEFAULT = (int)0x80000000,
};

// ShowWindow commands.
enum : int {
  SW_HIDE = 0,
  SW_SHOWNORMAL = 1,
  SW_SHOWMAXIMIZED = 3,
  SW_SHOWNOACTIVATE = 4,
  SW_SHOW = 5,
  SW_MINIMIZE = 6,
  SW_SHOWNA = 8,
  SW_RESTORE = 9,
};

// SetWindowPos flags and places.
enum : UINT {
  SWP_NOSIZE = 0x0001,
  SWP_NOMOVE = 0x0002,
  SWP_NOZORDER = 0x0004,
  SWP_NOREDRAW = 0x0008,
  SWP_NOACTIVATE = 0x0010,
  SWP_SHOWWINDOW = 0x0040,
  SWP_HIDEWINDOW = 0x0080,
};
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)(intptr_t)-1)
#define HWND_NOTOPMOST ((HWND)(intptr_t)-2)

// GetWindow relations.
enum : UINT {
  GW_HWNDFIRST = 0,
  GW_HWNDLAST = 1,
  GW_HWNDNEXT = 2,
  GW_HWNDPREV = 3,
  GW_OWNER = 4,
  GW_CHILD = 5,
};

// Window longs.
enum : int {
  GWL_WNDPROC = -4,
  GWL_ID = -12,
  GWL_STYLE = -16,
  GWL_EXSTYLE = -20,
  GWL_USERDATA = -21,
  DWL_DLGPROC = 4,
};
enum : DWORD { ERROR_INVALID_INDEX = 1413 };

struct HDC__;
typedef HDC__* HDC;
struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
static_assert(sizeof(PAINTSTRUCT) == 64, "PAINTSTRUCT layout");

// PeekMessageW
enum : UINT {
  PM_NOREMOVE = 0x0,
  PM_REMOVE = 0x1,
  PM_NOYIELD = 0x2,
};

// Menu item flags of a menu template and of menu functions.
enum : UINT {
  MF_STRING = 0x0,
  MF_GRAYED = 0x1,
  MF_DISABLED = 0x2,
  MF_CHECKED = 0x8,
  MF_POPUP = 0x10,
  MF_END = 0x80,
  MF_SEPARATOR = 0x800,
  MF_BYCOMMAND = 0x0,
  MF_BYPOSITION = 0x400,
  MF_UNCHECKED = 0x0,
  MF_ENABLED = 0x0,
};

// GetMenuItemInfoW.
enum : UINT {
  MIIM_STATE = 0x01,
  MIIM_ID = 0x02,
  MIIM_SUBMENU = 0x04,
  MIIM_TYPE = 0x10,
  MIIM_DATA = 0x20,
  MFT_STRING = 0x0,
  MFT_SEPARATOR = 0x800,
  MFS_GRAYED = 0x3,
  MFS_CHECKED = 0x8,
};
struct MENUITEMINFOW {
  UINT cbSize;
  UINT fMask;
  UINT fType;
  UINT fState;
  UINT wID;
  HMENU hSubMenu;
  HANDLE hbmpChecked;
  HANDLE hbmpUnchecked;
  DWORD dwItemData;
  LPWSTR dwTypeData;
  UINT cch;
};
static_assert(sizeof(MENUITEMINFOW) == 44, "MENUITEMINFOW layout");

// Errors of the resource functions.
enum : DWORD {
  ERROR_RESOURCE_DATA_NOT_FOUND = 1812,
  ERROR_RESOURCE_TYPE_NOT_FOUND = 1813,
  ERROR_RESOURCE_NAME_NOT_FOUND = 1814,
  ERROR_INVALID_MENU_HANDLE = 1401,
};

#define IDI_APPLICATION ((LPCWSTR)(uintptr_t)32512)
#define IDI_HAND ((LPCWSTR)(uintptr_t)32513)
#define IDI_QUESTION ((LPCWSTR)(uintptr_t)32514)
#define IDI_EXCLAMATION ((LPCWSTR)(uintptr_t)32515)
#define IDI_ASTERISK ((LPCWSTR)(uintptr_t)32516)
#define MAKEINTRESOURCEW(id) ((LPCWSTR)(uintptr_t)(WORD)(id))

#define IDC_ARROW ((LPCWSTR)(uintptr_t)0x7F00)
#define IDC_WAIT ((LPCWSTR)(uintptr_t)0x7F02)

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HANDLE hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};
static_assert(sizeof(WNDCLASSW) == 40, "WNDCLASSW layout");

extern "C" {
WORD RegisterClassW(const WNDCLASSW* cls);
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
// In screen coordinates; a child window's rectangle is kept relative to
// its parent's client area.
BOOL GetWindowRect(HWND window, RECT* rect);
// The device's windows have no frame: the client area is the whole window.
BOOL GetClientRect(HWND window, RECT* rect);
int GetWindowTextW(HWND window, LPWSTR buffer, int size);
DWORD GetWindowThreadProcessId(HWND window, DWORD* process);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD thread, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL GetMessageW(MSG* msg, HWND window, UINT first, UINT last);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
HWND GetForegroundWindow(void);
BOOL SetForegroundWindow(HWND window);

int GetSystemMetrics(int index);
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);

BOOL PeekMessageW(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
// Timers: WM_TIMER through the message loop, or `proc` called by
// DispatchMessageW for it.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// Resources of a module (system icons with a null instance).
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
BOOL DestroyMenu(HMENU menu);
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info);
HMENU GetSubMenu(HMENU menu, int position);
// Both answer the item's previous state, or (DWORD)-1 when there is no
// such item.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags);
// The device draws no menu bar: succeeds for any window.
BOOL DrawMenuBar(HWND window);
// A null buffer asks for the string's length in characters.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);

// Window properties.
BOOL SetPropW(HWND window, LPCWSTR name, HANDLE data);
HANDLE GetPropW(HWND window, LPCWSTR name);
HANDLE RemovePropW(HWND window, LPCWSTR name);
HCURSOR SetCursor(HCURSOR cursor);

// Input state. The pen is the cursor: GetCursorPos gives its latest point
// and fails until it has touched the screen once.
SHORT GetAsyncKeyState(int vk);
SHORT GetKeyState(int vk);
BOOL GetCursorPos(POINT* point);
HWND SetCapture(HWND window);
BOOL ReleaseCapture(void);
HWND GetCapture(void);
HWND SetFocus(HWND window);
HWND GetFocus(void);
HWND GetActiveWindow(void);

// Geometry and painting.
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
// A null window asks every window to repaint; a null rectangle the whole
// client area.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL ScreenToClient(HWND window, POINT* point);
BOOL ClientToScreen(HWND window, POINT* point);
HWND GetWindow(HWND window, UINT relation);
LONG GetWindowLongW(HWND window, int index);
LONG SetWindowLongW(HWND window, int index, LONG value);
}
