// The module registry: its limit, look-up by address and by name.
#include <gtest/gtest.h>

#include "test_support.h"
#include "wce/kernel.h"

TEST(Registry, HoldsAtMost256Modules) {
  static ModuleInfo modules[257];
  for (int i = 0; i < 256; i++) {
    modules[i] = test_module("M", 0x1000 * i, 0x1000);
    ASSERT_EQ(InitModule(&modules[i], nullptr, 1), 1) << i;
  }
  modules[256] = test_module("LAST", 0x7000000, 0x1000);
  EXPECT_EQ(InitModule(&modules[256], reinterpret_cast<HMODULE>(0x1234), 1), 0);
  EXPECT_EQ(ModuleTable.Count, 256u);
  EXPECT_EQ(modules[256].Handle, nullptr);  // a refused descriptor is left alone
}

TEST(Registry, FindModuleUsesHalfOpenRanges) {
  static ModuleInfo a = test_module("A", 0x20000000, 0x3000);
  static ModuleInfo b = test_module("B", 0x20003000, 0x1000);
  InitModule(&a, nullptr, 1);
  InitModule(&b, nullptr, 1);
  EXPECT_EQ(FindModule(0x20000000), &a);
  EXPECT_EQ(FindModule(0x20002FFF), &a);
  EXPECT_EQ(FindModule(0x20003000), &b);
  EXPECT_EQ(FindModule(0x20004000), nullptr);
  EXPECT_EQ(FindModule(0x1FFFFFFF), nullptr);
  EXPECT_EQ(FindModule(0xFFFFFFFF), nullptr);
}

TEST(Registry, NamesMatchByStemIgnoringCase) {
  EXPECT_EQ(FindModuleByNameA(nullptr), nullptr);  // nothing registered yet
  static ModuleInfo first = test_module("GAME", 0x21000000, 0x1000);
  static ModuleInfo foo = test_module("FOO", 0x22000000, 0x1000);
  InitModule(&first, nullptr, 1);
  InitModule(&foo, nullptr, 1);
  EXPECT_EQ(FindModuleByNameA("\\Windows\\dir.x\\foo.em.dll"), &foo);
  EXPECT_EQ(FindModuleByNameA("Foo.dll"), &foo);
  EXPECT_EQ(FindModuleByNameA("FOO"), &foo);
  EXPECT_EQ(FindModuleByNameA("fo.dll"), nullptr);
  EXPECT_EQ(FindModuleByNameA("foo2.dll"), nullptr);
  EXPECT_EQ(FindModuleByNameA(""), &first);
  EXPECT_EQ(FindModuleByNameA(nullptr), &first);
}

TEST(Registry, LastRegisteredOfOneNameWins) {
  static ModuleInfo one = test_module("TWIN", 0x23000000, 0x1000);
  static ModuleInfo two = test_module("twin", 0x24000000, 0x1000);
  InitModule(&one, nullptr, 1);
  InitModule(&two, nullptr, 1);
  EXPECT_EQ(FindModuleByNameA("TWIN.DLL"), &two);
}

TEST(Registry, HostModuleBaseAndSizeComeFromTheModuleList) {
  HMODULE self = GetModuleHandleW(nullptr);
  EXPECT_EQ(GetModuleBaseAddress(self), static_cast<u32>(reinterpret_cast<uintptr_t>(self)));
  EXPECT_GT(GetModuleSize(self), 0u);
  EXPECT_EQ(GetModuleBaseAddress(reinterpret_cast<HMODULE>(0x1000)), 0u);
  EXPECT_EQ(GetModuleSize(reinterpret_cast<HMODULE>(0x1000)), 0u);
}
