// Bitmaps, selecting objects (bitmaps, brushes) into DCs and deleting objects.
#include <cstring>

#include "gdi.h"
#include "wce/kernel.h"

namespace {

HBITMAP make_bitmap(int width, int height, int bpp, const void* bits) {
  GdiBitmap* b = new GdiBitmap{};
  if (!surface_init(&b->surface, width, height, bpp)) {
    delete b;
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (bits) memcpy(b->surface.bits.data(), bits, b->surface.bits.size());
  b->kind = GDI_BITMAP;
  b->handle = gdi_insert(b, GDI_BITMAP);
  if (!b->handle) {
    delete b;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return static_cast<HBITMAP>(b->handle);
}

}  // namespace

// The 1x1 monochrome bitmap every new memory DC holds. It may sit in any
// number of DCs and is never deleted.
HBITMAP stock_bitmap() {
  static HBITMAP handle;
  if (!handle) {
    handle = make_bitmap(1, 1, 1, nullptr);
    static_cast<GdiBitmap*>(gdi_lookup(handle, GDI_BITMAP))->stock = true;
  }
  return handle;
}

extern "C" HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bits_per_pixel, const void* bits) {
  if (planes != 1 || (bits_per_pixel != 1 && bits_per_pixel != 8 && bits_per_pixel != 16 && bits_per_pixel != 24 &&
                      bits_per_pixel != 32)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  return make_bitmap(width, height, int(bits_per_pixel), bits);
}

// In the format of the DC's surface; a null DC means the screen. A memory
// DC still holding the stock bitmap gives a monochrome bitmap, as on Win32.
// A DIB section's table or masks come along: without them its pixels (4-bit
// ones above all) would mean no colour.
extern "C" HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  const Surface* like = &gdi_screen();
  if (dc) {
    GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
    if (!d) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    like = dc_surface(d);
  }
  HBITMAP handle = make_bitmap(width, height, like->bpp, nullptr);
  if (handle) {
    Surface& s = static_cast<GdiBitmap*>(gdi_lookup(handle, GDI_BITMAP))->surface;
    memcpy(s.masks, like->masks, sizeof s.masks);
    s.colors = like->colors;
  }
  return handle;
}

extern "C" HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (gdi_lookup(object, GDI_PALETTE)) {  // SelectPalette's business
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (GdiBrush* brush = static_cast<GdiBrush*>(gdi_lookup(object, GDI_BRUSH))) {
    HGDIOBJ previous = d->brush->handle;
    dc_set_brush(d, brush);
    return previous;
  }
  GdiBitmap* b = static_cast<GdiBitmap*>(gdi_lookup(object, GDI_BITMAP));
  if (!b) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // Only memory DCs take bitmaps, and a bitmap lives in one DC at a time.
  if (!d->memory || (b->selected_in && b->selected_in != d)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiBitmap* previous = d->bitmap;
  if (previous != b) {
    previous->selected_in = nullptr;
    if (!b->stock) b->selected_in = d;
    d->bitmap = b;
    d->clip = {0, 0, b->surface.width, b->surface.height};
  }
  return previous->handle;
}

extern "C" BOOL DeleteObject(HGDIOBJ object) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  if (GdiBitmap* b = static_cast<GdiBitmap*>(gdi_lookup(object, GDI_BITMAP))) {
    // A bitmap still in a DC would leave the DC drawing into freed memory.
    if (b->stock || b->selected_in) return FALSE;
    gdi_remove(object);
    delete b;
    return TRUE;
  }
  if (GdiBrush* b = static_cast<GdiBrush*>(gdi_lookup(object, GDI_BRUSH))) {
    // As with bitmaps: a DC must not paint with a freed brush.
    if (b->stock || b->selections) return FALSE;
    gdi_remove(object);
    delete b;
    return TRUE;
  }
  if (GdiPalette* p = static_cast<GdiPalette*>(gdi_lookup(object, GDI_PALETTE))) {
    if (p->stock) return FALSE;
    gdi_remove(object);
    delete p;
    return TRUE;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}
