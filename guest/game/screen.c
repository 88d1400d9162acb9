/* Showing the canvas: DirectDraw (PIXLY) for play, WinG (QUAV32) for the
   menus, plain GDI when neither is there. */
#include <string.h>

#include "game.h"

static IDirectDraw* dd;
static IDirectDrawSurface *primary, *back;
static IDirectDrawPalette* palette;
static HDC wing_dc;
static unsigned char* wing_bits;
static DIB_INFO dib;
static HWND target;

static int open_direct_draw(HWND window, PALETTEENTRY* colours) {
  DDSURFACEDESC desc;
  if (DirectDrawCreate(0, &dd, 0) != 0 || !dd) return 0;
  dd->vt->SetCooperativeLevel(dd, window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
  dd->vt->SetDisplayMode(dd, SCREEN_W, SCREEN_H, 8);
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (dd->vt->CreateSurface(dd, &desc, &primary, 0) != 0 || !primary) return 0;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = SCREEN_W;
  desc.dwHeight = SCREEN_H;
  desc.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  if (dd->vt->CreateSurface(dd, &desc, &back, 0) != 0 || !back) return 0;
  if (dd->vt->CreatePalette(dd, 0x44 /* 8-bit, all 256 */, colours, &palette, 0) != 0 || !palette) return 0;
  primary->vt->SetPalette(primary, palette);
  return 1;
}

static void open_wing(PALETTEENTRY* colours) {
  if (!WinGRecommendDIBFormat(&dib)) memset(&dib, 0, sizeof dib);
  dib.size = 40;
  dib.width = SCREEN_W;
  dib.height = -SCREEN_H;
  dib.planes = 1;
  dib.bits = 8;
  dib.compression = 0;
  dib.used = 256;
  for (int i = 0; i < 256; i++) {
    dib.colours[i][0] = colours[i].blue;
    dib.colours[i][1] = colours[i].green;
    dib.colours[i][2] = colours[i].red;
    dib.colours[i][3] = 0;
  }
  wing_dc = WinGCreateDC();
  HGDIOBJ bitmap = wing_dc ? WinGCreateBitmap(wing_dc, &dib, (void**)&wing_bits) : 0;
  if (!bitmap || !wing_bits) {
    wing_bits = 0;
    return;
  }
  SelectObject(wing_dc, bitmap);
}

int screen_open(HWND window) {
  PALETTEENTRY colours[256];
  target = window;
  palette_colours(colours);
  open_wing(colours);
  if (!open_direct_draw(window, colours)) {
    game_log("DirectDraw is not available; drawing through GDI\n");
    primary = back = 0;
  }
  return 1;
}

static void show_gdi(void) {
  HDC dc = GetDC(target);
  if (!dc) return;
  if (wing_bits) {
    memcpy(wing_bits, g_canvas, sizeof g_canvas);
    WinGBitBlt(dc, 0, 0, SCREEN_W, SCREEN_H, wing_dc, 0, 0);
  } else {
    StretchDIBits(dc, 0, 0, SCREEN_W, SCREEN_H, 0, 0, SCREEN_W, SCREEN_H, g_canvas, &dib, 0, SRCCOPY);
  }
  ReleaseDC(target, dc);
}

void screen_show(int menus) {
  DDSURFACEDESC desc;
  if (menus || !back) {
    show_gdi();
    return;
  }
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (back->vt->Lock(back, 0, &desc, 1 /* wait */, 0) != 0 || !desc.lpSurface) {
    show_gdi();
    return;
  }
  long pitch = desc.lPitch >= SCREEN_W ? desc.lPitch : SCREEN_W;
  for (int y = 0; y < SCREEN_H; y++) memcpy((unsigned char*)desc.lpSurface + y * pitch, g_canvas[y], SCREEN_W);
  back->vt->Unlock(back, desc.lpSurface);
  primary->vt->Blt(primary, 0, back, 0, 0, 0);
}
