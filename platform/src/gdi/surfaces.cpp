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
      for (int i = 0; i < 256; ++i) {
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

bool surface_init(Surface* s, int width, int height, int bpp) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  // Rows are whole 16-bit words, as Win32 bitmaps are.
  uint64_t stride = ((uint64_t(width) * bpp + 15) / 16) * 2;
  if (stride * height > kMaxBytes) return false;
  s->width = width;
  s->height = height;
  s->bpp = bpp;
  s->stride = int(stride);
  s->bits.assign(size_t(stride * height), 0);
  return true;
}

uint32_t surface_get(const Surface& s, int x, int y) {
  const uint8_t* row = s.bits.data() + size_t(y) * s.stride;
  switch (s.bpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
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
  uint8_t* row = s.bits.data() + size_t(y) * s.stride;
  switch (s.bpp) {
    case 1: {
      uint8_t bit = uint8_t(0x80 >> (x & 7));
      row[x >> 3] = (raw & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
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
