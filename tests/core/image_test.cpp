// Building guest images: placement, section filling and relocation.
#include <gtest/gtest.h>

#include <cstring>

#include "guest_word.h"
#include "test_support.h"
#include "wce/kernel.h"

namespace {

constexpr u32 kPreferred = 0x30000000;
constexpr u32 kLen = 0x4000;

uint8_t g_code[0x1800];
const SectionInit kSections[] = {
    {0x1000, 0x1E2C, sizeof g_code, g_code},
    {0, 0, 0, nullptr},
};
// Words holding absolute addresses, one at an odd RVA.
const u32 kRelocs[] = {0x1010, 0x1021, 0};
const u32 kNoRelocs[] = {0};
const ImportDesc kNoImports[] = {{nullptr, nullptr, 0}};

ModuleInfo image_module(const char* name, const u32* relocs, ExportEntry* exports) {
  ModuleInfo mi = test_module(name, kPreferred, kLen);
  mi.Relocs = relocs;
  mi.Sections = kSections;
  mi.Imports = kNoImports;
  mi.Exports = exports;
  return mi;
}

void fill_code() {
  memset(g_code, 0xAB, sizeof g_code);
  guest_write32(guest_addr(g_code) + 0x10, kPreferred + 0x1100);
  guest_write32(guest_addr(g_code) + 0x21, kPreferred + 0x2000);
}

}  // namespace

TEST(Image, AtThePreferredBaseNothingMoves) {
  fill_code();
  static ExportEntry exports[] = {{7, kPreferred + 0x1200}, {0, 0}};
  static ModuleInfo mi = image_module("PLACED", kRelocs, exports);
  ASSERT_EQ(InitModule(&mi, nullptr, 0), 1);
  EXPECT_EQ(mi.Base, kPreferred);
  EXPECT_EQ(mi.Fixup, 0u);
  EXPECT_EQ(guest_read32(kPreferred + 0x1010), kPreferred + 0x1100);
  EXPECT_EQ(guest_read32(kPreferred + 0x1021), kPreferred + 0x2000);
  EXPECT_EQ(exports[0].Address, kPreferred + 0x1200);
  // The copied bytes, then zeros up to ZeroLen, and the byte after stays.
  const uint8_t* image = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(kPreferred));
  EXPECT_EQ(image[0x1000 + 0x17FF], 0xAB);
  for (u32 i = 0x1800; i < 0x1E2C; i++) ASSERT_EQ(image[0x1000 + i], 0) << i;
  EXPECT_EQ(log_lines().front(), "trevik: " + log_lines().front().substr(8));
  std::string log = log_text();
  EXPECT_NE(log.find("PLACED located at preferred address 30000000\n"), std::string::npos);
  EXPECT_NE(log.find("Module: 'PLACED', Base: 30000000, Len: 00004000, Fixup: 00000000\n"), std::string::npos);
}

TEST(Image, ATakenBaseMovesTheImageAndEveryListedWord) {
  fill_code();
  void* taken = VirtualAlloc(reinterpret_cast<void*>(kPreferred), 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_EQ(taken, reinterpret_cast<void*>(kPreferred));
  static ExportEntry exports[] = {{7, kPreferred + 0x1200}, {0x10, kPreferred + 0x1300}, {0, 0}};
  static ModuleInfo mi = image_module("MOVED", kRelocs, exports);
  ASSERT_EQ(InitModule(&mi, nullptr, 0), 1);
  ASSERT_NE(mi.Base, kPreferred);
  EXPECT_EQ(mi.Fixup, mi.Base - kPreferred);
  EXPECT_EQ(guest_read32(mi.Base + 0x1010), kPreferred + 0x1100 + mi.Fixup);
  EXPECT_EQ(guest_read32(mi.Base + 0x1021), kPreferred + 0x2000 + mi.Fixup);
  EXPECT_EQ(guest_read32(mi.Base + 0x1014), 0xABABABABu);  // unlisted words stay
  EXPECT_EQ(exports[0].Address, kPreferred + 0x1200 + mi.Fixup);
  EXPECT_EQ(exports[1].Address, kPreferred + 0x1300 + mi.Fixup);
  EXPECT_EQ(FindModule(mi.Base + 0x10), &mi);
  EXPECT_EQ(FindModule(kPreferred), nullptr);
  EXPECT_NE(log_text().find("Relocating MOVED.\n"), std::string::npos);
}

TEST(Image, AnImageWithoutRelocationsStaysAndSaysSo) {
  fill_code();
  // Something else holds the preferred range, readable but not writable.
  void* taken = VirtualAlloc(reinterpret_cast<void*>(kPreferred), kLen, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
  ASSERT_EQ(taken, reinterpret_cast<void*>(kPreferred));
  static ExportEntry exports[] = {{0, 0}};
  static ModuleInfo mi = image_module("STUCK", kNoRelocs, exports);
  ASSERT_EQ(InitModule(&mi, nullptr, 0), 1);
  EXPECT_EQ(mi.Base, kPreferred);
  EXPECT_EQ(mi.Fixup, 0u);
  EXPECT_EQ(guest_read32(kPreferred + 0x1010), kPreferred + 0x1100);  // filled after the range was opened
  std::string log = log_text();
  EXPECT_NE(log.find("Relocating STUCK.\nFailed to relocate STUCK. We may crash now.\n"), std::string::npos);
}
