// GetObjectW: the record describing a bitmap, DIB section, palette or brush.
#include <cstring>

#include "gdi.h"
#include "wce/kernel.h"

namespace {

struct LogBrush {
  UINT lbStyle;  // BS_SOLID
  COLORREF lbColor;
  UINT_PTR lbHatch;
};
static_assert(sizeof(LogBrush) == 12, "LOGBRUSH layout");

BITMAP bitmap_record(const GdiBitmap& b) {
  const Surface& s = b.surface;
  BITMAP bm{};
  bm.bmWidth = s.width;
  bm.bmHeight = s.height;
  bm.bmWidthBytes = s.stride;
  bm.bmPlanes = 1;
  bm.bmBitsPixel = WORD(s.bpp);
  // Device bitmaps' pixels are not the caller's to touch.
  bm.bmBits = b.section ? const_cast<uint8_t*>(s.bits.data()) : nullptr;
  return bm;
}

// The record for `size` bytes (0 when too small) and, with `out`, written.
int answer(const void* record, int need, int size, void* out) {
  if (!out) return need;
  if (size < need) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  memcpy(out, record, size_t(need));
  return need;
}

}  // namespace

// Without a buffer the answer is the size that would be written: BITMAP's
// for a section unless `size` leaves room for a DIBSECTION.
extern "C" int GetObjectW(HGDIOBJ object, int size, void* out) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  if (GdiBitmap* b = static_cast<GdiBitmap*>(gdi_lookup(object, GDI_BITMAP))) {
    if (b->section && size >= int(sizeof(DIBSECTION))) {
      DIBSECTION ds{};
      ds.dsBm = bitmap_record(*b);
      ds.dsBmih = b->header;
      memcpy(ds.dsBitfields, b->fields, sizeof ds.dsBitfields);
      return answer(&ds, sizeof ds, size, out);
    }
    BITMAP bm = bitmap_record(*b);
    return answer(&bm, sizeof bm, size, out);
  }
  if (GdiPalette* p = static_cast<GdiPalette*>(gdi_lookup(object, GDI_PALETTE))) {
    WORD count = WORD(p->entries.size());
    return answer(&count, sizeof count, size, out);
  }
  if (GdiBrush* br = static_cast<GdiBrush*>(gdi_lookup(object, GDI_BRUSH))) {
    LogBrush lb{0, br->color, 0};
    return answer(&lb, sizeof lb, size, out);
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return 0;
}
