// The graphics state shared by the GDI files: surfaces (the screen and
// bitmaps), device contexts, palettes and the registry that turns them into
// validated handles. Everything here is used with g_gdi_lock held.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "wce/gdi.h"

enum GdiKind : uint32_t { GDI_NONE = 0, GDI_BITMAP, GDI_PALETTE, GDI_DC, GDI_BRUSH };

struct GdiDc;

// Pixels of one format, `stride` bytes a row. Formats: 1 (bit 7 leftmost),
// 4 (high nibble leftmost), 8, 16 (5-6-5), 24 (B, G, R) and 32 (B, G, R,
// unused). Indexed pixels go through `colors` when it is set (a DIB
// section's table) and otherwise mean black/white (1) or the default
// palette (8); `masks` (DIB sections only) replaces 5-6-5 or B, G, R.
struct Surface {
  int width;
  int height;
  int bpp;
  int stride;
  bool bottom_up;                // row 0 is the last one in memory (DIBs)
  uint32_t masks[3];             // red, green, blue; all zero for the native layout
  std::vector<uint32_t> colors;  // 0x00RRGGBB; indices past it are black
  std::vector<uint8_t> bits;     // never resized after creation: DIB sections hand out its address
};

struct GdiBitmap {
  GdiKind kind;
  void* handle;
  Surface surface;
  GdiDc* selected_in;  // the one memory DC holding it (null when none)
  bool stock;
  bool section;              // from CreateDIBSection
  BITMAPINFOHEADER header;   // sections: as created, biSizeImage filled in
  DWORD fields[3];           // sections: the masks GetObjectW reports
};

struct GdiBrush {
  GdiKind kind;
  void* handle;
  COLORREF color;
  int selections;  // DCs holding it; it cannot be deleted before they let go
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
  GdiBrush* brush;  // never null; the stock white brush to begin with
  COLORREF text_color;  // black to begin with
  COLORREF back_color;  // white to begin with
  int back_mode;        // OPAQUE to begin with
};

extern std::mutex g_gdi_lock;

// Registry: handles are validated against a slot table with generations, so
// stale or foreign values are refused instead of dereferenced.
// Registers the object and returns its handle (which the caller stores in
// the object); null when the table is full.
void* gdi_insert(void* object, GdiKind kind);
void* gdi_lookup(const void* handle, GdiKind kind);  // null when not a live handle of that kind
void gdi_remove(const void* handle);

// Surfaces. Rows are padded to `align` bytes (2 for bitmaps, 4 for DIBs).
bool surface_init(Surface* s, int width, int height, int bpp, int align = 2);  // false for absurd sizes
uint32_t surface_get(const Surface& s, int x, int y);
void surface_put(Surface& s, int x, int y, uint32_t raw);
uint32_t raw_mask(int bpp);
// Raw pixel <-> 0x00RRGGBB in the native layouts.
uint32_t raw_to_rgb(int bpp, uint32_t raw);
uint32_t rgb_to_raw(int bpp, uint32_t rgb);
// The same for a particular surface (its colour table or masks).
uint32_t surface_to_rgb(const Surface& s, uint32_t raw);
uint32_t surface_from_rgb(const Surface& s, uint32_t rgb);
// Whether raw pixels of one mean the same colours in the other.
bool same_format(const Surface& a, const Surface& b);

// A DIB header, checked and read: what StretchDIBits and CreateDIBSection
// share. Colours are 0x00RRGGBB; masks are filled in for 16 and 32 bits.
struct DibHeader {
  int width, height;  // height > 0
  bool bottom_up;
  int bpp;
  size_t stride;
  uint32_t used;  // colour table entries given (1, 4, 8 bits)
  uint32_t colors[256];
  uint32_t masks[3];
};
bool dib_read_header(const BITMAPINFO* info, UINT usage, const GdiDc* dc, DibHeader* out);

// Brushes: the stock white one, and moving a DC's selection.
GdiBrush* stock_brush();
void dc_set_brush(GdiDc* dc, GdiBrush* brush);

// The screen (created on first use) and the surface behind a DC.
Surface& gdi_screen();
Surface* dc_surface(GdiDc* dc);
// After a drawing operation changed the screen: the capture file.
void screen_changed();
// After the display turned: the screen takes the new shape, cleared.
// Takes g_gdi_lock itself (the one function here that does).
void gdi_screen_reshape();

// Text in the device's font on `s` inside `clip` (surface coordinates),
// laid out in `rect` by the DT_* flags as DrawTextW does; DT_CALCRECT only
// measures, setting rect's right and bottom. Colours are 0x00RRGGBB.
// Returns the height of the text. Needs no lock of its own.
int gdi_draw_text(Surface& s, const RECT& clip, const WCHAR* text, int count, RECT* rect, UINT format,
                  uint32_t text_rgb, bool opaque, uint32_t back_rgb);

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
