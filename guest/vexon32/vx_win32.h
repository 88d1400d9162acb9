/* The Win32 functions and records the library uses beyond the guest C
   library's win32.h: waveform output, the message queue, DirectDraw
   surfaces (version 1 layouts) and WinG (looked up at run time). */
#ifndef VX_WIN32_H
#define VX_WIN32_H
#include <stdint.h>
#include <win32.h>

/* Waveform output comes from win32.h. */
typedef WAVEFORMATEX VxWaveFormat;
typedef WAVEHDR VxWaveHeader;

typedef void* HWND;
typedef struct {
  HWND window;
  unsigned message;
  uint32_t wparam, lparam, time;
  int32_t x, y;
} VxMessage;
_Static_assert(sizeof(VxMessage) == 28, "MSG");
#define PM_REMOVE 1
#define WM_QUIT 0x0012
#define WM_KEYDOWN 0x0100
#define WM_CHAR 0x0102
#define WM_LBUTTONDOWN 0x0201
WIN_IMPORT BOOL WINAPI PeekMessageA(VxMessage* message, HWND window, unsigned first, unsigned last, unsigned remove);
WIN_IMPORT BOOL WINAPI TranslateMessage(const VxMessage* message);
WIN_IMPORT long WINAPI DispatchMessageA(const VxMessage* message);
WIN_IMPORT void WINAPI PostQuitMessage(int code);

/* DirectDraw: the surface's method table in IDirectDrawSurface order. */
typedef struct {
  uint32_t size, flags, height, width;
  int32_t pitch;
  uint32_t back_buffers, refresh, alpha_depth, reserved;
  void* surface;
  uint32_t colour_keys[8];
  uint32_t format_size, format_flags, fourcc, rgb_bits, red_mask, green_mask, blue_mask, alpha_mask;
  uint32_t caps;
} VxSurfaceDesc;
_Static_assert(sizeof(VxSurfaceDesc) == 108, "DDSURFACEDESC");
_Static_assert(__builtin_offsetof(VxSurfaceDesc, surface) == 36, "lpSurface");
_Static_assert(__builtin_offsetof(VxSurfaceDesc, format_size) == 72, "ddpfPixelFormat");
#define DDPF_RGB 0x40u
#define DDBLT_WAIT 0x01000000u
#define VX_SURFACE_BLT 5
#define VX_SURFACE_LOCK 25
#define VX_SURFACE_UNLOCK 32
typedef struct VxSurface {
  void** methods;
} VxSurface;
typedef long(WINAPI* VxSurfaceLock)(VxSurface* self, void* rect, VxSurfaceDesc* desc, uint32_t flags, HANDLE event);
typedef long(WINAPI* VxSurfaceUnlock)(VxSurface* self, void* pointer);
typedef long(WINAPI* VxSurfaceBlt)(VxSurface* self, const int32_t* dest_rect, VxSurface* source,
                                   const int32_t* source_rect, uint32_t flags, void* effects);

/* WinG, from QUAV32 when a movie is played through it. */
typedef void*(WINAPI* VxWinGGetDIBPointer)(HGDIOBJ bitmap, DIB_INFO* info);
typedef unsigned(WINAPI* VxWinGSetDIBColorTable)(HDC dc, unsigned first, unsigned count, const void* colours);
typedef BOOL(WINAPI* VxWinGBitBlt)(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy);

#endif
