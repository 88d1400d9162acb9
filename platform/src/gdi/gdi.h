// The graphics state shared by the GDI files: surfaces (the screen and
// bitmaps), device contexts, palettes and the registry that turns them into
// validated handles. Everything here is used with g_gdi_lock held.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "wce/gdi.h"

enum GdiKind : uint32_t { GDI_NONE = 0, GDI_BITMAP, GDI_PALETTE, GDI_DC };

struct GdiDc;

// Pixels of one format, rows top down, `stride` bytes apart. Formats: 1
// (monochrome, bit 7 leftmost), 8 (default-palette indices), 16 (5-6-5),
// 24 (B, G, R) and 32 (B, G, R, unused).
struct Surface {
  int width;
  int height;
  int bpp;
  int stride;
  std::vector<uint8_t> bits;
};

struct GdiBitmap {
  GdiKind kind;
  void* handle;
  Surface surface;
  GdiDc* selected_in;  // the one memory DC holding it (null when none)
  bool stock;
};

struct GdiPalette {
  GdiKind kind;
  void* handle;
  std::vector<PALETTEENTRY> entries;
  bool stock;
};

struct GdiDc {
  GdiKind kind;
  void* handle;
  bool memory;    // from CreateCompatibleDC, else from GetDC
  int origin_x;   // where the DC's (0, 0) is on its surface
  int origin_y;
  RECT clip;      // surface coordinates
  GdiBitmap* bitmap;  // memory DCs: the selected bitmap
  HPALETTE palette;
};

extern std::mutex g_gdi_lock;

// Registry: handles are validated against a slot table with generations, so
// stale or foreign values are refused instead of dereferenced.
// Registers the object and returns its handle (which the caller stores in
// the object); null when the table is full.
void* gdi_insert(void* object, GdiKind kind);
void* gdi_lookup(const void* handle, GdiKind kind);  // null when not a live handle of that kind
void gdi_remove(const void* handle);

// Surfaces.
bool surface_init(Surface* s, int width, int height, int bpp);  // false for absurd sizes
uint32_t surface_get(const Surface& s, int x, int y);
void surface_put(Surface& s, int x, int y, uint32_t raw);
uint32_t raw_mask(int bpp);
// Raw pixel <-> 0x00RRGGBB.
uint32_t raw_to_rgb(int bpp, uint32_t raw);
uint32_t rgb_to_raw(int bpp, uint32_t rgb);

// The screen (created on first use) and the surface behind a DC.
Surface& gdi_screen();
Surface* dc_surface(GdiDc* dc);
// After a drawing operation changed the screen: the capture file.
void screen_changed();

// The default palette and the stock objects.
const PALETTEENTRY* default_palette();
HPALETTE stock_palette();
HBITMAP stock_bitmap();
const GdiPalette* dc_palette(const GdiDc* dc);

// The transfer behind BitBlt, StretchBlt and StretchDIBits: source pixels
// from `src` (null for rops without a source), with the source rectangle in
// src's coordinates and its clip.
bool stretch_transfer(GdiDc* dst, int x, int y, int w, int h, const Surface* src, const RECT* src_clip, int64_t sx,
                      int64_t sy, int sw, int sh, DWORD rop);
bool rop_known(DWORD rop);
bool rop_uses_source(DWORD rop);
