// The device's graphics: DCs on the screen and windows, memory DCs and
// bitmaps, the raster operations, stretching, DIBs of every depth,
// palettes, DIB sections, GetObjectW, solid brushes, the object rules and
// the screen capture file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "wce/device.h"
#include "wce/gdi.h"
#include "wce/kernel.h"
#include "wce/synch.h"
#include "wce/window.h"

namespace {

int W() { return device_screen_width(); }
uint16_t px(int x, int y) { return device_screen_pixels()[y * W() + x]; }

struct Screen {
  HDC dc = GetDC(nullptr);
  Screen() { PatBlt(dc, 0, 0, W(), device_screen_height(), BLACKNESS); }
  ~Screen() { ReleaseDC(nullptr, dc); }
};

// A memory DC holding a new bitmap.
struct Mem {
  HDC dc;
  HBITMAP bmp;
  HGDIOBJ old;
  Mem(int w, int h, int bpp, const void* bits = nullptr)
      : dc(CreateCompatibleDC(nullptr)), bmp(CreateBitmap(w, h, 1, bpp, bits)), old(SelectObject(dc, bmp)) {}
  ~Mem() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
  }
};

// A DIB header with room for a 256-entry table.
struct Dib {
  BITMAPINFOHEADER h{};
  uint32_t table[256]{};
  Dib(int w, int h_, int bpp, DWORD compression = BI_RGB) {
    h.biSize = sizeof h, h.biWidth = w, h.biHeight = h_, h.biPlanes = 1, h.biBitCount = WORD(bpp);
    h.biCompression = compression;
  }
  const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};

HWND make_window(int x, int y, int w, int h) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW cls = {};
    cls.lpfnWndProc = [](HWND hwnd, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd, m, wp, lp); };
    cls.lpszClassName = u"GdiTest";
    RegisterClassW(&cls);
    registered = true;
  }
  return CreateWindowExW(0, u"GdiTest", u"", 0, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
}

TEST(Gdi, ScreenAndWindowDcs) {
  Screen s;
  EXPECT_EQ(GetDeviceCaps(s.dc, HORZRES), W());
  EXPECT_EQ(GetDeviceCaps(s.dc, VERTRES), device_screen_height());
  EXPECT_EQ(GetDeviceCaps(s.dc, BITSPIXEL), 16);
  EXPECT_EQ(GetDeviceCaps(s.dc, RASTERCAPS) & RC_PALETTE, 0);
  EXPECT_EQ(GetDeviceCaps(s.dc, NUMCOLORS), -1);
  EXPECT_EQ(px(0, 0), 0);
  EXPECT_TRUE(PatBlt(s.dc, 1, 1, 2, 2, WHITENESS));
  EXPECT_EQ(px(1, 1), 0xFFFF);
  EXPECT_EQ(px(2, 2), 0xFFFF);
  EXPECT_EQ(px(3, 3), 0);

  // A window DC draws relative to the window and only inside it.
  HWND window = make_window(20, 30, 10, 10);
  ASSERT_TRUE(window);
  HDC wdc = GetDC(window);
  ASSERT_TRUE(wdc);
  EXPECT_TRUE(PatBlt(wdc, -5, -5, 100, 100, WHITENESS));
  EXPECT_EQ(px(20, 30), 0xFFFF);
  EXPECT_EQ(px(29, 39), 0xFFFF);
  EXPECT_EQ(px(19, 30), 0);
  EXPECT_EQ(px(30, 39), 0);
  EXPECT_EQ(px(29, 40), 0);
  EXPECT_TRUE(PatBlt(wdc, 1, 1, 1, 1, DSTINVERT));
  EXPECT_EQ(px(21, 31), 0);
  EXPECT_EQ(ReleaseDC(window, wdc), 1);
  EXPECT_EQ(ReleaseDC(window, wdc), 0);  // already released
  DestroyWindow(window);

  HDC mem = CreateCompatibleDC(s.dc);
  EXPECT_EQ(ReleaseDC(nullptr, mem), 0);
  EXPECT_TRUE(DeleteDC(mem));
  EXPECT_FALSE(PatBlt(s.dc, 0, 0, 1, 1, SRCCOPY));  // needs a source
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(Gdi, CompatibleBitmapsAndBitBlt) {
  Screen s;
  HDC mem = CreateCompatibleDC(s.dc);
  EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 1);  // the stock monochrome bitmap
  HBITMAP mono = CreateCompatibleBitmap(mem, 4, 4);
  HBITMAP color = CreateCompatibleBitmap(s.dc, 4, 4);
  HGDIOBJ stock = SelectObject(mem, mono);
  ASSERT_TRUE(stock);
  EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 1);
  EXPECT_EQ(SelectObject(mem, color), mono);
  EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 16);
  SelectObject(mem, stock);
  DeleteObject(color);
  DeleteObject(mono);
  DeleteDC(mem);

  const uint16_t bits[] = {0xF800, 0x07E0, 0x001F, 0x1234};  // 2x2, rows of 4 bytes
  Mem m(2, 2, 16, bits);
  EXPECT_TRUE(BitBlt(s.dc, 5, 6, 2, 2, m.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(px(5, 6), 0xF800);
  EXPECT_EQ(px(6, 6), 0x07E0);
  EXPECT_EQ(px(5, 7), 0x001F);
  EXPECT_EQ(px(6, 7), 0x1234);
  // Clipped to the source: only its pixels arrive.
  PatBlt(s.dc, 0, 0, 10, 10, BLACKNESS);
  EXPECT_TRUE(BitBlt(s.dc, 0, 0, 5, 5, m.dc, 1, 1, SRCCOPY));
  EXPECT_EQ(px(0, 0), 0x1234);
  EXPECT_EQ(px(1, 0), 0);
  EXPECT_EQ(px(0, 1), 0);
  EXPECT_FALSE(BitBlt(s.dc, 0, 0, 1, 1, m.dc, 0, 0, 0x00AA0029));  // a rop not supported
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(Gdi, RasterOperations) {
  Screen s;
  const uint16_t src[] = {0x0000, 0xFFFF, 0x0F0F, 0xF0F0};
  const uint16_t dst[] = {0xFFFF, 0x0F0F, 0x00FF, 0x3C3C};
  Mem ms(4, 1, 16, src), md(4, 1, 16, dst);
  struct Case {
    DWORD rop;
    std::function<uint16_t(uint16_t, uint16_t)> f;
  } cases[] = {
      {SRCCOPY, [](uint16_t s, uint16_t) { return s; }},
      {SRCPAINT, [](uint16_t s, uint16_t d) { return uint16_t(s | d); }},
      {SRCAND, [](uint16_t s, uint16_t d) { return uint16_t(s & d); }},
      {SRCINVERT, [](uint16_t s, uint16_t d) { return uint16_t(s ^ d); }},
      {SRCERASE, [](uint16_t s, uint16_t d) { return uint16_t(s & ~d); }},
      {NOTSRCCOPY, [](uint16_t s, uint16_t) { return uint16_t(~s); }},
      {NOTSRCERASE, [](uint16_t s, uint16_t d) { return uint16_t(~(s | d)); }},
      {MERGEPAINT, [](uint16_t s, uint16_t d) { return uint16_t(~s | d); }},
      {DSTINVERT, [](uint16_t, uint16_t d) { return uint16_t(~d); }},
      {BLACKNESS, [](uint16_t, uint16_t) { return uint16_t(0); }},
      {WHITENESS, [](uint16_t, uint16_t) { return uint16_t(0xFFFF); }},
      {PATCOPY, [](uint16_t, uint16_t) { return uint16_t(0xFFFF); }},
      {PATINVERT, [](uint16_t, uint16_t d) { return uint16_t(~d); }},
  };
  for (const Case& c : cases) {
    BitBlt(s.dc, 0, 0, 4, 1, md.dc, 0, 0, SRCCOPY);
    EXPECT_TRUE(BitBlt(s.dc, 0, 0, 4, 1, ms.dc, 0, 0, c.rop)) << std::hex << c.rop;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(px(i, 0), c.f(src[i], dst[i])) << std::hex << c.rop << " at " << i;
  }
}

TEST(Gdi, OverlappingBlitsOnOneSurface) {
  Screen s;
  uint16_t row[10];
  for (int i = 0; i < 10; ++i) row[i] = uint16_t(i + 1);
  Mem m(10, 1, 16, row);
  for (int shift : {2, -2}) {
    BitBlt(s.dc, 0, 0, 10, 1, m.dc, 0, 0, SRCCOPY);
    int from = shift > 0 ? 0 : 2, to = from + shift;
    EXPECT_TRUE(BitBlt(s.dc, to, 0, 8, 1, s.dc, from, 0, SRCCOPY));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(px(to + i, 0), row[from + i]) << shift << " " << i;
  }
  // Within one memory bitmap too, vertically.
  const uint16_t col[] = {1, 2, 3, 4};
  Mem v(1, 4, 16), src(1, 4, 16, col);
  BitBlt(v.dc, 0, 0, 1, 4, src.dc, 0, 0, SRCCOPY);
  EXPECT_TRUE(BitBlt(v.dc, 0, 1, 1, 3, v.dc, 0, 0, SRCCOPY));
  BitBlt(s.dc, 0, 1, 1, 4, v.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(px(0, 1), 1);
  EXPECT_EQ(px(0, 2), 1);
  EXPECT_EQ(px(0, 3), 2);
  EXPECT_EQ(px(0, 4), 3);
}

TEST(Gdi, StretchScalesAndMirrors) {
  Screen s;
  const uint16_t bits[] = {1, 2, 3, 4};
  Mem m(2, 2, 16, bits);
  EXPECT_TRUE(StretchBlt(s.dc, 0, 0, 4, 4, m.dc, 0, 0, 2, 2, SRCCOPY));
  const uint16_t up[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(px(x, y), up[y][x]) << x << "," << y;
  // Negative destination width: mirrored into [x - 2, x).
  EXPECT_TRUE(StretchBlt(s.dc, 12, 0, -2, 2, m.dc, 0, 0, 2, 2, SRCCOPY));
  EXPECT_EQ(px(10, 0), 2);
  EXPECT_EQ(px(11, 0), 1);
  EXPECT_EQ(px(10, 1), 4);
  // Negative source height: upside down; both negative: both ways.
  EXPECT_TRUE(StretchBlt(s.dc, 20, 0, 2, 2, m.dc, 0, 2, 2, -2, SRCCOPY));
  EXPECT_EQ(px(20, 0), 3);
  EXPECT_EQ(px(21, 1), 2);
  EXPECT_TRUE(StretchBlt(s.dc, 32, 2, -2, -2, m.dc, 0, 0, 2, 2, SRCCOPY));
  EXPECT_EQ(px(30, 0), 4);
  EXPECT_EQ(px(31, 1), 1);
  // Shrinking samples the pixel under each destination centre.
  uint16_t wide[8];
  for (int i = 0; i < 8; ++i) wide[i] = uint16_t(10 + i);
  Mem w8(8, 1, 16, wide);
  EXPECT_TRUE(StretchBlt(s.dc, 0, 5, 2, 1, w8.dc, 0, 0, 8, 1, SRCCOPY));
  EXPECT_EQ(px(0, 5), 12);
  EXPECT_EQ(px(1, 5), 16);
}

TEST(Gdi, MonochromeConversions) {
  Screen s;
  const uint16_t bits[] = {0xFFFF, 0xF800, 0x0000, 0xFFDF};  // white, red, black, nearly white
  Mem color(4, 1, 16, bits);
  Mem mono(4, 1, 1);
  EXPECT_TRUE(BitBlt(mono.dc, 0, 0, 4, 1, color.dc, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(s.dc, 0, 0, 4, 1, mono.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(px(0, 0), 0xFFFF);
  EXPECT_EQ(px(1, 0), 0);
  EXPECT_EQ(px(2, 0), 0);
  EXPECT_EQ(px(3, 0), 0);
  // Rows of a monochrome bitmap are whole words; bit 7 is the leftmost pixel.
  const uint8_t pattern[] = {0xA0, 0x00, 0x40, 0x00};
  Mem given(3, 2, 1, pattern);
  BitBlt(s.dc, 0, 1, 3, 2, given.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(px(0, 1), 0xFFFF);
  EXPECT_EQ(px(1, 1), 0);
  EXPECT_EQ(px(2, 1), 0xFFFF);
  EXPECT_EQ(px(1, 2), 0xFFFF);
  EXPECT_EQ(px(0, 2), 0);
  // 24 and 32 bits are B, G, R; 8 bits index the default palette.
  const uint8_t rgb24[] = {0x10, 0x20, 0xFF, 0, 0, 0, 0, 0};
  const uint32_t rgb32[] = {0x0000FF00};
  const uint8_t idx8[] = {249, 0};  // bright red
  Mem b24(1, 1, 24, rgb24), b32(1, 1, 32, rgb32), b8(1, 1, 8, idx8);
  BitBlt(s.dc, 0, 3, 1, 1, b24.dc, 0, 0, SRCCOPY);
  BitBlt(s.dc, 1, 3, 1, 1, b32.dc, 0, 0, SRCCOPY);
  BitBlt(s.dc, 2, 3, 1, 1, b8.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(px(0, 3), (0xFF >> 3) << 11 | (0x20 >> 2) << 5 | (0x10 >> 3));
  EXPECT_EQ(px(1, 3), 0x07E0);
  EXPECT_EQ(px(2, 3), 0xF800);
  // Into 8 bits: the nearest default-palette colour; inverting black there
  // gives white.
  Mem to8(2, 1, 8);
  EXPECT_TRUE(BitBlt(to8.dc, 0, 0, 1, 1, s.dc, 2, 3, SRCCOPY));  // red
  EXPECT_TRUE(PatBlt(to8.dc, 1, 0, 1, 1, DSTINVERT));            // black, as created
  BitBlt(s.dc, 0, 4, 2, 1, to8.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(px(0, 4), 0xF800);
  EXPECT_EQ(px(1, 4), 0xFFFF);
}

TEST(Gdi, StretchDIBitsFormats) {
  Screen s;
  // Each case: a 2x2 image of red, green / blue, white (top row first on
  // screen), drawn 1:1 at a new place.
  const uint16_t want[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
  int at = 0;
  auto check = [&](const char* what, const void* bits, const Dib& d, UINT usage = DIB_RGB_COLORS) {
    EXPECT_EQ(StretchDIBits(s.dc, at, 0, 2, 2, 0, 0, 2, 2, bits, d.info(), usage, SRCCOPY), 2) << what;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(px(at + i % 2, i / 2), want[i]) << what << " " << i;
    at += 3;
  };
  // 8 bits, colour table, bottom-up: the last row in memory is the top.
  Dib d8(2, 2, 8);
  d8.table[0] = 0xFF0000, d8.table[1] = 0x00FF00, d8.table[2] = 0x0000FF, d8.table[3] = 0xFFFFFF;
  d8.h.biClrUsed = 4;
  const uint8_t p8[] = {2, 3, 0, 0, 0, 1, 0, 0};
  check("8 rgb", p8, d8);
  // The same, top-down.
  Dib d8t = d8;
  d8t.h.biHeight = -2;
  const uint8_t p8t[] = {0, 1, 0, 0, 2, 3, 0, 0};
  check("8 top-down", p8t, d8t);
  // DIB_PAL_COLORS: indices into the DC's palette.
  uint8_t buf[sizeof(LOGPALETTE) + 4 * sizeof(PALETTEENTRY)];
  LOGPALETTE* lp = reinterpret_cast<LOGPALETTE*>(buf);
  lp->palVersion = 0x300, lp->palNumEntries = 4;
  const PALETTEENTRY pe[4] = {{255, 255, 255, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
  memcpy(lp->palPalEntry, pe, sizeof pe);
  HPALETTE pal = CreatePalette(lp);
  HPALETTE old = SelectPalette(s.dc, pal, FALSE);
  Dib dp(2, -2, 8);
  uint16_t* words = reinterpret_cast<uint16_t*>(dp.table);
  words[0] = 3, words[1] = 2, words[2] = 1, words[3] = 0;
  dp.h.biClrUsed = 4;
  check("8 pal", p8t, dp, DIB_PAL_COLORS);
  SelectPalette(s.dc, old, FALSE);
  DeleteObject(pal);
  // 4 bits and 1 bit.
  Dib d4 = d8t;
  d4.h.biBitCount = 4;
  const uint8_t p4[] = {0x01, 0, 0, 0, 0x23, 0, 0, 0};
  check("4", p4, d4);
  // 16 bits: 5-5-5 by default, or the masks given.
  Dib d555(2, -2, 16);
  const uint16_t p555[] = {0x7C00, 0x03E0, 0x001F, 0x7FFF};
  check("555", p555, d555);
  Dib d565(2, -2, 16, BI_BITFIELDS);
  d565.table[0] = 0xF800, d565.table[1] = 0x07E0, d565.table[2] = 0x001F;
  const uint16_t p565[] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
  check("565", p565, d565);
  Dib d555f(2, -2, 16, BI_BITFIELDS);
  d555f.table[0] = 0x7C00, d555f.table[1] = 0x03E0, d555f.table[2] = 0x001F;
  check("555 fields", p555, d555f);
  // 24 bits: B, G, R, rows padded to 4 bytes.
  Dib d24(2, -2, 24);
  const uint8_t p24[] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
  check("24", p24, d24);
  Dib d32(2, 2, 32);
  const uint32_t p32[] = {0x0000FF, 0xFFFFFF, 0xFF0000, 0x00FF00};
  check("32 bottom-up", p32, d32);

  // An image partly off the screen's left edge keeps its right column.
  EXPECT_EQ(StretchDIBits(s.dc, -1, 7, 2, 2, 0, 0, 2, 2, p8t, d8t.info(), DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(px(0, 7), 0x07E0);
  EXPECT_EQ(px(0, 8), 0xFFFF);
  // Sub-rectangles of a bottom-up image count rows from the bottom.
  EXPECT_EQ(StretchDIBits(s.dc, 0, 5, 1, 1, 1, 0, 1, 1, p8, d8.info(), DIB_RGB_COLORS, SRCCOPY), 1);
  EXPECT_EQ(px(0, 5), 0xFFFF);
  // Indices past the table are black, not read from beyond it.
  Dib d1(2, -1, 1);
  d1.table[0] = 0xFFFFFF;
  d1.h.biClrUsed = 1;
  const uint8_t p1[] = {0x40, 0, 0, 0};
  EXPECT_EQ(StretchDIBits(s.dc, 0, 6, 2, 1, 0, 0, 2, 1, p1, d1.info(), DIB_RGB_COLORS, SRCCOPY), 1);
  EXPECT_EQ(px(0, 6), 0xFFFF);
  EXPECT_EQ(px(1, 6), 0);
  // Stretched and mirrored through negative sizes.
  EXPECT_EQ(StretchDIBits(s.dc, 4, 6, 4, 2, 2, 0, -2, 1, p1, d1.info(), DIB_RGB_COLORS, SRCCOPY), 1);
  EXPECT_EQ(px(4, 6), 0);
  EXPECT_EQ(px(5, 7), 0);
  EXPECT_EQ(px(6, 6), 0xFFFF);
  EXPECT_EQ(px(7, 7), 0xFFFF);

  // Malformed headers are refused.
  Dib bad = d24;
  bad.h.biSize = 12;
  EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 2, 2, 0, 0, 2, 2, p24, bad.info(), DIB_RGB_COLORS, SRCCOPY), 0);
  bad = d24, bad.h.biPlanes = 2;
  EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 2, 2, 0, 0, 2, 2, p24, bad.info(), DIB_RGB_COLORS, SRCCOPY), 0);
  bad = d8, bad.h.biCompression = 1;  // run-length encoded
  EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 2, 2, 0, 0, 2, 2, p8, bad.info(), DIB_RGB_COLORS, SRCCOPY), 0);
  bad = d24, bad.h.biBitCount = 12;
  EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 2, 2, 0, 0, 2, 2, p24, bad.info(), DIB_RGB_COLORS, SRCCOPY), 0);
  bad = d24, bad.h.biWidth = 1 << 30;
  EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 2, 2, 0, 0, 2, 2, p24, bad.info(), DIB_RGB_COLORS, SRCCOPY), 0);
  EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 2, 2, 0, 0, 2, 2, nullptr, d24.info(), DIB_RGB_COLORS, SRCCOPY), 0);
  // A source rectangle past the image reads only the image's rows.
  EXPECT_EQ(StretchDIBits(s.dc, 50, 50, 2, 2, 1, 1, 100, 100, p24, d24.info(), DIB_RGB_COLORS, SRCCOPY), 100);
}

TEST(Gdi, Palettes) {
  Screen s;
  PALETTEENTRY sys[256];
  EXPECT_EQ(GetSystemPaletteEntries(s.dc, 0, 256, sys), 256u);
  EXPECT_EQ(sys[0].peRed | sys[0].peGreen | sys[0].peBlue, 0);
  EXPECT_EQ(sys[255].peRed & sys[255].peGreen & sys[255].peBlue, 255);
  EXPECT_EQ(sys[10 + 36 * 5].peRed, 255);  // the colour cube, red slowest
  EXPECT_EQ(sys[10 + 36 * 5].peGreen, 0);
  EXPECT_EQ(GetSystemPaletteEntries(s.dc, 250, 10, sys), 6u);
  EXPECT_EQ(GetSystemPaletteEntries(s.dc, 0, 0, nullptr), 256u);

  EXPECT_FALSE(CreatePalette(nullptr));
  uint8_t buf[sizeof(LOGPALETTE) + 3 * sizeof(PALETTEENTRY)];
  LOGPALETTE* lp = reinterpret_cast<LOGPALETTE*>(buf);
  lp->palVersion = 0x200, lp->palNumEntries = 3;
  EXPECT_FALSE(CreatePalette(lp));
  lp->palVersion = 0x300;
  lp->palPalEntry[0] = {1, 2, 3, 0};
  lp->palPalEntry[1] = {4, 5, 6, PC_RESERVED};
  lp->palPalEntry[2] = {7, 8, 9, 0};
  HPALETTE pal = CreatePalette(lp);
  ASSERT_TRUE(pal);
  HPALETTE def = SelectPalette(s.dc, pal, FALSE);
  ASSERT_TRUE(def);
  EXPECT_FALSE(DeleteObject(def));  // the default palette is a stock object
  EXPECT_EQ(RealizePalette(s.dc), 3u);
  EXPECT_EQ(SelectObject(s.dc, pal), nullptr);  // palettes go through SelectPalette

  // Only the PC_RESERVED entry changes; the range must fit.
  const PALETTEENTRY red[3] = {{255, 0, 0, 0}, {255, 0, 0, 0}, {255, 0, 0, 0}};
  EXPECT_TRUE(AnimatePalette(pal, 0, 3, red));
  EXPECT_FALSE(AnimatePalette(pal, 2, 2, red));
  EXPECT_FALSE(AnimatePalette(pal, 0xFFFFFFFF, 2, red));
  // See it through a DIB_PAL_COLORS image of indices 0, 1, 2.
  Dib d(3, -1, 8);
  uint16_t* words = reinterpret_cast<uint16_t*>(d.table);
  words[0] = 0, words[1] = 1, words[2] = 2;
  d.h.biClrUsed = 3;
  const uint8_t row[] = {0, 1, 2, 0};
  StretchDIBits(s.dc, 0, 0, 3, 1, 0, 0, 3, 1, row, d.info(), DIB_PAL_COLORS, SRCCOPY);
  EXPECT_EQ(px(0, 0), (1 >> 3) << 11 | (2 >> 2) << 5 | (3 >> 3));
  EXPECT_EQ(px(1, 0), 0xF800);
  EXPECT_EQ(px(2, 0), (7 >> 3) << 11 | (8 >> 2) << 5 | (9 >> 3));

  EXPECT_EQ(SelectPalette(s.dc, def, FALSE), pal);
  EXPECT_EQ(RealizePalette(s.dc), 0u);
  EXPECT_TRUE(DeleteObject(pal));
  EXPECT_FALSE(DeleteObject(pal));
  EXPECT_FALSE(AnimatePalette(pal, 0, 1, red));
}

TEST(Gdi, ObjectRulesAndBogusHandles) {
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateBitmap(4, 4, 1, 16, nullptr);
  ASSERT_TRUE(bmp);
  HGDIOBJ stock = SelectObject(a, bmp);
  ASSERT_TRUE(stock);
  EXPECT_EQ(SelectObject(b, bmp), nullptr);  // already in a
  EXPECT_FALSE(DeleteObject(bmp));           // still selected
  EXPECT_FALSE(DeleteObject(stock));
  EXPECT_TRUE(PatBlt(a, 0, 0, 4, 4, WHITENESS));  // bitmap intact
  EXPECT_TRUE(DeleteDC(a));
  EXPECT_EQ(SelectObject(b, bmp), stock);  // free again after DeleteDC
  EXPECT_EQ(SelectObject(b, stock), bmp);
  EXPECT_TRUE(DeleteObject(bmp));
  EXPECT_FALSE(DeleteObject(bmp));
  EXPECT_EQ(SelectObject(b, bmp), nullptr);
  EXPECT_FALSE(DeleteDC(a));
  EXPECT_TRUE(DeleteDC(b));

  // Values that are not GDI objects, including kernel handles.
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  for (void* bogus : {static_cast<void*>(event), reinterpret_cast<void*>(0x12345), reinterpret_cast<void*>(-1)}) {
    EXPECT_FALSE(DeleteObject(bogus));
    EXPECT_FALSE(DeleteDC(static_cast<HDC>(bogus)));
    EXPECT_FALSE(PatBlt(static_cast<HDC>(bogus), 0, 0, 1, 1, WHITENESS));
    EXPECT_EQ(GetDeviceCaps(static_cast<HDC>(bogus), BITSPIXEL), 0);
  }
  CloseHandle(event);

  const struct {
    int w, h, bpp;
  } bad[] = {{0, 4, 16}, {4, -1, 16}, {100000, 100000, 32}, {16000, 16000, 32}, {4, 4, 7}};
  for (auto [w, h, bpp] : bad) {
    SetLastError(0);
    EXPECT_FALSE(CreateBitmap(w, h, 1, UINT(bpp), nullptr)) << w << "x" << h << "x" << bpp;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  }
  HDC screen = GetDC(nullptr);
  EXPECT_FALSE(CreateCompatibleBitmap(screen, 0, 0));
  EXPECT_EQ(SelectObject(screen, CreateBitmap(1, 1, 1, 1, nullptr)), nullptr);  // not a memory DC
  ReleaseDC(nullptr, screen);

  RECT r{1, 2, 3, 4};
  EXPECT_TRUE(OffsetRect(&r, 10, -2));
  EXPECT_EQ(r.left, 11);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom, 2);
  EXPECT_FALSE(OffsetRect(nullptr, 1, 1));
}

// A DIB section selected into a memory DC.
struct Section {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp;
  HGDIOBJ old = nullptr;
  uint8_t* bits = nullptr;
  Section(const Dib& d, UINT usage = DIB_RGB_COLORS) {
    bmp = CreateDIBSection(dc, d.info(), usage, reinterpret_cast<void**>(&bits), nullptr, 0);
    if (bmp) old = SelectObject(dc, bmp);
  }
  ~Section() {
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
  }
};

TEST(Gdi, DibSectionPixelsAreTheCallersMemory) {
  Screen s;
  // 8 bits, 3 wide: rows of 4 bytes. Top-down: row 0 first in memory;
  // bottom-up: row 0 last.
  Dib d(3, -2, 8);
  d.table[0] = 0x000000, d.table[1] = 0xFF0000, d.table[2] = 0x00FF00, d.table[3] = 0x0000FF;
  d.h.biClrUsed = 4;
  for (LONG height : {-2, 2}) {
    d.h.biHeight = height;
    Section sec(d);
    ASSERT_TRUE(sec.bmp && sec.bits) << height;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(sec.bits[i], 0) << "zero-filled";
    uint8_t* top = sec.bits + (height < 0 ? 0 : 4), *bottom = sec.bits + (height < 0 ? 4 : 0);
    top[0] = 1, top[1] = 2, top[2] = 3, bottom[0] = 3;
    EXPECT_TRUE(BitBlt(s.dc, 0, 0, 3, 2, sec.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(px(0, 0), 0xF800) << height;
    EXPECT_EQ(px(1, 0), 0x07E0) << height;
    EXPECT_EQ(px(2, 0), 0x001F) << height;
    EXPECT_EQ(px(0, 1), 0x001F) << height;
    EXPECT_EQ(px(1, 1), 0) << height;
    // A later write is seen by the next blit: nothing is cached.
    bottom[1] = 2;
    EXPECT_TRUE(StretchBlt(s.dc, 0, 0, 3, 2, sec.dc, 0, 0, 3, 2, SRCCOPY));
    EXPECT_EQ(px(1, 1), 0x07E0) << height;
  }

  // Blits into sections land in their memory, in the section's format.
  PatBlt(s.dc, 0, 0, 2, 1, WHITENESS);
  PatBlt(s.dc, 0, 0, 1, 1, BLACKNESS);
  Dib d8 = d;
  d8.h.biHeight = 1, d8.h.biClrUsed = 0, d8.table[255] = 0xFFFFFF;  // 256 entries, white the last
  Section s8(d8);
  EXPECT_TRUE(BitBlt(s8.dc, 0, 0, 3, 1, s.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(s8.bits[0], 0);    // black: entry 0
  EXPECT_EQ(s8.bits[1], 255);  // white: the nearest entry
  Dib d555(2, 2, 16);          // bottom-up 5-5-5
  Section s16(d555);
  const uint16_t red565 = 0xF800;
  Mem m(1, 1, 16, &red565);
  EXPECT_TRUE(BitBlt(s16.dc, 1, 0, 1, 1, m.dc, 0, 0, SRCCOPY));
  uint16_t got;
  memcpy(&got, s16.bits + 4 + 2, 2);  // top row is the second in memory
  EXPECT_EQ(got, 0x7C00);
  // 1, 4, 24 and 32 bits through the pointer to the screen.
  Dib d1(9, -1, 1);
  d1.table[1] = 0xFFFFFF;
  Section s1(d1);
  s1.bits[1] = 0x80;  // pixel 8
  Dib d4(3, -1, 4);
  d4.table[5] = 0x0000FF;
  Section s4(d4);
  s4.bits[0] = 0x05, s4.bits[1] = 0x50;
  Dib d24(2, -1, 24), d32(1, -1, 32);
  Section s24(d24), s32(d32);
  s24.bits[3 + 1] = 0xFF;  // pixel 1 green
  s32.bits[2] = 0xFF;      // red
  BitBlt(s.dc, 0, 2, 9, 1, s1.dc, 0, 0, SRCCOPY);
  BitBlt(s.dc, 0, 3, 3, 1, s4.dc, 0, 0, SRCCOPY);
  BitBlt(s.dc, 0, 4, 2, 1, s24.dc, 0, 0, SRCCOPY);
  BitBlt(s.dc, 0, 5, 1, 1, s32.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(px(7, 2), 0);
  EXPECT_EQ(px(8, 2), 0xFFFF);
  EXPECT_EQ(px(0, 3), 0);
  EXPECT_EQ(px(1, 3), 0x001F);
  EXPECT_EQ(px(2, 3), 0x001F);
  EXPECT_EQ(px(1, 4), 0x07E0);
  EXPECT_EQ(px(0, 5), 0xF800);
}

TEST(Gdi, DibSectionCreationRules) {
  Dib d(4, 4, 8);
  void* bits = reinterpret_cast<void*>(1);
  HANDLE mapping = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_FALSE(CreateDIBSection(nullptr, d.info(), DIB_RGB_COLORS, &bits, mapping, 0));  // no file mappings
  EXPECT_EQ(bits, nullptr);
  CloseHandle(mapping);
  HBITMAP ok = CreateDIBSection(nullptr, d.info(), DIB_RGB_COLORS, nullptr, nullptr, 64);  // offset ignored
  EXPECT_TRUE(ok);
  EXPECT_TRUE(DeleteObject(ok));
  Dib bad = d;
  const struct {
    LONG w, h;
    WORD bpp;
    DWORD compression;
  } cases[] = {{1 << 30, 4, 8, BI_RGB}, {16000, 16000, 32, BI_RGB}, {0, 4, 8, BI_RGB}, {4, 0, 8, BI_RGB},
               {4, 4, 12, BI_RGB},      {4, 4, 8, BI_BITFIELDS},     {4, 4, 8, 1}};
  for (auto c : cases) {
    bad.h.biWidth = c.w, bad.h.biHeight = c.h, bad.h.biBitCount = c.bpp, bad.h.biCompression = c.compression;
    SetLastError(0);
    EXPECT_FALSE(CreateDIBSection(nullptr, bad.info(), DIB_RGB_COLORS, &bits, nullptr, 0)) << c.w << "x" << c.h;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  }
  Dib nomask(4, 4, 16, BI_BITFIELDS);  // masks all zero
  EXPECT_FALSE(CreateDIBSection(nullptr, nomask.info(), DIB_RGB_COLORS, &bits, nullptr, 0));
  EXPECT_FALSE(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0));
  EXPECT_FALSE(CreateDIBSection(nullptr, d.info(), 7, &bits, nullptr, 0));
  EXPECT_FALSE(CreateDIBSection(reinterpret_cast<HDC>(0x12346), d.info(), DIB_RGB_COLORS, &bits, nullptr, 0));

  // DIB_PAL_COLORS: indices into the DC's palette, copied at creation.
  Screen s;
  uint8_t buf[sizeof(LOGPALETTE) + sizeof(PALETTEENTRY)];
  LOGPALETTE* lp = reinterpret_cast<LOGPALETTE*>(buf);
  lp->palVersion = 0x300, lp->palNumEntries = 2;
  lp->palPalEntry[0] = {0, 0, 0, 0}, lp->palPalEntry[1] = {0, 255, 0, 0};
  HPALETTE pal = CreatePalette(lp);
  HDC mem = CreateCompatibleDC(nullptr);
  HPALETTE oldpal = SelectPalette(mem, pal, FALSE);
  Dib dp(1, 1, 8);
  reinterpret_cast<uint16_t*>(dp.table)[0] = 1;
  dp.h.biClrUsed = 1;
  HBITMAP sec = CreateDIBSection(mem, dp.info(), DIB_PAL_COLORS, &bits, nullptr, 0);
  ASSERT_TRUE(sec);
  SelectPalette(mem, oldpal, FALSE);
  EXPECT_TRUE(DeleteObject(pal));
  HGDIOBJ stock = SelectObject(mem, sec);
  BitBlt(s.dc, 0, 0, 1, 1, mem, 0, 0, SRCCOPY);
  EXPECT_EQ(px(0, 0), 0x07E0);
  EXPECT_FALSE(DeleteObject(sec));  // selected
  SelectObject(mem, stock);
  EXPECT_TRUE(DeleteObject(sec));
  DeleteDC(mem);
}

TEST(Gdi, DibColorTables) {
  Screen s;
  Dib d(2, -1, 4);
  d.table[0] = 0xFF0000, d.table[1] = 0x00FF00;
  d.h.biClrUsed = 3;
  Section sec(d);
  sec.bits[0] = 0x01;
  RGBQUAD q[4] = {};
  EXPECT_EQ(GetDIBColorTable(sec.dc, 0, 4, q), 3u);  // clipped to the table
  EXPECT_EQ(q[0].rgbRed, 255);
  EXPECT_EQ(q[1].rgbGreen, 255);
  EXPECT_EQ(q[0].rgbReserved, 0);
  BitBlt(s.dc, 0, 0, 2, 1, sec.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(px(0, 0), 0xF800);
  const RGBQUAD blue_white[2] = {{255, 0, 0, 0}, {255, 255, 255, 0}};
  EXPECT_EQ(SetDIBColorTable(sec.dc, 0, 2, blue_white), 2u);
  EXPECT_EQ(SetDIBColorTable(sec.dc, 2, 5, blue_white), 1u);
  EXPECT_EQ(SetDIBColorTable(sec.dc, 3, 1, blue_white), 0u);
  BitBlt(s.dc, 0, 0, 2, 1, sec.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(px(0, 0), 0x001F);
  EXPECT_EQ(px(1, 0), 0xFFFF);
  EXPECT_EQ(GetDIBColorTable(sec.dc, 2, 1, q), 1u);
  EXPECT_EQ(q[0].rgbBlue, 255);
  // Drawing into it picks the nearest of the new entries.
  HBRUSH white = CreateSolidBrush(0xF0F0F0);
  HGDIOBJ old = SelectObject(sec.dc, white);
  EXPECT_TRUE(PatBlt(sec.dc, 0, 0, 1, 1, PATCOPY));
  EXPECT_EQ(sec.bits[0] >> 4, 1);
  SelectObject(sec.dc, old);
  DeleteObject(white);

  // A compatible bitmap takes the section's format, table included.
  HBITMAP like = CreateCompatibleBitmap(sec.dc, 2, 1);
  ASSERT_TRUE(like);
  HDC ldc = CreateCompatibleDC(nullptr);
  HGDIOBJ lstock = SelectObject(ldc, like);
  EXPECT_EQ(GetDeviceCaps(ldc, BITSPIXEL), 4);
  sec.bits[0] = 0x10;  // white, blue
  BitBlt(ldc, 0, 0, 2, 1, sec.dc, 0, 0, SRCCOPY);
  PatBlt(s.dc, 0, 0, 2, 1, BLACKNESS);
  BitBlt(s.dc, 0, 0, 2, 1, ldc, 0, 0, SRCCOPY);
  EXPECT_EQ(px(0, 0), 0xFFFF);
  EXPECT_EQ(px(1, 0), 0x001F);
  SelectObject(ldc, lstock);
  DeleteDC(ldc);
  DeleteObject(like);

  // No section with a table: the screen, a device bitmap, a 16-bit section.
  Mem m(1, 1, 8);
  Dib d16(1, 1, 16);
  Section s16(d16);
  for (HDC dc : {s.dc, m.dc, s16.dc, static_cast<HDC>(nullptr)}) {
    EXPECT_EQ(GetDIBColorTable(dc, 0, 1, q), 0u);
    EXPECT_EQ(SetDIBColorTable(dc, 0, 1, q), 0u);
  }
  EXPECT_EQ(GetDIBColorTable(sec.dc, 0, 1, nullptr), 0u);
}

TEST(Gdi, GetObjectRecords) {
  HBITMAP dev = CreateBitmap(3, 2, 1, 16, nullptr);
  BITMAP bm{};
  EXPECT_EQ(GetObjectW(dev, sizeof bm, &bm), 24);
  EXPECT_EQ(bm.bmWidth, 3);
  EXPECT_EQ(bm.bmHeight, 2);
  EXPECT_EQ(bm.bmWidthBytes, 6);
  EXPECT_EQ(bm.bmBitsPixel, 16);
  EXPECT_EQ(bm.bmBits, nullptr);
  EXPECT_EQ(GetObjectW(dev, 23, &bm), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(GetObjectW(dev, 100, nullptr), 24);
  DeleteObject(dev);

  Dib d(3, 5, 16, BI_BITFIELDS);
  d.table[0] = 0xF800, d.table[1] = 0x07E0, d.table[2] = 0x001F;
  void* bits;
  HBITMAP sec = CreateDIBSection(nullptr, d.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_TRUE(sec);
  DIBSECTION ds;
  memset(&ds, 0xCC, sizeof ds);
  EXPECT_EQ(GetObjectW(sec, sizeof ds + 4, &ds), 84);
  EXPECT_EQ(ds.dsBm.bmBits, bits);
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 8);  // DIB rows: whole 32-bit words
  EXPECT_EQ(ds.dsBm.bmHeight, 5);
  EXPECT_EQ(ds.dsBmih.biHeight, 5);
  EXPECT_EQ(ds.dsBmih.biSizeImage, 40u);
  EXPECT_EQ(ds.dsBmih.biCompression, DWORD(BI_BITFIELDS));
  EXPECT_EQ(ds.dsBitfields[0], 0xF800u);
  EXPECT_EQ(ds.dsBitfields[2], 0x001Fu);
  EXPECT_EQ(ds.dshSection, nullptr);
  EXPECT_EQ(ds.dsOffset, 0u);
  memset(&bm, 0, sizeof bm);
  EXPECT_EQ(GetObjectW(sec, 60, &bm), 24);  // only the BITMAP, with its pixels
  EXPECT_EQ(bm.bmBits, bits);
  EXPECT_EQ(GetObjectW(sec, 0, nullptr), 24);
  EXPECT_EQ(GetObjectW(sec, 84, nullptr), 84);
  DeleteObject(sec);
  Dib d555(1, 1, 16), d8(1, 1, 8);
  HBITMAP s555 = CreateDIBSection(nullptr, d555.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
  HBITMAP s8 = CreateDIBSection(nullptr, d8.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
  GetObjectW(s555, sizeof ds, &ds);
  EXPECT_EQ(ds.dsBitfields[0], 0x7C00u);
  GetObjectW(s8, sizeof ds, &ds);
  EXPECT_EQ(ds.dsBitfields[0], 0u);
  DeleteObject(s555);
  DeleteObject(s8);

  uint8_t buf[sizeof(LOGPALETTE) + 4 * sizeof(PALETTEENTRY)] = {};
  LOGPALETTE* lp = reinterpret_cast<LOGPALETTE*>(buf);
  lp->palVersion = 0x300, lp->palNumEntries = 5;
  HPALETTE pal = CreatePalette(lp);
  WORD count = 0;
  EXPECT_EQ(GetObjectW(pal, sizeof count, &count), 2);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(GetObjectW(pal, 1, &count), 0);
  DeleteObject(pal);

  HBRUSH brush = CreateSolidBrush(0x00336699);
  uint32_t lb[3] = {9, 9, 9};
  EXPECT_EQ(GetObjectW(brush, sizeof lb, lb), 12);
  EXPECT_EQ(lb[0], 0u);  // BS_SOLID
  EXPECT_EQ(lb[1], 0x00336699u);
  EXPECT_EQ(lb[2], 0u);
  EXPECT_EQ(GetObjectW(brush, 11, lb), 0);
  EXPECT_TRUE(DeleteObject(brush));

  HDC dc = CreateCompatibleDC(nullptr);
  for (HGDIOBJ bogus : {static_cast<HGDIOBJ>(brush), static_cast<HGDIOBJ>(dc), reinterpret_cast<HGDIOBJ>(0x12345),
                        static_cast<HGDIOBJ>(nullptr)}) {
    SetLastError(0);
    EXPECT_EQ(GetObjectW(bogus, 100, lb), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  }
  DeleteDC(dc);
}

TEST(Gdi, SolidBrushes) {
  Screen s;
  HBRUSH red = CreateSolidBrush(0x000000FF), green = CreateSolidBrush(0x0000FF00);
  ASSERT_TRUE(red && green);
  HGDIOBJ stock = SelectObject(s.dc, red);
  ASSERT_TRUE(stock);
  EXPECT_TRUE(PatBlt(s.dc, 0, 0, 2, 1, PATCOPY));
  EXPECT_EQ(px(0, 0), 0xF800);
  EXPECT_EQ(SelectObject(s.dc, green), red);
  EXPECT_TRUE(PatBlt(s.dc, 1, 0, 1, 1, PATINVERT));
  EXPECT_EQ(px(1, 0), 0xF800 ^ 0x07E0);
  const uint16_t src = 0x1234;
  Mem m(1, 1, 16, &src);
  EXPECT_TRUE(BitBlt(s.dc, 2, 0, 1, 1, m.dc, 0, 0, PATCOPY));  // the source is not used
  EXPECT_EQ(px(2, 0), 0x07E0);
  // Converted to a memory bitmap's format: 8 bits, default palette.
  Mem m8(1, 1, 8);
  SelectObject(m8.dc, red);
  PatBlt(m8.dc, 0, 0, 1, 1, PATCOPY);
  BitBlt(s.dc, 3, 0, 1, 1, m8.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(px(3, 0), 0xF800);

  // Deletion: refused while in any DC; the stock brush never.
  EXPECT_FALSE(DeleteObject(green));
  EXPECT_FALSE(DeleteObject(red));  // in m8
  EXPECT_EQ(SelectObject(s.dc, stock), green);
  EXPECT_TRUE(DeleteObject(green));
  EXPECT_FALSE(DeleteObject(green));
  EXPECT_EQ(SelectObject(s.dc, green), nullptr);
  EXPECT_FALSE(DeleteObject(stock));
  HDC extra = CreateCompatibleDC(nullptr);
  SelectObject(extra, red);
  SelectObject(m8.dc, stock);
  EXPECT_FALSE(DeleteObject(red));
  EXPECT_TRUE(DeleteDC(extra));  // lets go of it
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_TRUE(PatBlt(s.dc, 0, 0, 1, 1, PATCOPY));  // the stock white again
  EXPECT_EQ(px(0, 0), 0xFFFF);
}

std::vector<uint8_t> read_file(const char* path) {
  std::vector<uint8_t> data;
  if (FILE* f = fopen(path, "rb")) {
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
    fclose(f);
  }
  return data;
}

TEST(Gdi, ScreenCaptureFile) {
  Screen s;
  const char* path = "gdi_capture.bmp";
  remove(path);
  setenv("DEVICE_SCREEN_CAPTURE", path, 1);
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateCompatibleBitmap(s.dc, 2, 2);
  SelectObject(mem, bmp);
  PatBlt(mem, 0, 0, 2, 2, WHITENESS);
  EXPECT_TRUE(read_file(path).empty());  // memory DCs are not the screen
  PatBlt(s.dc, 3, 0, 1, 1, WHITENESS);
  unsetenv("DEVICE_SCREEN_CAPTURE");
  std::vector<uint8_t> data = read_file(path);
  int w = W(), h = device_screen_height(), row = (w * 3 + 3) & ~3;
  ASSERT_EQ(data.size(), size_t(54 + row * h));
  EXPECT_EQ(data[0], 'B');
  EXPECT_EQ(data[1], 'M');
  BITMAPINFOHEADER info;
  memcpy(&info, data.data() + 14, sizeof info);
  EXPECT_EQ(info.biWidth, w);
  EXPECT_EQ(info.biHeight, h);
  EXPECT_EQ(info.biBitCount, 24);
  const uint8_t* top = data.data() + 54 + size_t(h - 1) * row;  // bottom-up
  EXPECT_EQ(top[3 * 3] & top[3 * 3 + 1] & top[3 * 3 + 2], 255);
  EXPECT_EQ(top[3 * 2] | top[3 * 2 + 1] | top[3 * 2 + 2], 0);

  // On demand, with the setting unset.
  PatBlt(s.dc, 3, 0, 1, 1, BLACKNESS);
  EXPECT_TRUE(device_write_screen(path));
  data = read_file(path);
  ASSERT_EQ(data.size(), size_t(54 + row * h));
  EXPECT_EQ(data[54 + size_t(h - 1) * row + 9], 0);
  EXPECT_FALSE(device_write_screen(nullptr));
  remove(path);
  DeleteDC(mem);
  DeleteObject(bmp);
}

}  // namespace

// SetDIBitsToDevice: the source origin counted from the DIB's last row for
// both row orders, and a band of scan lines of a bottom-up DIB.
TEST(Gdi, SetDIBitsToDeviceOriginsAndBands) {
  Screen s;
  // 2 x 4 8-bit rows (top to bottom): colours 1, 2, 3, 4.
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD c[5];
  } info = {{40, 2, -4, 1, 8, BI_RGB, 0, 0, 0, 5, 0},
            {{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}}};
  uint8_t top_down[4][4] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}};
  // Rows 1-2 of the picture: the rectangle's lower-left corner is 1 row up
  // from the last row.
  EXPECT_EQ(SetDIBitsToDevice(s.dc, 10, 10, 2, 2, 0, 1, 0, 4, top_down, reinterpret_cast<BITMAPINFO*>(&info),
                              DIB_RGB_COLORS),
            4);
  EXPECT_EQ(px(10, 10), 0x07E0);  // row 1: green
  EXPECT_EQ(px(10, 11), 0x001F);  // row 2: blue
  // The same picture bottom-up, given as the band of scan lines 0-1 (the
  // picture's last two rows, blue then white from the top).
  info.h.biHeight = 4;
  uint8_t band[2][4] = {{4, 4}, {3, 3}};  // scan line 0 (bottom) first
  EXPECT_EQ(SetDIBitsToDevice(s.dc, 20, 10, 2, 4, 0, 0, 0, 2, band, reinterpret_cast<BITMAPINFO*>(&info),
                              DIB_RGB_COLORS),
            2);
  EXPECT_EQ(px(20, 12), 0x001F);  // the band's rows land at the rectangle's bottom
  EXPECT_EQ(px(20, 13), 0xFFFF);
  EXPECT_EQ(px(20, 10), 0x0000);  // rows outside the band are not drawn
  EXPECT_EQ(SetDIBitsToDevice(s.dc, 0, 0, 2, 2, 0, 0, 0, 4, nullptr, reinterpret_cast<BITMAPINFO*>(&info),
                              DIB_RGB_COLORS),
            0);
}
