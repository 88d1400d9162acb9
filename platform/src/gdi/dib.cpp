// StretchDIBits: device-independent bitmaps from the caller's memory, of 1,
// 4, 8, 16, 24 or 32 bits a pixel, drawn through the common transfer.
#include <algorithm>
#include <cstring>

#include "gdi.h"
#include "wce/kernel.h"

namespace {

constexpr LONG kMaxSide = 16384;

struct Field {
  uint32_t mask;
  int shift;
  uint64_t max;
};

Field field_of(uint32_t mask) {
  Field f{mask, 0, 0};
  if (!mask) return f;
  while (!((mask >> f.shift) & 1)) ++f.shift;
  f.max = mask >> f.shift;
  return f;
}

uint32_t channel(uint32_t v, const Field& f) {
  return f.max ? uint32_t(uint64_t((v & f.mask) >> f.shift) * 255 / f.max) : 0;
}

struct DibFormat {
  LONG width, height;  // height > 0
  bool bottom_up;
  int bpp;
  size_t stride;
  const uint8_t* bits;
  uint32_t table[256];  // 0x00RRGGBB, for 1, 4 and 8 bits
  Field red, green, blue;
};

uint32_t dib_pixel(const DibFormat& f, int x, int y) {
  const uint8_t* row = f.bits + size_t(f.bottom_up ? f.height - 1 - y : y) * f.stride;
  switch (f.bpp) {
    case 1: return f.table[(row[x >> 3] >> (7 - (x & 7))) & 1];
    case 4: return f.table[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
    case 8: return f.table[row[x]];
    case 16: {
      uint32_t v = uint32_t(row[2 * x] | row[2 * x + 1] << 8);
      return channel(v, f.red) << 16 | channel(v, f.green) << 8 | channel(v, f.blue);
    }
    case 24: return uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x];
    default: {
      uint32_t v;
      memcpy(&v, row + 4 * x, 4);
      return channel(v, f.red) << 16 | channel(v, f.green) << 8 | channel(v, f.blue);
    }
  }
}

// The fields and table StretchDIBits decodes with.
bool read_format(const BITMAPINFO* info, const void* bits, UINT usage, const GdiDc* dc, DibFormat* f) {
  DibHeader h;
  if (!dib_read_header(info, usage, dc, &h)) return false;
  f->width = h.width;
  f->height = h.height;
  f->bottom_up = h.bottom_up;
  f->bpp = h.bpp;
  f->stride = h.stride;
  f->bits = static_cast<const uint8_t*>(bits);
  memcpy(f->table, h.colors, sizeof f->table);
  f->red = field_of(h.masks[0]), f->green = field_of(h.masks[1]), f->blue = field_of(h.masks[2]);
  return true;
}

// The common cases of a game's or a movie's frame: a DIB rectangle of 8
// bits, or of 16 bits in the screen's own 5-6-5 layout, copied unscaled
// onto a 16-bit surface in the native layout. Gives what the general
// transfer gives, with one table look-up a pixel (8 bits) or the rows as
// they are (5-6-5, which converts to itself). False when the case does not
// apply (the caller then takes the general way).
bool copy_unscaled_to_16(GdiDc* d, const DibFormat& f, int x, int y, int width, int height, int64_t left,
                         int64_t top) {
  Surface& ds = *dc_surface(d);
  if (ds.bpp != 16 || ds.bottom_up || ds.masks[0] || ds.masks[1] || ds.masks[2]) return false;
  const bool same_565 = f.bpp == 16 && f.red.mask == 0xF800 && f.green.mask == 0x07E0 && f.blue.mask == 0x001F;
  if (f.bpp != 8 && !same_565) return false;
  if (left < 0 || top < 0 || left + width > f.width || top + height > f.height) return false;
  const uint8_t* first = f.bits;
  const uint8_t* last = f.bits + size_t(f.height) * f.stride;
  const uint8_t* dest = ds.bits.data();
  if (first < dest + ds.bits.size() && dest < last) return false;  // the DIB is the surface itself
  uint16_t table[256];
  if (!same_565)
    for (int i = 0; i < 256; ++i) table[i] = uint16_t(surface_from_rgb(ds, f.table[i]));
  const int64_t dx = int64_t(x) + d->origin_x, dy = int64_t(y) + d->origin_y;
  const int64_t x0 = std::max<int64_t>(dx, std::max<int64_t>(d->clip.left, 0));
  const int64_t x1 = std::min<int64_t>(dx + width, std::min<int64_t>(d->clip.right, ds.width));
  const int64_t y0 = std::max<int64_t>(dy, std::max<int64_t>(d->clip.top, 0));
  const int64_t y1 = std::min<int64_t>(dy + height, std::min<int64_t>(d->clip.bottom, ds.height));
  if (x0 >= x1 || y0 >= y1) return true;
  for (int64_t row = y0; row < y1; ++row) {
    const int64_t src_row = top + (row - dy);
    const uint8_t* in = f.bits + size_t(f.bottom_up ? f.height - 1 - src_row : src_row) * f.stride +
                        (left + x0 - dx) * (f.bpp / 8);
    uint8_t* out = ds.bits.data() + size_t(row) * ds.stride + 2 * x0;
    if (same_565) {
      memcpy(out, in, size_t(x1 - x0) * 2);
      continue;
    }
    for (int64_t col = x0; col < x1; ++col, out += 2) {
      const uint16_t v = table[*in++];
      out[0] = uint8_t(v), out[1] = uint8_t(v >> 8);
    }
  }
  if (!d->memory) screen_changed();
  return true;
}

}  // namespace

// The source rectangle is in the image's own coordinates: for a bottom-up
// DIB its origin is the lower-left corner, so sy counts rows from the
// bottom. Returns the number of source scan lines, 0 on failure.
extern "C" int StretchDIBits(HDC dc, int x, int y, int width, int height, int sx, int sy, int swidth, int sheight,
                             const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  if (!rop_known(rop)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  int lines = sheight < 0 ? -sheight : sheight;
  if (!rop_uses_source(rop)) {
    stretch_transfer(d, x, y, width, height, nullptr, nullptr, 0, 0, 0, 0, rop);
    return lines;
  }
  DibFormat f;
  if (!bits || !info || !read_format(info, bits, usage, d, &f)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (swidth == 0 || sheight == 0 || width == 0 || height == 0) return 0;
  // The source rectangle, normalized, in top-down rows.
  int64_t left = sx, cols = swidth, top = sy, rows = sheight;
  if (cols < 0) left += cols, cols = -cols;
  if (rows < 0) top += rows, rows = -rows;
  if (f.bottom_up) top = f.height - top - rows;
  // Only the part of it inside the image is decoded.
  int64_t l = std::max<int64_t>(left, 0), r = std::min<int64_t>(left + cols, f.width);
  int64_t t = std::max<int64_t>(top, 0), b = std::min<int64_t>(top + rows, f.height);
  if (l >= r || t >= b) return lines;
  if (rop == SRCCOPY && swidth == width && sheight == height && width > 0 && height > 0 &&
      copy_unscaled_to_16(d, f, x, y, width, height, left, top))
    return lines;
  Surface part{};
  if (!surface_init(&part, int(r - l), int(b - t), 32)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  for (int py = 0; py < part.height; ++py)
    for (int px = 0; px < part.width; ++px) surface_put(part, px, py, dib_pixel(f, int(l + px), int(t + py)));
  RECT clip{0, 0, part.width, part.height};
  // Keep the caller's signs so that negative sizes still mirror.
  int64_t src_x = swidth < 0 ? left + cols - l : left - l;
  int64_t src_y = sheight < 0 ? top + rows - t : top - t;
  stretch_transfer(d, x, y, width, height, &part, &clip, src_x, src_y, swidth, sheight, rop);
  return lines;
}

// Reads the header, the colour table or masks; false for anything malformed
// or unsupported.
bool dib_read_header(const BITMAPINFO* info, UINT usage, const GdiDc* dc, DibHeader* f) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 124 || h.biPlanes != 1) return false;
  if (h.biWidth <= 0 || h.biWidth > kMaxSide || h.biHeight == 0 || h.biHeight < -kMaxSide || h.biHeight > kMaxSide)
    return false;
  int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  bool fields = h.biCompression == BI_BITFIELDS;
  if (!(h.biCompression == BI_RGB || (fields && (bpp == 16 || bpp == 32)))) return false;
  if (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS) return false;
  f->width = h.biWidth;
  f->height = h.biHeight > 0 ? h.biHeight : -h.biHeight;
  f->bottom_up = h.biHeight > 0;
  f->bpp = bpp;
  f->stride = ((size_t(h.biWidth) * bpp + 31) / 32) * 4;
  f->used = 0;
  // Indices past the table are black rather than reads past it.
  memset(f->colors, 0, sizeof f->colors);
  memset(f->masks, 0, sizeof f->masks);
  const uint8_t* after = reinterpret_cast<const uint8_t*>(info) + h.biSize;
  if (bpp <= 8) {
    uint32_t size = 1u << bpp;
    f->used = h.biClrUsed && h.biClrUsed < size ? h.biClrUsed : size;
    const GdiPalette* pal = dc_palette(dc);
    for (uint32_t i = 0; i < f->used; ++i) {
      if (usage == DIB_RGB_COLORS) {
        RGBQUAD q;
        memcpy(&q, after + 4 * i, 4);
        f->colors[i] = uint32_t(q.rgbRed) << 16 | uint32_t(q.rgbGreen) << 8 | q.rgbBlue;
      } else {
        uint16_t index;
        memcpy(&index, after + 2 * i, 2);
        const PALETTEENTRY& e = pal->entries[index < pal->entries.size() ? index : 0];
        f->colors[i] = uint32_t(e.peRed) << 16 | uint32_t(e.peGreen) << 8 | e.peBlue;
      }
    }
  } else if (fields) {
    // The masks follow a 40-byte header and are part of the longer ones
    // (from 52 bytes on).
    memcpy(f->masks, h.biSize >= 52 ? reinterpret_cast<const uint8_t*>(info) + 40 : after, sizeof f->masks);
  } else if (bpp == 16) {  // 5-5-5
    f->masks[0] = 0x7C00, f->masks[1] = 0x03E0, f->masks[2] = 0x001F;
  } else if (bpp == 32) {
    f->masks[0] = 0xFF0000, f->masks[1] = 0xFF00, f->masks[2] = 0xFF;
  }
  return true;
}
