// DIB sections: bitmaps whose pixels the caller addresses directly, in the
// DIB's own layout, so that blits read and write that memory itself.
#include <cstring>

#include "gdi.h"
#include "wce/kernel.h"

namespace {

// Masks that are the surface's native layout are stored as such, so that
// such a section blits to the screen (or a 32-bit bitmap) unconverted.
void set_masks(Surface& s, const uint32_t masks[3]) {
  static const uint32_t native16[3] = {0xF800, 0x07E0, 0x001F}, native32[3] = {0xFF0000, 0xFF00, 0xFF};
  const uint32_t* native = s.bpp == 16 ? native16 : native32;
  if (memcmp(masks, native, sizeof native16) != 0) memcpy(s.masks, masks, sizeof s.masks);
}

// Masks must be non-empty and inside the pixel (the upper byte of a 32-bit
// pixel is not kept).
bool masks_usable(int bpp, const uint32_t masks[3]) {
  uint32_t room = bpp == 16 ? 0xFFFF : 0xFFFFFF;
  for (int i = 0; i < 3; ++i)
    if (!masks[i] || (masks[i] & ~room)) return false;
  return true;
}

GdiBitmap* section_of(HDC dc) {
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  GdiBitmap* b = d->memory ? d->bitmap : nullptr;
  return b && b->section && !b->surface.colors.empty() ? b : nullptr;
}

}  // namespace

// `offset` only matters with a file mapping, which the device does not
// have: a mapping is refused and a lone offset ignored.
extern "C" HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD) {
  if (bits) *bits = nullptr;
  if (section) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = nullptr;
  if (dc && !(d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC)))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  DibHeader h;
  if (!info || !dib_read_header(info, usage, d, &h) ||
      ((h.bpp == 16 || h.bpp == 32) && !masks_usable(h.bpp, h.masks))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiBitmap* b = new GdiBitmap{};
  Surface& s = b->surface;
  if (!surface_init(&s, h.width, h.height, h.bpp, 4)) {
    delete b;
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  s.bottom_up = h.bottom_up;
  if (h.bpp <= 8) s.colors.assign(h.colors, h.colors + h.used);
  if (h.bpp == 16 || h.bpp == 32) set_masks(s, h.masks);
  b->kind = GDI_BITMAP;
  b->section = true;
  b->header = info->bmiHeader;
  b->header.biSize = sizeof(BITMAPINFOHEADER);
  b->header.biSizeImage = DWORD(s.bits.size());
  // GetObjectW reports masks for bit fields and for 5-5-5, not for the rest.
  if (info->bmiHeader.biCompression == BI_BITFIELDS || h.bpp == 16) memcpy(b->fields, h.masks, sizeof b->fields);
  b->handle = gdi_insert(b, GDI_BITMAP);
  if (!b->handle) {
    delete b;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (bits) *bits = s.bits.data();
  return static_cast<HBITMAP>(b->handle);
}

extern "C" UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiBitmap* b = section_of(dc);
  if (!b || !colors) return 0;
  const std::vector<uint32_t>& table = b->surface.colors;
  if (start >= table.size()) return 0;
  if (count > table.size() - start) count = UINT(table.size() - start);
  for (UINT i = 0; i < count; ++i) {
    uint32_t c = table[start + i];
    colors[i] = {BYTE(c), BYTE(c >> 8), BYTE(c >> 16), 0};
  }
  return count;
}

extern "C" UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiBitmap* b = section_of(dc);
  if (!b || !colors) return 0;
  std::vector<uint32_t>& table = b->surface.colors;
  if (start >= table.size()) return 0;
  if (count > table.size() - start) count = UINT(table.size() - start);
  for (UINT i = 0; i < count; ++i)
    table[start + i] = uint32_t(colors[i].rgbRed) << 16 | uint32_t(colors[i].rgbGreen) << 8 | colors[i].rgbBlue;
  return count;
}
