// Module handlers over the module registry: LoadLibraryA loads and enters
// a .em module once, GetProcAddress walks the registered exports.
#include <gtest/gtest.h>

#include <cstring>

#include "kernel_support.h"
#include "wce/kernel.h"

namespace {

typedef int (*CountFn)();

int entry_calls(u32 module) {
  auto count = reinterpret_cast<CountFn>(
      GetProcAddressA(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(module)), "KTestEntryCalls"));
  return count ? count() : -1;
}

}  // namespace

TEST(ModuleHandlers, LoadLibraryALoadsAndEntersTheEmModuleOnce) {
  static char name[] = "ktestmod.dll";
  ASSERT_EQ(FindModuleByNameA(name), nullptr);
  u32 module = GuestCall("LoadLibraryA", {guest_addr(name)}).eax();
  ASSERT_NE(module, 0u);
  EXPECT_EQ(module, guest_addr(GetModuleHandleW(u"KTESTMOD.em.dll")));
  ModuleInfo* registered = FindModuleByNameA("KTESTMOD");
  ASSERT_NE(registered, nullptr);
  EXPECT_EQ(guest_addr(registered->Handle), module);
  EXPECT_EQ(entry_calls(module), 1);

  // Registered already: the handle of the .em module, nothing loaded or entered.
  static char upper[] = "KTESTMOD.DLL";
  EXPECT_EQ(GuestCall("LoadLibraryA", {guest_addr(upper)}).eax(), module);
  EXPECT_EQ(entry_calls(module), 1);

  static char by_ansi[] = "KTESTMOD.em.dll";
  EXPECT_EQ(GuestCall("GetModuleHandleA", {guest_addr(by_ansi)}).eax(), module);
  char path[260];
  u32 length = GuestCall("GetModuleFileNameA", {module, guest_addr(path), sizeof path}).eax();
  EXPECT_GT(length, 0u);
  EXPECT_NE(std::string(path).find("KTESTMOD.em.dll"), std::string::npos);
  EXPECT_EQ(GuestCall("FreeLibrary", {module}).eax(), 0u);
  EXPECT_EQ(GuestCall("DisableThreadLibraryCalls", {module}).eax(), 1u);
}

TEST(ModuleHandlers, NamesWithoutADotOrWithoutAModuleGiveZero) {
  static char nodot[] = "KTESTMOD";
  static char missing[] = "NOSUCHMOD.DLL";
  EXPECT_EQ(GuestCall("LoadLibraryA", {guest_addr(nodot)}).eax(), 0u);
  EXPECT_EQ(GuestCall("LoadLibraryA", {guest_addr(missing)}).eax(), 0u);
  static char module[] = "x";
  EXPECT_EQ(GuestCall("LoadModule", {guest_addr(module), 0}).eax(), 0u);
}

TEST(ModuleHandlers, GetProcAddressWalksTheRegisteredExports) {
  static char name[] = "KTESTMOD.DLL";
  u32 module = GuestCall("LoadLibraryA", {guest_addr(name)}).eax();
  ASSERT_NE(module, 0u);
  ModuleInfo* registered = FindModuleByNameA("KTESTMOD");
  ASSERT_NE(registered, nullptr);
  static char exported[] = "KTestExport";
  static char wrong_case[] = "ktestexport";
  static char absent[] = "Absent";
  EXPECT_EQ(GuestCall("GetProcAddress", {module, guest_addr(exported)}).eax(), registered->Base + 0x10);
  EXPECT_EQ(GuestCall("GetProcAddress", {module, guest_addr(wrong_case)}).eax(), 0u);
  EXPECT_EQ(GuestCall("GetProcAddress", {module, guest_addr(absent)}).eax(), 0u);
  // An ordinal finds the row listed by that ordinal.
  EXPECT_EQ(GuestCall("GetProcAddress", {module, 7}).eax(), registered->Base + 0x20);
  EXPECT_EQ(GuestCall("GetProcAddress", {module, 8}).eax(), 0u);
  // A handle of no module finds nothing.
  EXPECT_EQ(GuestCall("GetProcAddress", {0x00ABC000, guest_addr(exported)}).eax(), 0u);
}
