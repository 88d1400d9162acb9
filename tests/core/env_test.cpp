// The guest environment: the entry frame, the guest stack and the thread
// block behind FS.
#include <gtest/gtest.h>

#include <thread>

#include "guest_word.h"
#include "test_support.h"
#include "wce/kernel.h"
#include "wce/wstr.h"

namespace {
u32 tib_word(const GuestTib* tib, u32 offset) { return guest_read32(guest_addr(tib) + offset); }
}  // namespace

TEST(Env, FirstModuleGetsAWinMainFrame) {
  static ModuleInfo game = test_module("GAME", 0x00400000, 0x1000);
  game.Entry = 0x1234;
  InitModule(&game, reinterpret_cast<HMODULE>(0x5000), 1);
  Env env;
  memset(&env, 0xEE, sizeof env);
  ASSERT_EQ(InitEnv(&env, &game), 1);
  EXPECT_EQ(env.EIP, 0x00401234u);
  EXPECT_EQ(env.EAX | env.EBX | env.ECX | env.EDX | env.ESI | env.EDI | env.EBP | env.EFLAGS, 0u);
  EXPECT_EQ(guest_read32(env.ESP), RETURN_SENTINEL);
  EXPECT_EQ(guest_read32(env.ESP + 4), 0x5000u);
  EXPECT_EQ(guest_read32(env.ESP + 8), 0u);
  const char* cmdline = reinterpret_cast<const char*>(static_cast<uintptr_t>(guest_read32(env.ESP + 12)));
  ASSERT_NE(cmdline, nullptr);
  EXPECT_STREQ(cmdline, wstr_to_utf8(GetCommandLineW()).c_str());  // the test's arguments are plain ASCII
  EXPECT_NE(std::string(cmdline).find("--gtest"), std::string::npos);
  EXPECT_EQ(guest_read32(env.ESP + 16), 1u);
  // The stack: ESP 0x20 below the top of a 1 MiB region, which the thread
  // block describes.
  GuestTib* tib = FS_Base();
  EXPECT_EQ(tib_word(tib, TIB_STACK_BASE) - env.ESP, 0x20u);
  EXPECT_EQ(tib_word(tib, TIB_STACK_BASE) - tib_word(tib, TIB_STACK_LIMIT), 0x100000u);

  static ModuleInfo dll = test_module("DLL", 0x10000000, 0x1000);
  InitModule(&dll, reinterpret_cast<HMODULE>(0x6000), 1);
  Env denv;
  InitEnv(&denv, &dll);
  EXPECT_EQ(guest_read32(denv.ESP), RETURN_SENTINEL);
  EXPECT_EQ(guest_read32(denv.ESP + 4), 0x6000u);
  EXPECT_EQ(guest_read32(denv.ESP + 8), 1u);
  EXPECT_EQ(guest_read32(denv.ESP + 12), 0u);
  EXPECT_EQ(guest_read32(denv.ESP + 16), 0u);
  EXPECT_NE(denv.ESP, env.ESP);  // a fresh stack each time
  EXPECT_EQ(tib_word(tib, TIB_STACK_BASE) - denv.ESP, 0x20u);
}

TEST(Env, ThreadBlockLayout) {
  GuestTib* tib = FS_Base();
  const u32 base = guest_addr(tib);
  EXPECT_EQ(tib_word(tib, TIB_SELF), base);
  EXPECT_EQ(tib_word(tib, TIB_TLS_POINTER), base + 0x44);
  EXPECT_EQ(tib_word(tib, 0x44), base + 0xD90);
  EXPECT_EQ(tib_word(tib, TIB_STACK_BASE), 0x08000000u);
  EXPECT_EQ(tib_word(tib, TIB_STACK_LIMIT), 0x00100000u);
  // The exception chain ends at once in a record {0xFFFFFFFF, sentinel}.
  const u32 record = tib_word(tib, TIB_EXCEPTION_LIST);
  EXPECT_EQ(guest_read32(record), 0xFFFFFFFFu);
  EXPECT_EQ(guest_read32(record + 4), RETURN_SENTINEL);
  EXPECT_TRUE(record + 8 <= base + 0x44 && record >= base + 0x30);
  for (u32 i = 0xD90; i < TIB_SIZE; i++) ASSERT_EQ(tib->bytes[i], 0) << i;
}

TEST(Env, OneThreadBlockPerThread) {
  GuestTib* mine = FS_Base();
  EXPECT_EQ(FS_Base(), mine);
  GuestTib* theirs[2] = {nullptr, nullptr};
  std::thread t([&] {
    theirs[0] = FS_Base();
    theirs[1] = FS_Base();
  });
  t.join();
  EXPECT_EQ(theirs[0], theirs[1]);
  EXPECT_NE(theirs[0], mine);
}

TEST(GuestWord, OddAddressesReadAndWriteLittleEndian) {
  uint8_t bytes[12] = {};
  for (u32 offset = 0; offset < 4; offset++) {
    u32 at = guest_addr(bytes) + 3 + offset;
    guest_write32(at, 0x11223344 + offset);
    EXPECT_EQ(guest_read32(at), 0x11223344 + offset);
    EXPECT_EQ(bytes[3 + offset], 0x44 + offset);
    EXPECT_EQ(bytes[6 + offset], 0x11);
  }
}

TEST(Env, ThreadBlockLookUpKeepsTheLastError) {
  FS_Base();
  SetLastError(ERROR_FILE_NOT_FOUND);
  FS_Base();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
