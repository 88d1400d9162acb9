// Pixel storage and the conversions between formats.
#include <cstring>

#include "gdi.h"

namespace {

// Bitmaps beyond this are refused rather than allocated.
constexpr int kMaxSide = 16384;
constexpr uint64_t kMaxBytes = 64u << 20;

// Nearest default-palette index for each 5-5-5 colour, built on first use.
std::vector<uint8_t>& nearest_table() {
  static std::vector<uint8_t> table;
  if (table.empty()) {
    const PALETTEENTRY* pal = default_palette();
    table.resize(32768);
    for (int key = 0; key < 32768; ++key) {
      int r = ((key >> 10) & 31) * 255 / 31, g = ((key >> 5) & 31) * 255 / 31, b = (key & 31) * 255 / 31;
      int best = 0, best_d = 1 << 30;
      // Static colours first, so that ties go to them: white is 255 and
      // black 0, which inverting indices relies on.
      for (int n = 0; n < 256; ++n) {
        int i = n < 20 ? (n < 10 ? n : 236 + n) : n - 10;
        int dr = r - pal[i].peRed, dg = g - pal[i].peGreen, db = b - pal[i].peBlue;
        int d = dr * dr + dg * dg + db * db;
        if (d < best_d) best = i, best_d = d;
      }
      table[key] = uint8_t(best);
    }
  }
  return table;
}

}  // namespace

bool surface_init(Surface* s, int width, int height, int bpp, int align) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  // Bitmap rows are whole 16-bit words, DIB rows whole 32-bit ones.
  uint64_t stride = ((uint64_t(width) * bpp + 8 * align - 1) / (8 * align)) * align;
  if (stride * height > kMaxBytes) return false;
  s->width = width;
  s->height = height;
  s->bpp = bpp;
  s->stride = int(stride);
  s->bits.assign(size_t(stride * height), 0);
  return true;
}

static size_t row_offset(const Surface& s, int y) { return size_t(s.bottom_up ? s.height - 1 - y : y) * s.stride; }

uint32_t surface_get(const Surface& s, int x, int y) {
  const uint8_t* row = s.bits.data() + row_offset(s, y);
  switch (s.bpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    case 8: return row[x];
    case 16: return uint32_t(row[2 * x] | row[2 * x + 1] << 8);
    case 24: return uint32_t(row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16);
    default: {
      uint32_t v;
      memcpy(&v, row + 4 * x, 4);
      return v & 0xFFFFFF;
    }
  }
}

void surface_put(Surface& s, int x, int y, uint32_t raw) {
  uint8_t* row = s.bits.data() + row_offset(s, y);
  switch (s.bpp) {
    case 1: {
      uint8_t bit = uint8_t(0x80 >> (x & 7));
      row[x >> 3] = (raw & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      break;
    }
    case 4: {
      int shift = (x & 1) ? 0 : 4;
      row[x >> 1] = uint8_t((row[x >> 1] & ~(15 << shift)) | (raw & 15) << shift);
      break;
    }
    case 8: row[x] = uint8_t(raw); break;
    case 16: row[2 * x] = uint8_t(raw), row[2 * x + 1] = uint8_t(raw >> 8); break;
    case 24: row[3 * x] = uint8_t(raw), row[3 * x + 1] = uint8_t(raw >> 8), row[3 * x + 2] = uint8_t(raw >> 16); break;
    default: raw &= 0xFFFFFF, memcpy(row + 4 * x, &raw, 4); break;
  }
}

uint32_t raw_mask(int bpp) {
  switch (bpp) {
    case 1: return 1;
    case 4: return 15;
    case 8: return 0xFF;
    case 16: return 0xFFFF;
    default: return 0xFFFFFF;
  }
}

uint32_t raw_to_rgb(int bpp, uint32_t raw) {
  switch (bpp) {
    case 1: return raw ? 0xFFFFFF : 0;
    case 8: {
      const PALETTEENTRY& e = default_palette()[raw & 0xFF];
      return uint32_t(e.peRed) << 16 | uint32_t(e.peGreen) << 8 | e.peBlue;
    }
    case 16: {
      // Bits repeated into the low ones so that 5-6-5 white is 255, 255, 255.
      uint32_t r = (raw >> 11) & 31, g = (raw >> 5) & 63, b = raw & 31;
      return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
    }
    default: return raw & 0xFFFFFF;
  }
}

uint32_t rgb_to_raw(int bpp, uint32_t rgb) {
  uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  switch (bpp) {
    // Monochrome: only white (the background colour) is 1.
    case 1: return (rgb & 0xFFFFFF) == 0xFFFFFF ? 1 : 0;
    case 8: return nearest_table()[(r >> 3) << 10 | (g >> 3) << 5 | (b >> 3)];
    case 16: return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    default: return rgb & 0xFFFFFF;
  }
}

namespace {

// One channel of a masked pixel scaled to 0-255, and back (truncating, as
// the native 5-6-5 conversion does).
uint32_t from_mask(uint32_t v, uint32_t mask) {
  if (!mask) return 0;
  int shift = __builtin_ctz(mask);
  return uint32_t(uint64_t((v & mask) >> shift) * 255 / (mask >> shift));
}

uint32_t to_mask(uint32_t c, uint32_t mask) {
  if (!mask) return 0;
  int shift = __builtin_ctz(mask);
  return uint32_t(uint64_t(c) * ((mask >> shift) + 1) / 256) << shift & mask;
}

}  // namespace

uint32_t surface_to_rgb(const Surface& s, uint32_t raw) {
  if (s.bpp <= 8 && !s.colors.empty()) return raw < s.colors.size() ? s.colors[raw] : 0;
  if ((s.bpp == 16 || s.bpp == 32) && (s.masks[0] | s.masks[1] | s.masks[2]))
    return from_mask(raw, s.masks[0]) << 16 | from_mask(raw, s.masks[1]) << 8 | from_mask(raw, s.masks[2]);
  return raw_to_rgb(s.bpp, raw);
}

uint32_t surface_from_rgb(const Surface& s, uint32_t rgb) {
  if (s.bpp <= 8 && !s.colors.empty()) {
    // The nearest entry; the first of equals.
    int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    uint32_t best = 0;
    int best_d = 1 << 30;
    for (uint32_t i = 0; i < s.colors.size(); ++i) {
      uint32_t c = s.colors[i];
      int dr = r - int((c >> 16) & 0xFF), dg = g - int((c >> 8) & 0xFF), db = b - int(c & 0xFF);
      int d = dr * dr + dg * dg + db * db;
      if (d < best_d) best = i, best_d = d;
    }
    return best;
  }
  if ((s.bpp == 16 || s.bpp == 32) && (s.masks[0] | s.masks[1] | s.masks[2]))
    return to_mask((rgb >> 16) & 0xFF, s.masks[0]) | to_mask((rgb >> 8) & 0xFF, s.masks[1]) |
           to_mask(rgb & 0xFF, s.masks[2]);
  return rgb_to_raw(s.bpp, rgb);
}

bool same_format(const Surface& a, const Surface& b) {
  return a.bpp == b.bpp && memcmp(a.masks, b.masks, sizeof a.masks) == 0 && a.colors == b.colors;
}
