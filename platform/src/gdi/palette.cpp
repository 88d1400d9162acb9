// Palettes. The screen has 16 bits a pixel, so realizing a palette changes
// no pixels; palettes matter for 8-bit DIBs drawn with DIB_PAL_COLORS.
#include <cstring>

#include "gdi.h"
#include "wce/kernel.h"

namespace {

// The device's default (system) palette, 256 entries:
//   0-9     the first ten static colours (black, the dark primaries, light
//           gray, money green, sky blue)
//   10-225  a 6x6x6 colour cube, levels 0, 51, 102, 153, 204, 255, red
//           slowest: index 10 + 36r + 6g + b
//   226-245 twenty grays, 255 * (k + 1) / 21 for k = 0..19
//   246-255 the last ten static colours (cream, medium gray, dark gray, the
//           bright primaries, white)
// Static colours sit so that i and 255 - i are roughly inverse, which is
// what DSTINVERT on an 8-bit bitmap relies on.
struct DefaultPalette {
  PALETTEENTRY e[256];
  DefaultPalette() {
    static const BYTE first[10][3] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                                      {0, 0, 128},     {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                                      {192, 220, 192}, {166, 202, 240}};
    static const BYTE last[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                     {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                                     {0, 255, 255},   {255, 255, 255}};
    for (int i = 0; i < 10; ++i) {
      e[i] = {first[i][0], first[i][1], first[i][2], 0};
      e[246 + i] = {last[i][0], last[i][1], last[i][2], 0};
    }
    for (int i = 0; i < 216; ++i) e[10 + i] = {BYTE(i / 36 * 51), BYTE(i / 6 % 6 * 51), BYTE(i % 6 * 51), 0};
    for (int k = 0; k < 20; ++k) {
      BYTE v = BYTE(255 * (k + 1) / 21);
      e[226 + k] = {v, v, v, 0};
    }
  }
};
const DefaultPalette g_default;

GdiPalette* lookup_palette(HPALETTE handle) { return static_cast<GdiPalette*>(gdi_lookup(handle, GDI_PALETTE)); }

}  // namespace

const PALETTEENTRY* default_palette() { return g_default.e; }

HPALETTE stock_palette() {
  static HPALETTE handle;
  if (!handle) {
    GdiPalette* p = new GdiPalette{};
    p->entries.assign(g_default.e, g_default.e + 256);
    p->stock = true;
    p->kind = GDI_PALETTE;
    p->handle = gdi_insert(p, GDI_PALETTE);
    handle = static_cast<HPALETTE>(p->handle);
  }
  return handle;
}

const GdiPalette* dc_palette(const GdiDc* dc) {
  // A palette deleted while selected leaves the DC with the default one.
  const GdiPalette* p = dc ? lookup_palette(dc->palette) : nullptr;
  return p ? p : lookup_palette(stock_palette());
}

extern "C" HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (!palette || palette->palVersion != 0x300 || palette->palNumEntries < 1 || palette->palNumEntries > 256) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiPalette* p = new GdiPalette{};
  p->kind = GDI_PALETTE;
  p->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  p->handle = gdi_insert(p, GDI_PALETTE);
  if (!p->handle) {
    delete p;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return static_cast<HPALETTE>(p->handle);
}

extern "C" HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d || !lookup_palette(palette)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  HPALETTE previous = d->palette;
  d->palette = palette;
  return previous;
}

extern "C" UINT RealizePalette(HDC dc) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0xFFFFFFFF;  // GDI_ERROR
  }
  // The default palette is the system palette already: nothing to map.
  const GdiPalette* p = dc_palette(d);
  return p->stock ? 0 : UINT(p->entries.size());
}

extern "C" BOOL AnimatePalette(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiPalette* p = lookup_palette(palette);
  if (!p) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (start > p->entries.size() || count > p->entries.size() - start || (count && !entries)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Only entries created PC_RESERVED may change; they keep their flags so
  // that they stay animatable.
  for (UINT i = 0; i < count; ++i) {
    PALETTEENTRY& e = p->entries[start + i];
    if (e.peFlags & PC_RESERVED) e = {entries[i].peRed, entries[i].peGreen, entries[i].peBlue, e.peFlags};
  }
  return TRUE;
}

// With no buffer the answer is the size of the system palette, 256.
extern "C" UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries) {
  if (dc) {
    std::lock_guard<std::mutex> hold(g_gdi_lock);
    if (!gdi_lookup(dc, GDI_DC)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
  }
  if (!entries) return 256;
  if (start >= 256) return 0;
  if (count > 256 - start) count = 256 - start;
  memcpy(entries, g_default.e + start, count * sizeof(PALETTEENTRY));
  return count;
}
