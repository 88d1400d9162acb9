// Device contexts: on the screen, on a window's area of it, on bitmaps.
#include <algorithm>

#include "gdi.h"
#include "wce/device.h"
#include "wce/kernel.h"
#include "wce/window.h"

namespace {

HDC register_dc(GdiDc* d) {
  d->kind = GDI_DC;
  d->palette = stock_palette();
  d->back_color = 0xFFFFFF;
  d->back_mode = OPAQUE;
  d->handle = gdi_insert(d, GDI_DC);
  if (!d->handle) {
    delete d;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  dc_set_brush(d, stock_brush());
  return static_cast<HDC>(d->handle);
}

}  // namespace

Surface* dc_surface(GdiDc* dc) { return dc->memory ? &dc->bitmap->surface : &gdi_screen(); }

// The device's windows have no frame: the client area is the window
// rectangle. The DC keeps the rectangle the window had when it was taken.
extern "C" HDC GetDC(HWND window) {
  RECT area{};
  if (window && !GetWindowRect(window, &area)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  const Surface& screen = gdi_screen();
  GdiDc* d = new GdiDc{};
  d->clip = {0, 0, screen.width, screen.height};
  if (window) {
    d->origin_x = area.left;
    d->origin_y = area.top;
    d->clip = {std::max(area.left, LONG(0)), std::max(area.top, LONG(0)), std::min(area.right, LONG(screen.width)),
               std::min(area.bottom, LONG(screen.height))};
  }
  return register_dc(d);
}

extern "C" int ReleaseDC(HWND, HDC dc) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d || d->memory) return 0;
  dc_set_brush(d, nullptr);
  gdi_remove(dc);
  delete d;
  return 1;
}

extern "C" HDC CreateCompatibleDC(HDC dc) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  if (dc && !gdi_lookup(dc, GDI_DC)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  GdiDc* d = new GdiDc{};
  d->memory = true;
  d->bitmap = static_cast<GdiBitmap*>(gdi_lookup(stock_bitmap(), GDI_BITMAP));
  d->clip = {0, 0, 1, 1};
  return register_dc(d);
}

// Any DC may go; its bitmap stays with the caller, free to be deleted or
// selected elsewhere.
extern "C" BOOL DeleteDC(HDC dc) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (d->bitmap) d->bitmap->selected_in = nullptr;
  dc_set_brush(d, nullptr);
  gdi_remove(dc);
  delete d;
  return TRUE;
}

extern "C" int GetDeviceCaps(HDC dc, int index) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  switch (index) {
    case TECHNOLOGY: return 1;  // raster display
    case HORZRES: return gdi_screen().width;
    case VERTRES: return gdi_screen().height;
    case BITSPIXEL: return dc_surface(d)->bpp;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    // No RC_PALETTE: the screen is 16-bit.
    case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHDIB;
    case NUMRESERVED: return 20;
    case COLORRES: return 16;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
  }
}
