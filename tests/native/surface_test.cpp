// The surface module as the guest reaches it: DirectDrawCreate imported
// from pixly.dll through the runtime's binding, every method called
// through the objects' method tables with `this` first.
#include <gtest/gtest.h>

#include <cstring>

#include "guest_call.h"
#include "wce/device.h"
#include "wce/gdi.h"
#include "wce/window.h"

namespace {

u32 w(const void* p) { return guest_addr(p); }

u32 create(const char* name) {
  static GuestApi table("DDTEST", 0x35000000, {"DirectDrawCreate"}, "pixly.dll");
  return table(name);
}

// Calls method `slot` of `object` with `args` after `this`; checks that it
// removed them all and returned DD_OK.
void method(u32 object, u32 slot, std::vector<u32> args) {
  args.insert(args.begin(), object);
  GuestCall c(guest_read32(guest_read32(object) + 4 * slot), args);
  EXPECT_EQ(c.eax(), 0u) << "slot " << slot;
  EXPECT_EQ(c.env.EIP, kReturnAddress);
  EXPECT_EQ(c.popped_words(), 1 + args.size()) << "slot " << slot;
}

uint16_t screen_at(int x, int y) { return device_screen_pixels()[y * device_screen_width() + x]; }

// DDSURFACEDESC, 108 bytes.
struct SurfaceDesc {
  u32 words[27];
  u32& flags() { return words[1]; }
  u32& height() { return words[2]; }
  u32& width() { return words[3]; }
  u32& pitch() { return words[4]; }
  u32& surface() { return words[9]; }
  u32& format_size() { return words[18]; }
  u32& format_flags() { return words[19]; }
  u32& caps() { return words[26]; }
};
static_assert(sizeof(SurfaceDesc) == 108);

enum : u32 { kCreatePalette = 5, kCreateSurface = 6, kSetCooperativeLevel = 20, kSetDisplayMode = 21 };
enum : u32 { kBlt = 5, kGetCaps = 14, kLock = 25, kSetPalette = 31 };
enum : u32 { kSetEntries = 6 };

}  // namespace

TEST(SurfaceModule, DrawingThroughThePrimarySurface) {
  u32 dd = 0;
  GuestCall first(create("DirectDrawCreate"), {0, w(&dd), 0});
  EXPECT_EQ(first.eax(), 0u);
  EXPECT_EQ(first.popped_words(), 4u);
  ASSERT_NE(dd, 0u);
  u32 again = 0;
  GuestCall(create("DirectDrawCreate"), {0, w(&again), 0});
  EXPECT_EQ(again, dd);  // the one object
  EXPECT_EQ(GuestCall(create("DirectDrawCreate"), {0, 0, 0}).eax(), 0u);
  method(dd, 1, {});  // AddRef and Release remove only `this`
  method(dd, 2, {});

  HWND window = CreateWindowExW(0, u"BUTTON", u"game", 0, 0, 0, device_screen_width(), device_screen_height(),
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  method(dd, kSetCooperativeLevel, {w(window), 0x11});
  method(dd, kSetDisplayMode, {static_cast<u32>(device_screen_width()), static_cast<u32>(device_screen_height()), 8});

  // The primary surface: display-sized, pitch from the display, 8-bit.
  SurfaceDesc primary_desc = {};
  primary_desc.flags() = 0x1;  // DDSD_CAPS
  primary_desc.caps() = 0x200;  // DDSCAPS_PRIMARYSURFACE
  u32 primary = 0;
  method(dd, kCreateSurface, {w(&primary_desc), w(&primary), 0});
  ASSERT_NE(primary, 0u);
  EXPECT_EQ(primary_desc.width(), static_cast<u32>(device_screen_width()));
  EXPECT_EQ(primary_desc.height(), static_cast<u32>(device_screen_height()));
  EXPECT_EQ(primary_desc.pitch(), static_cast<u32>(device_screen_width()));
  EXPECT_EQ(primary_desc.format_size(), 12u);
  EXPECT_EQ(primary_desc.format_flags(), 0x20u);
  ASSERT_NE(primary_desc.surface(), 0u);

  // A palette with red at 1 and blue at 2, attached to the primary.
  uint8_t entries[256][4] = {};
  entries[1][0] = 255;
  entries[2][2] = 255;
  u32 palette = 0;
  method(dd, kCreatePalette, {0x44, w(entries), w(&palette), 0});
  ASSERT_NE(palette, 0u);
  method(primary, kSetPalette, {palette});

  // An off-screen surface drawn through Lock: row 0 red, row 1 blue.
  SurfaceDesc back_desc = {};
  back_desc.flags() = 0x6;  // DDSD_WIDTH | DDSD_HEIGHT
  back_desc.width() = primary_desc.width();
  back_desc.height() = primary_desc.height();
  u32 back = 0;
  method(dd, kCreateSurface, {w(&back_desc), w(&back), 0});
  SurfaceDesc locked = {};
  method(back, kLock, {0, w(&locked), 0, 0});
  EXPECT_EQ(locked.surface(), back_desc.surface());
  EXPECT_EQ(locked.pitch(), primary_desc.pitch());
  uint8_t* pixels = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(locked.surface()));
  memset(pixels, 1, locked.pitch());
  memset(pixels + locked.pitch(), 2, locked.pitch());
  // Blt to the primary: copied and shown (the first update of the run).
  method(primary, kBlt, {0, back, 0, 0, 0});
  EXPECT_EQ(screen_at(0, 0), 0xF800);
  EXPECT_EQ(screen_at(100, 1), 0x001F);
  // A colour fill changes nothing.
  memset(pixels, 2, locked.pitch());
  method(primary, kBlt, {0, back, 0, 0x400, 0});
  EXPECT_EQ(screen_at(0, 0), 0xF800);
  // New colours, shown by a Blt whose destination leaves the left edge
  // (always shown). Entries past the palette's end are not written.
  uint8_t green[20][4] = {};
  green[0][1] = 255;
  method(palette, kSetEntries, {0, 1, 1, w(green)});
  method(palette, kSetEntries, {0, 250, 20, w(green)});
  RECT dest = {8, 0, 16, 2}, source = {8, 0, 16, 2};
  method(primary, kBlt, {w(&dest), back, w(&source), 0, 0});
  EXPECT_EQ(screen_at(8, 0), 0x001F);  // row 0 now index 2: blue
  // Rectangles that leave the buffers copy nothing outside them.
  RECT far = {0, 100000, 50, 100002};
  method(primary, kBlt, {w(&far), back, w(&far), 0, 0});
  // Out-parameters of the methods that describe nothing stay as they were.
  u32 untouched[8];
  memset(untouched, 0x5A, sizeof untouched);
  method(primary, kGetCaps, {w(untouched)});
  EXPECT_EQ(untouched[0], 0x5A5A5A5Au);
  DestroyWindow(window);
}
