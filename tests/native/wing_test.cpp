// The WinG module as the guest reaches it: imports from quav32.dll by name
// bound through the runtime's loader, calls through HandleDefault.
#include <gtest/gtest.h>

#include <cstring>

#include "guest_call.h"
#include "wce/device.h"
#include "wce/gdi.h"

namespace {

u32 w(const void* p) { return guest_addr(p); }

u32 wing(const char* name) {
  static GuestApi table("WINGTEST", 0x34000000,
                        {"WinGBitBlt", "WinGCreateBitmap", "WinGCreateDC", "WinGCreateHalftoneBrush",
                         "WinGCreateHalftonePalette", "WinGGetDIBColorTable", "WinGGetDIBPointer",
                         "WinGRecommendDIBFormat", "WinGSetDIBColorTable", "WinGStretchBlt"},
                        "quav32.dll");
  return table(name);
}

u32 call(const char* name, const std::vector<u32>& args) {
  GuestCall c(wing(name), args);
  EXPECT_EQ(c.env.EIP, kReturnAddress) << name;
  EXPECT_EQ(c.popped_words(), 1 + args.size()) << name;
  return c.eax();
}

uint16_t screen_at(int x, int y) { return device_screen_pixels()[y * device_screen_width() + x]; }

// An 8-bit top-down BITMAPINFO with a 256-entry table.
struct Info8 {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

}  // namespace

TEST(WinGModule, ExportsByNameOnly) {
  wing("WinGCreateDC");  // binds, which loads and registers the module
  ModuleInfo* mi = FindModuleByNameA("QUAV32");
  ASSERT_NE(mi, nullptr);
  const char* const names[] = {"WinGBitBlt", "WinGCreateBitmap", "WinGCreateDC", "WinGCreateHalftoneBrush",
                               "WinGCreateHalftonePalette", "WinGGetDIBColorTable", "WinGGetDIBPointer",
                               "WinGRecommendDIBFormat", "WinGSetDIBColorTable", "WinGStretchBlt"};
  u32 n = 0;
  for (; mi->Exports[n].Name; n++) {
    ASSERT_LT(n, 10u);
    ASSERT_GE(mi->Exports[n].Name, 0x10000u);
    EXPECT_STREQ(reinterpret_cast<const char*>(static_cast<uintptr_t>(mi->Exports[n].Name)), names[n]);
  }
  EXPECT_EQ(n, 10u);
}

TEST(WinGModule, RecommendedFormat) {
  EXPECT_EQ(call("WinGRecommendDIBFormat", {0}), 0u);
  Info8 info;
  memset(&info, 0x77, sizeof info);
  EXPECT_EQ(call("WinGRecommendDIBFormat", {w(&info)}), 1u);
  EXPECT_EQ(info.header.biSize, 40u);
  EXPECT_EQ(info.header.biWidth, 320);
  EXPECT_EQ(info.header.biHeight, -1);
  EXPECT_EQ(info.header.biPlanes, 1);
  EXPECT_EQ(info.header.biBitCount, 8);
  EXPECT_EQ(info.header.biCompression | info.header.biSizeImage | info.header.biClrUsed, 0u);
  EXPECT_EQ(info.colors[0].rgbRed, 0x77);  // the table is not touched
}

TEST(WinGModule, BitmapsDrawnThroughTheirPointerAndBlitted) {
  Info8 info = {{40, 8, -4, 1, 8, BI_RGB, 0, 0, 0, 0, 0}, {}};
  info.colors[1] = {0, 0, 255, 0};  // red
  info.colors[2] = {255, 0, 0, 0};  // blue
  const u32 dc = call("WinGCreateDC", {});
  ASSERT_NE(dc, 0u);
  u32 bits = 0;
  const u32 bitmap = call("WinGCreateBitmap", {dc, w(&info), w(&bits)});
  ASSERT_NE(bitmap, 0u);
  ASSERT_NE(bits, 0u);
  // The pointer, and exactly 44 bytes of header.
  uint8_t header[48];
  memset(header, 0xEE, sizeof header);
  EXPECT_EQ(call("WinGGetDIBPointer", {bitmap, w(header)}), bits);
  EXPECT_EQ(header[43] == 0xEE, false);  // within the 44 bytes: written (the mask word is 0)
  EXPECT_EQ(header[44], 0xEE);
  BITMAPINFOHEADER got;
  memcpy(&got, header, sizeof got);
  EXPECT_EQ(got.biWidth, 8);
  EXPECT_EQ(got.biHeight, -4);
  // Not a DIB section: 0 and nothing written.
  HBITMAP plain = CreateBitmap(2, 2, 1, 16, nullptr);
  memset(header, 0xEE, sizeof header);
  EXPECT_EQ(call("WinGGetDIBPointer", {w(plain), w(header)}), 0u);
  EXPECT_EQ(header[0], 0xEE);
  DeleteObject(plain);
  // Rows of 8 bytes, top-down: row 0 red, row 1 blue.
  uint8_t* pixels = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(bits));
  memset(pixels, 1, 8);
  memset(pixels + 8, 2, 8);
  HGDIOBJ old = SelectObject(reinterpret_cast<HDC>(static_cast<uintptr_t>(dc)),
                             reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(bitmap)));
  ASSERT_NE(old, nullptr);
  HDC screen = GetDC(nullptr);
  EXPECT_NE(call("WinGBitBlt", {w(screen), 50, 50, 8, 2, dc, 0, 0}), 0u);  // 36 bytes removed
  EXPECT_EQ(screen_at(50, 50), 0xF800);
  EXPECT_EQ(screen_at(57, 51), 0x001F);
  EXPECT_NE(call("WinGStretchBlt", {w(screen), 60, 50, 16, 4, dc, 0, 0, 8, 2}), 0u);  // 44 bytes
  EXPECT_EQ(screen_at(75, 51), 0xF800);
  EXPECT_EQ(screen_at(60, 53), 0x001F);
  // The section's colour table through its DC: red becomes green.
  RGBQUAD green = {0, 255, 0, 0}, back = {};
  EXPECT_EQ(call("WinGSetDIBColorTable", {dc, 1, 1, w(&green)}), 1u);
  EXPECT_EQ(call("WinGGetDIBColorTable", {dc, 1, 1, w(&back)}), 1u);
  EXPECT_EQ(back.rgbGreen, 255);
  call("WinGBitBlt", {w(screen), 50, 50, 8, 2, dc, 0, 0});
  EXPECT_EQ(screen_at(50, 50), 0x07E0);
  SelectObject(reinterpret_cast<HDC>(static_cast<uintptr_t>(dc)), old);
  EXPECT_TRUE(DeleteObject(reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(bitmap))));
  EXPECT_TRUE(DeleteDC(reinterpret_cast<HDC>(static_cast<uintptr_t>(dc))));
  ReleaseDC(nullptr, screen);
}

TEST(WinGModule, HalftonePaletteAndBrush) {
  const u32 palette = call("WinGCreateHalftonePalette", {});
  ASSERT_NE(palette, 0u);
  WORD count = 0;
  EXPECT_EQ(GetObjectW(reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(palette)), sizeof count, &count), 2);
  EXPECT_EQ(count, 256);
  // The static colours in WinG's order: index 13 is red, 16 blue, 9 light blue.
  HDC screen = GetDC(nullptr);
  HPALETTE old = SelectPalette(screen, reinterpret_cast<HPALETTE>(static_cast<uintptr_t>(palette)), FALSE);
  struct {
    BITMAPINFOHEADER header;
    WORD indices[3];
  } info = {{40, 3, -1, 1, 8, BI_RGB, 0, 0, 0, 3, 0}, {0, 1, 2}};
  const uint8_t row[4] = {0, 1, 2, 0};
  info.indices[0] = 13;
  info.indices[1] = 16;
  info.indices[2] = 19;
  EXPECT_EQ(StretchDIBits(screen, 0, 60, 3, 1, 0, 0, 3, 1, row, reinterpret_cast<BITMAPINFO*>(&info),
                          DIB_PAL_COLORS, SRCCOPY),
            1);
  EXPECT_EQ(screen_at(0, 60), 0xF800);
  EXPECT_EQ(screen_at(1, 60), 0x001F);
  EXPECT_EQ(screen_at(2, 60), 0xFFFF);
  SelectPalette(screen, old, FALSE);
  ReleaseDC(nullptr, screen);
  EXPECT_TRUE(DeleteObject(reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(palette))));
  // A solid brush of the colour, whatever DC and dither type.
  const u32 brush = call("WinGCreateHalftoneBrush", {0x1234, 0x0000FF00, 5});
  ASSERT_NE(brush, 0u);
  struct {
    UINT style;
    COLORREF color;
    uintptr_t hatch;
  } logbrush = {};
  EXPECT_EQ(GetObjectW(reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(brush)), sizeof logbrush, &logbrush), 12);
  EXPECT_EQ(logbrush.style, 0u);
  EXPECT_EQ(logbrush.color, 0x0000FF00u);
  EXPECT_TRUE(DeleteObject(reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(brush))));
}
