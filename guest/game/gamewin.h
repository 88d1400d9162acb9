/* The Win32 pieces the game uses beyond the guest's common win32.h:
   windows and messages, waveform audio, DirectDraw (PIXLY) and WinG
   (QUAV32). Declared here, as a game of the time carried its own. */
#ifndef GAME_GAMEWIN_H
#define GAME_GAMEWIN_H
#include <win32.h>

typedef void* HWND;
typedef void* HMENU;
typedef void* HICON;
typedef void* HCURSOR;
typedef void* HBRUSH;
typedef long LRESULT;
typedef unsigned WPARAM;
typedef long LPARAM;
typedef LRESULT(WINAPI* WNDPROC)(HWND, unsigned, WPARAM, LPARAM);
typedef struct { long left, top, right, bottom; } RECT;
typedef struct { long x, y; } POINT;
typedef struct {
  HWND hwnd;
  unsigned message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG;
typedef struct {
  unsigned style;
  WNDPROC lpfnWndProc;
  int cbClsExtra, cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
} WNDCLASSA;
typedef struct {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore, fIncUpdate;
  unsigned char rgbReserved[32];
} PAINTSTRUCT;

#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_ACTIVATE 0x0006
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_ACTIVATEAPP 0x001C
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WS_POPUP 0x80000000u
#define WS_VISIBLE 0x10000000u
#define PM_REMOVE 1
#define SW_SHOW 5
#define MK_LBUTTON 1
#define VK_BACK 0x08
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define MB_OK 0
#define MB_ICONERROR 0x10
#define MB_ICONWARNING 0x30

WIN_IMPORT unsigned short WINAPI RegisterClassA(const WNDCLASSA* wc);
WIN_IMPORT HWND WINAPI CreateWindowExA(DWORD ex_style, const char* class_name, const char* title, DWORD style,
                                       int x, int y, int width, int height, HWND parent, HMENU menu,
                                       HINSTANCE instance, void* param);
WIN_IMPORT LRESULT WINAPI DefWindowProcA(HWND hwnd, unsigned message, WPARAM wParam, LPARAM lParam);
WIN_IMPORT BOOL WINAPI DestroyWindow(HWND hwnd);
WIN_IMPORT BOOL WINAPI ShowWindow(HWND hwnd, int show);
WIN_IMPORT BOOL WINAPI UpdateWindow(HWND hwnd);
WIN_IMPORT BOOL WINAPI GetClientRect(HWND hwnd, RECT* rect);
WIN_IMPORT BOOL WINAPI PeekMessageA(MSG* msg, HWND hwnd, unsigned first, unsigned last, unsigned remove);
WIN_IMPORT BOOL WINAPI TranslateMessage(const MSG* msg);
WIN_IMPORT LRESULT WINAPI DispatchMessageA(const MSG* msg);
WIN_IMPORT BOOL WINAPI PostMessageA(HWND hwnd, unsigned message, WPARAM wParam, LPARAM lParam);
WIN_IMPORT void WINAPI PostQuitMessage(int code);
WIN_IMPORT HDC WINAPI BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
WIN_IMPORT BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
WIN_IMPORT unsigned WINAPI SetTimer(HWND hwnd, unsigned id, unsigned elapse, void* proc);
WIN_IMPORT BOOL WINAPI KillTimer(HWND hwnd, unsigned id);
WIN_IMPORT short WINAPI GetAsyncKeyState(int vk);
WIN_IMPORT int WINAPI MessageBoxA(HWND owner, const char* text, const char* caption, unsigned type);
WIN_IMPORT HCURSOR WINAPI LoadCursorA(HINSTANCE instance, const char* name);
WIN_IMPORT int WINAPI GetSystemMetrics(int index);


/* Registry (binary values beside the common REG_DWORD). */
#define REG_BINARY 3

/* DirectDraw, version 1 interfaces, as far as the game calls them. */
typedef struct { unsigned char red, green, blue, flags; } PALETTEENTRY;
typedef struct {
  DWORD dwSize, dwFlags, dwHeight, dwWidth;
  long lPitch;
  DWORD dwBackBufferCount, dwRefreshRate, dwAlphaBitDepth, dwReserved;
  void* lpSurface;
  DWORD colour_keys[8];
  DWORD pixel_format[8];
  DWORD dwCaps;
} DDSURFACEDESC;
typedef struct IDirectDraw IDirectDraw;
typedef struct IDirectDrawSurface IDirectDrawSurface;
typedef struct IDirectDrawPalette IDirectDrawPalette;
struct IDirectDraw {
  struct {
    long(WINAPI* slots0[5])(void);
    long(WINAPI* CreatePalette)(IDirectDraw*, DWORD, PALETTEENTRY*, IDirectDrawPalette**, void*);
    long(WINAPI* CreateSurface)(IDirectDraw*, DDSURFACEDESC*, IDirectDrawSurface**, void*);
    long(WINAPI* slots7[13])(void);
    long(WINAPI* SetCooperativeLevel)(IDirectDraw*, HWND, DWORD);
    long(WINAPI* SetDisplayMode)(IDirectDraw*, DWORD, DWORD, DWORD);
    long(WINAPI* WaitForVerticalBlank)(IDirectDraw*, DWORD, HANDLE);
  } * vt;
};
struct IDirectDrawSurface {
  struct {
    long(WINAPI* slots0[5])(void);
    long(WINAPI* Blt)(IDirectDrawSurface*, RECT*, IDirectDrawSurface*, RECT*, DWORD, void*);
    long(WINAPI* slots6[19])(void);
    long(WINAPI* Lock)(IDirectDrawSurface*, RECT*, DDSURFACEDESC*, DWORD, HANDLE);
    long(WINAPI* slots26[5])(void);
    long(WINAPI* SetPalette)(IDirectDrawSurface*, IDirectDrawPalette*);
    long(WINAPI* Unlock)(IDirectDrawSurface*, void*);
  } * vt;
};
struct IDirectDrawPalette {
  struct {
    long(WINAPI* slots0[6])(void);
    long(WINAPI* SetEntries)(IDirectDrawPalette*, DWORD, DWORD, DWORD, PALETTEENTRY*);
  } * vt;
};
_Static_assert(sizeof(DDSURFACEDESC) == 108, "DDSURFACEDESC is 108 bytes");
#define DDSD_CAPS 1
#define DDSD_HEIGHT 2
#define DDSD_WIDTH 4
#define DDSCAPS_PRIMARYSURFACE 0x200
#define DDSCAPS_OFFSCREENPLAIN 0x40
#define DDSCL_FULLSCREEN 1
#define DDSCL_EXCLUSIVE 0x10
WIN_IMPORT long WINAPI DirectDrawCreate(void* guid, IDirectDraw** dd, void* outer);

/* WinG. */
WIN_IMPORT BOOL WINAPI WinGRecommendDIBFormat(DIB_INFO* format);
WIN_IMPORT HDC WINAPI WinGCreateDC(void);
WIN_IMPORT HGDIOBJ WINAPI WinGCreateBitmap(HDC dc, const DIB_INFO* info, void** bits);
WIN_IMPORT BOOL WINAPI WinGBitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy);
WIN_IMPORT BOOL WINAPI WinGStretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy,
                                      int swidth, int sheight);
WIN_IMPORT unsigned WINAPI WinGSetDIBColorTable(HDC dc, unsigned start, unsigned count, const void* colours);
#endif
