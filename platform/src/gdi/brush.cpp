// Solid brushes: the colour PatBlt and the pattern rops paint with.
#include "gdi.h"
#include "wce/kernel.h"

GdiBrush* stock_brush() {
  static GdiBrush* brush;
  if (!brush) {
    brush = new GdiBrush{};
    brush->kind = GDI_BRUSH;
    brush->color = 0xFFFFFF;
    brush->stock = true;
    brush->handle = gdi_insert(brush, GDI_BRUSH);
  }
  return brush;
}

// Counts selections so that DeleteObject can refuse a brush a DC still uses.
void dc_set_brush(GdiDc* dc, GdiBrush* brush) {
  if (dc->brush) --dc->brush->selections;
  dc->brush = brush;
  if (brush) ++brush->selections;
}

extern "C" HBRUSH CreateSolidBrush(COLORREF color) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiBrush* b = new GdiBrush{};
  b->kind = GDI_BRUSH;
  b->color = color & 0xFFFFFF;
  b->handle = gdi_insert(b, GDI_BRUSH);
  if (!b->handle) {
    delete b;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return static_cast<HBRUSH>(b->handle);
}
