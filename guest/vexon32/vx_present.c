/* The three ways a movie reaches the screen: a window through GDI (a
   16-bit 5-6-5 DIB), a
   DirectDraw surface (PIXLY) locked and written in place, and a WinG
   bitmap (QUAV32) blitted to a DC. */
#include <stdlib.h>
#include <string.h>

#include "vx_play.h"
#include "vx_win32.h"

typedef struct WindowTarget {
  HDC dc;
  int x, y;
  uint8_t* bits;
  uint32_t pitch, bytes;
  DIB_INFO header;
} WindowTarget;

static int show_window(void* context, VxMovie* movie) {
  WindowTarget* t = (WindowTarget*)context;
  int r = vx_convert(movie, t->bits, t->bytes, (int32_t)t->pitch, VX_FORMAT_565);
  if (r) return r;
  int w = (int)movie->info.width, h = (int)movie->info.height;
  StretchDIBits(t->dc, t->x, t->y, w, h, 0, 0, w, h, t->bits, &t->header, 0, SRCCOPY);
  return VX_OK;
}

int VXAPI VxPlayWindow(HVXMOVIE movie, HWND window, int x, int y, uint32_t flags) {
  if (!vx_valid(movie)) return VX_ERR_ARGUMENT;
  WindowTarget t;
  memset(&t, 0, sizeof t);
  t.x = x, t.y = y;
  t.pitch = (movie->info.width * 2 + 3) & ~3u;
  t.bytes = t.pitch * movie->info.height;
  t.bits = (uint8_t*)malloc(t.bytes);
  t.dc = GetDC(window);
  if (!t.bits || !t.dc) {
    free(t.bits);
    if (t.dc) ReleaseDC(window, t.dc);
    return t.bits ? VX_ERR_DEVICE : VX_ERR_MEMORY;
  }
  t.header.size = 40;
  t.header.width = (long)movie->info.width;
  t.header.height = -(long)movie->info.height; /* top-down */
  t.header.planes = 1;
  /* 5-6-5 bit fields: the format of the device's screen, so the DIB is
     drawn without a conversion per pixel. */
  t.header.bits = 16;
  t.header.compression = 3; /* BI_BITFIELDS */
  uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
  memcpy(t.header.colours, masks, sizeof masks);
  VxPresenter presenter = {&t, show_window};
  int result = vx_play(movie, &presenter, flags);
  ReleaseDC(window, t.dc);
  free(t.bits);
  return result;
}

typedef struct SurfaceTarget {
  VxSurface* surface;
  int x, y;
} SurfaceTarget;

/* The surface's pixel format: its RGB description when it gives one, else
   the depth its pitch implies, 16 bits being x-5-5-5 as in a 16-bit DIB. */
static uint32_t surface_format(const VxSurfaceDesc* d) {
  uint32_t bits = 0;
  if (d->format_size >= 32 && (d->format_flags & DDPF_RGB)) bits = d->rgb_bits;
  else if (d->width && d->pitch > 0 && (uint32_t)d->pitch * 8 % d->width == 0) bits = (uint32_t)d->pitch * 8 / d->width;
  if (bits == 8) return VX_FORMAT_8;
  if (bits == 16) return (d->format_size >= 32 && d->green_mask == 0x7E0) ? VX_FORMAT_565 : VX_FORMAT_555;
  if (bits == 24) return VX_FORMAT_24;
  return 0;
}

static int show_surface(void* context, VxMovie* movie) {
  SurfaceTarget* t = (SurfaceTarget*)context;
  VxSurfaceDesc desc;
  memset(&desc, 0, sizeof desc);
  desc.size = sizeof desc;
  VxSurfaceLock lock = (VxSurfaceLock)t->surface->methods[VX_SURFACE_LOCK];
  VxSurfaceUnlock unlock = (VxSurfaceUnlock)t->surface->methods[VX_SURFACE_UNLOCK];
  VxSurfaceBlt blt = (VxSurfaceBlt)t->surface->methods[VX_SURFACE_BLT];
  if (lock(t->surface, 0, &desc, 1 /* DDLOCK_WAIT */, 0) != 0 || !desc.surface) return VX_ERR_DEVICE;
  uint32_t format = surface_format(&desc), depth = vx_format_bytes(format);
  int r = VX_ERR_FORMAT;
  if (format && desc.pitch > 0) {
    uint64_t offset = (uint64_t)t->y * (uint32_t)desc.pitch + (uint64_t)t->x * depth;
    uint64_t size = (uint64_t)desc.height * (uint32_t)desc.pitch;
    r = VX_ERR_BUFFER;
    if (t->x + movie->info.width <= desc.width && offset < size)
      r = vx_convert(movie, (uint8_t*)desc.surface + offset, (uint32_t)(size - offset), desc.pitch, format);
  }
  unlock(t->surface, desc.surface);
  if (r) return r;
  /* A copy of the surface onto itself: PIXLY shows the primary on a Blt. */
  int32_t rect[4] = {0, 0, (int32_t)desc.width, (int32_t)desc.height};
  blt(t->surface, rect, t->surface, rect, DDBLT_WAIT, 0);
  return VX_OK;
}

int VXAPI VxPlaySurface(HVXMOVIE movie, void* target, int x, int y, uint32_t flags) {
  VxSurface* surface = (VxSurface*)target;
  if (!vx_valid(movie) || !surface || !surface->methods || x < 0 || y < 0) return VX_ERR_ARGUMENT;
  SurfaceTarget t = {surface, x, y};
  VxPresenter presenter = {&t, show_surface};
  return vx_play(movie, &presenter, flags);
}

typedef struct WinGTarget {
  HDC dest, wing_dc;
  HGDIOBJ bitmap;
  int x, y;
  VxWinGGetDIBPointer get_pointer;
  VxWinGSetDIBColorTable set_colours;
  VxWinGBitBlt blit;
} WinGTarget;

static int show_wing(void* context, VxMovie* movie) {
  WinGTarget* t = (WinGTarget*)context;
  DIB_INFO info;
  memset(&info, 0, sizeof info);
  uint8_t* bits = (uint8_t*)t->get_pointer(t->bitmap, &info);
  if (!bits) return VX_ERR_DEVICE;
  uint32_t format = info.bits == 8 ? VX_FORMAT_8 : info.bits == 16 ? VX_FORMAT_555 : info.bits == 24 ? VX_FORMAT_24 : 0;
  if (!format || info.width <= 0) return VX_ERR_FORMAT;
  long height = info.height < 0 ? -info.height : info.height;
  uint32_t pitch = ((uint32_t)info.width * info.bits + 31) / 32 * 4;
  if ((uint32_t)info.width < movie->info.width || (uint32_t)height < movie->info.height) return VX_ERR_BUFFER;
  if (info.height > 0) format |= VX_BOTTOM_UP;
  int r = vx_convert(movie, bits, pitch * (uint32_t)height, (int32_t)pitch, format);
  if (r) return r;
  if ((format & 0xFF) == VX_FORMAT_8) {
    uint8_t colours[256][4];
    vx_output_palette(movie, colours);
    t->set_colours(t->wing_dc, 0, 256, colours);
  }
  /* A bottom-up bitmap holds the frame in its last rows. */
  int source_y = info.height > 0 ? (int)(height - movie->info.height) : 0;
  t->blit(t->dest, t->x, t->y, (int)movie->info.width, (int)movie->info.height, t->wing_dc, 0, source_y);
  return VX_OK;
}

int VXAPI VxPlayWinG(HVXMOVIE movie, HDC dest, HDC wing_dc, HGDIOBJ wing_bitmap, int x, int y, uint32_t flags) {
  if (!vx_valid(movie) || !dest || !wing_dc || !wing_bitmap) return VX_ERR_ARGUMENT;
  HINSTANCE wing = LoadLibraryA("QUAV32.DLL");
  WinGTarget t = {dest, wing_dc, wing_bitmap, x, y, 0, 0, 0};
  if (wing) {
    t.get_pointer = (VxWinGGetDIBPointer)(void*)GetProcAddress(wing, "WinGGetDIBPointer");
    t.set_colours = (VxWinGSetDIBColorTable)(void*)GetProcAddress(wing, "WinGSetDIBColorTable");
    t.blit = (VxWinGBitBlt)(void*)GetProcAddress(wing, "WinGBitBlt");
  }
  if (!t.get_pointer || !t.set_colours || !t.blit) return VX_ERR_DEVICE;
  VxPresenter presenter = {&t, show_wing};
  return vx_play(movie, &presenter, flags);
}
