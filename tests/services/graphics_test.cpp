// Graphics as the guest calls it: arguments and records handed to the
// device unchanged (so the pixels land where the guest asked), the long
// argument lists removed, CreateBitmapIndirect and the desktop-only stubs.
#include <gtest/gtest.h>

#include <cstring>

#include "guest_call.h"
#include "wce/device.h"
#include "wce/gdi.h"

namespace {

u32 w(const void* p) { return guest_addr(p); }

uint16_t screen_at(int x, int y) { return device_screen_pixels()[y * device_screen_width() + x]; }

u32 call(const char* name, const std::vector<u32>& args) {
  GuestCall c(name, args);
  EXPECT_EQ(c.popped_words(), 1 + args.size()) << name;
  EXPECT_TRUE(c.others_kept()) << name;
  return c.eax();
}

}  // namespace

TEST(Graphics, BlockTransfersReachTheScreenAndRemoveTheirArguments) {
  const u32 screen = call("GetDC", {0});
  ASSERT_NE(screen, 0u);
  EXPECT_EQ(call("GetDeviceCaps", {screen, BITSPIXEL}), 16u);
  EXPECT_NE(call("PatBlt", {screen, 0, 0, 16, 16, BLACKNESS}), 0u);
  EXPECT_NE(call("PatBlt", {screen, 4, 6, 3, 2, WHITENESS}), 0u);
  EXPECT_EQ(screen_at(4, 6), 0xFFFF);
  EXPECT_EQ(screen_at(6, 7), 0xFFFF);
  EXPECT_EQ(screen_at(7, 6), 0x0000);
  // A 2 x 2 top-down 24-bit DIB (red, green / blue, white) stretched to
  // 4 x 4 at (8, 8): thirteen arguments, ESP + 56.
  struct {
    BITMAPINFOHEADER header;
  } info = {{40, 2, -2, 1, 24, BI_RGB, 0, 0, 0, 0, 0}};
  const uint8_t bits[2][8] = {{0, 0, 255, 0, 255, 0, 0, 0}, {255, 0, 0, 255, 255, 255, 0, 0}};
  EXPECT_EQ(call("StretchDIBits", {screen, 8, 8, 4, 4, 0, 0, 2, 2, w(bits), w(&info), DIB_RGB_COLORS, SRCCOPY}), 2u);
  EXPECT_EQ(screen_at(8, 8), 0xF800);    // red
  EXPECT_EQ(screen_at(11, 9), 0x07E0);   // green
  EXPECT_EQ(screen_at(9, 11), 0x001F);   // blue
  EXPECT_EQ(screen_at(11, 11), 0xFFFF);  // white
  // BitBlt (nine arguments, ESP + 40) and StretchBlt (eleven, ESP + 48)
  // from the screen to itself.
  EXPECT_NE(call("BitBlt", {screen, 20, 0, 4, 4, screen, 8, 8, SRCCOPY}), 0u);
  EXPECT_EQ(screen_at(20, 0), 0xF800);
  EXPECT_NE(call("StretchBlt", {screen, 30, 0, 2, 2, screen, 8, 8, 4, 4, SRCCOPY}), 0u);
  EXPECT_EQ(screen_at(30, 0), 0xF800);
  EXPECT_EQ(screen_at(31, 1), 0xFFFF);
  EXPECT_EQ(call("ReleaseDC", {0, screen}), 1u);
}

TEST(Graphics, BitmapFromTheGuestsRecordIgnoresItsRowWidth) {
  const u32 screen = call("GetDC", {0});
  // 2 x 2 at 16 bits: rows of 4 bytes. A record that claims 12-byte rows
  // (and a bogus type) must make the same bitmap.
  uint16_t packed[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
  BITMAP right = {0, 2, 2, 4, 1, 16, packed};
  BITMAP wrong = right;
  wrong.bmWidthBytes = 12;
  wrong.bmType = 7;
  const u32 a = call("CreateBitmapIndirect", {w(&right)}), b = call("CreateBitmapIndirect", {w(&wrong)});
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  const u32 memory = call("CreateCompatibleDC", {screen});
  const u32 old = call("SelectObject", {memory, a});
  EXPECT_NE(call("BitBlt", {screen, 40, 0, 2, 2, memory, 0, 0, SRCCOPY}), 0u);
  call("SelectObject", {memory, b});
  EXPECT_NE(call("BitBlt", {screen, 40, 2, 2, 2, memory, 0, 0, SRCCOPY}), 0u);
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 2; x++) {
      EXPECT_EQ(screen_at(40 + x, y), packed[y * 2 + x]);
      EXPECT_EQ(screen_at(40 + x, 2 + y), packed[y * 2 + x]);
    }
  call("SelectObject", {memory, old});
  EXPECT_NE(call("DeleteObject", {a}), 0u);
  EXPECT_NE(call("DeleteObject", {b}), 0u);
  EXPECT_NE(call("DeleteDC", {memory}), 0u);
  EXPECT_EQ(call("CreateBitmapIndirect", {0}), 0u);  // no record, no bitmap
  call("ReleaseDC", {0, screen});
}

TEST(Graphics, DesktopOnlyFunctionsAnswerAsStubs) {
  uint8_t buffer[16];
  memset(buffer, 0x5A, sizeof buffer);
  EXPECT_EQ(call("GetDIBits", {1, 2, 0, 1, w(buffer), w(buffer), 0}), 0u);
  for (uint8_t b : buffer) EXPECT_EQ(b, 0x5A);
  EXPECT_EQ(call("GdiSetBatchLimit", {100}), 8u);
  RECT r = {1, 2, 3, 4};
  EXPECT_NE(call("OffsetRect", {w(&r), 10, static_cast<u32>(-1)}), 0u);
  EXPECT_EQ(r.left, 11);
  EXPECT_EQ(r.top, 1);
  EXPECT_EQ(r.bottom, 3);
}
