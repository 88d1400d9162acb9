// Block transfers: the raster operations and the nearest-neighbour
// transfer that BitBlt, StretchBlt, PatBlt and StretchDIBits share.
#include <algorithm>
#include <cstring>

#include "gdi.h"
#include "wce/kernel.h"

namespace {

// `p` is the DC's brush colour as a raw pixel of the destination.
uint32_t apply_rop(DWORD rop, uint32_t s, uint32_t d, uint32_t p) {
  switch (rop) {
    case SRCCOPY: return s;
    case SRCPAINT: return s | d;
    case SRCAND: return s & d;
    case SRCINVERT: return s ^ d;
    case SRCERASE: return s & ~d;
    case NOTSRCCOPY: return ~s;
    case NOTSRCERASE: return ~(s | d);
    case MERGEPAINT: return ~s | d;
    case PATCOPY: return p;
    case PATINVERT: return p ^ d;
    case DSTINVERT: return ~d;
    case BLACKNESS: return 0;
    default: return 0xFFFFFFFF;  // WHITENESS
  }
}

// A run of destination positions mapped onto source positions: the source
// sample for destination pixel i of n is the one under its centre.
struct Axis {
  int64_t first, last;  // clipped destination range [first, last)
};

bool normalize(int64_t* pos, int64_t* len, bool* flip) {
  if (*len < 0) *pos += *len, *len = -*len, *flip = !*flip;
  return *len > 0;
}

// Colours to destination pixels, remembering recent answers: matching a
// colour table is a search, and blits repeat colours.
struct Converter {
  const Surface& dst;
  uint32_t keys[1024], values[1024];
  explicit Converter(const Surface& d) : dst(d) { memset(keys, 0xFF, sizeof keys); }
  uint32_t operator()(uint32_t rgb) {
    if (dst.colors.empty()) return surface_from_rgb(dst, rgb);
    uint32_t slot = (rgb * 2654435761u) >> 22;
    if (keys[slot] != rgb) keys[slot] = rgb, values[slot] = surface_from_rgb(dst, rgb);
    return values[slot];
  }
};

int64_t source_of(int64_t i, int64_t n, int64_t pos, int64_t len, bool flip) {
  if (flip) i = n - 1 - i;
  return pos + (2 * i + 1) * len / (2 * n);
}

}  // namespace

bool rop_known(DWORD rop) {
  switch (rop) {
    case SRCCOPY: case SRCPAINT: case SRCAND: case SRCINVERT: case SRCERASE: case NOTSRCCOPY:
    case NOTSRCERASE: case MERGEPAINT: case PATCOPY: case PATINVERT: case DSTINVERT: case BLACKNESS:
    case WHITENESS: return true;
    default: return false;
  }
}

bool rop_uses_source(DWORD rop) {
  return rop_known(rop) && rop != PATCOPY && rop != PATINVERT && rop != DSTINVERT && rop != BLACKNESS &&
         rop != WHITENESS;
}

bool stretch_transfer(GdiDc* dst, int x, int y, int w, int h, const Surface* src, const RECT* src_clip, int64_t sx,
                      int64_t sy, int sw, int sh, DWORD rop) {
  Surface& ds = *dc_surface(dst);
  int64_t dx = int64_t(x) + dst->origin_x, dy = int64_t(y) + dst->origin_y, dw = w, dh = h;
  int64_t px = sx, py = sy, pw = sw, ph = sh;
  bool flip_x = false, flip_y = false;
  if (!normalize(&dx, &dw, &flip_x) || !normalize(&dy, &dh, &flip_y)) return true;
  if (src && (!normalize(&px, &pw, &flip_x) || !normalize(&py, &ph, &flip_y))) return true;
  int64_t x0 = std::max<int64_t>(dx, dst->clip.left), x1 = std::min<int64_t>(dx + dw, dst->clip.right);
  int64_t y0 = std::max<int64_t>(dy, dst->clip.top), y1 = std::min<int64_t>(dy + dh, dst->clip.bottom);
  if (x0 >= x1 || y0 >= y1) return true;
  int cols = int(x1 - x0), rows = int(y1 - y0);
  // Source columns and rows (-1 outside the source: those pixels stay).
  std::vector<int> src_x(cols, -1), src_y(rows, -1);
  if (src) {
    for (int c = 0; c < cols; ++c) {
      int64_t v = source_of(x0 + c - dx, dw, px, pw, flip_x);
      if (v >= src_clip->left && v < src_clip->right) src_x[c] = int(v);
    }
    for (int r = 0; r < rows; ++r) {
      int64_t v = source_of(y0 + r - dy, dh, py, ph, flip_y);
      if (v >= src_clip->top && v < src_clip->bottom) src_y[r] = int(v);
    }
  }
  // Source pixels are all read before any is written, so a source that
  // overlaps the destination reads as it was.
  const uint32_t kSkip = 0xFFFFFFFF, mask = raw_mask(ds.bpp);
  Converter convert(ds);
  const COLORREF brush = dst->brush->color;
  const uint32_t pattern = convert((brush & 0xFF) << 16 | (brush & 0xFF00) | ((brush >> 16) & 0xFF));
  std::vector<uint32_t> values(size_t(cols) * rows, 0);
  if (src) {
    bool same = same_format(*src, ds);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c) {
        uint32_t& v = values[size_t(r) * cols + c];
        if (src_x[c] < 0 || src_y[r] < 0) {
          v = kSkip;
          continue;
        }
        v = surface_get(*src, src_x[c], src_y[r]);
        if (!same) v = convert(surface_to_rgb(*src, v));
      }
  }
  bool changed = false;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      uint32_t s = values[size_t(r) * cols + c];
      if (s == kSkip) continue;
      int px_ = int(x0 + c), py_ = int(y0 + r);
      surface_put(ds, px_, py_, apply_rop(rop, s, surface_get(ds, px_, py_), pattern) & mask);
      changed = true;
    }
  if (changed && !dst->memory) screen_changed();
  return true;
}

extern "C" BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  if (!rop_known(rop) || rop_uses_source(rop)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return stretch_transfer(d, x, y, width, height, nullptr, nullptr, 0, 0, 0, 0, rop);
}

extern "C" BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int swidth,
                           int sheight, DWORD rop) {
  if (!rop_known(rop)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dst, GDI_DC));
  GdiDc* s = rop_uses_source(rop) ? static_cast<GdiDc*>(gdi_lookup(src, GDI_DC)) : nullptr;
  if (!d || (rop_uses_source(rop) && !s)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!s) return stretch_transfer(d, x, y, width, height, nullptr, nullptr, 0, 0, 0, 0, rop);
  return stretch_transfer(d, x, y, width, height, dc_surface(s), &s->clip, int64_t(sx) + s->origin_x,
                          int64_t(sy) + s->origin_y,
                          swidth, sheight, rop);
}

extern "C" BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop) {
  return StretchBlt(dst, x, y, width, height, src, sx, sy, width, height, rop);
}
