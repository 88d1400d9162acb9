// Import binding to the API table, the guest calling convention of its
// handlers, control transfer through HandleDefault, and Used.
#include <gtest/gtest.h>

#include <vector>

#include "guest_call.h"
#include "guest_word.h"
#include "test_support.h"
#include "wce/kernel.h"

namespace {

constexpr u32 kBase = 0x31000000;

GuestApi g_api("BOUND", kBase,
               {"GetProfileIntA", "GetEnvironmentStrings", "RtlUnwind", "GlobalLock", "GetLogicalDrives",
                "GetStdHandle", "NoSuchFunction", "GetVersion"});

int g_native_calls;
void native_probe(Env* env) {
  g_native_calls++;
  env->EAX = guest_read32(env->ESP + 4) * 2;
  env->EIP = guest_read32(env->ESP);
  env->ESP += 8;
}

}  // namespace

u32 api(const char* name) { return g_api(name); }

TEST(Binding, ApiTableNamesBecomeTaggedHandlers) {
  for (const char* name : {"GetProfileIntA", "GetEnvironmentStrings", "RtlUnwind", "GlobalLock",
                           "GetLogicalDrives", "GetStdHandle", "GetVersion"})
    EXPECT_GT(api(name), NATIVE_TAG) << name;
  EXPECT_EQ(api("NoSuchFunction"), NATIVE_TAG);
  std::string log = log_text();
  EXPECT_NE(log.find("Cannot load DLL 'KERNEL32.em.dll', Err 7e\n"), std::string::npos);
  EXPECT_NE(log.find("FindFunc: unknown function NoSuchFunction\n"), std::string::npos);

  GuestCall profile("GetProfileIntA", {0, 0, 7});
  EXPECT_EQ(profile.env.EAX, 7u);
  EXPECT_EQ(profile.env.ESP, profile.before.ESP + 16);
  EXPECT_EQ(profile.env.EIP, 0x00401234u);

  GuestCall environment("GetEnvironmentStrings", {});
  EXPECT_EQ(environment.env.EAX, 0u);
  EXPECT_EQ(environment.env.ESP, environment.before.ESP + 4);

  GuestCall unwind("RtlUnwind", {1, 2, 3, 4});
  EXPECT_EQ(unwind.env.EAX, 0xA5A5A5A5u);  // no result: EAX stays
  EXPECT_EQ(unwind.env.ESP, unwind.before.ESP + 20);

  GuestCall lock("GlobalLock", {0x12345678});
  EXPECT_EQ(lock.env.EAX, 0x12345678u);
  EXPECT_EQ(lock.env.ESP, lock.before.ESP + 8);

  GuestCall drives("GetLogicalDrives", {});
  EXPECT_EQ(drives.env.EAX, 12u);

  GuestCall std_handle("GetStdHandle", {0xFFFFFFF5});
  EXPECT_EQ(std_handle.env.EAX, 0xFFFFFFFFu);
  EXPECT_TRUE(std_handle.others_kept());  // handlers touch no other register

  GuestCall version("GetVersion", {});
  EXPECT_EQ(version.env.EAX, 0x50000u);
}

TEST(Transfer, TaggedAddressCallsTheNativeHandler) {
  u32 tagged = static_cast<u32>(reinterpret_cast<uintptr_t>(&native_probe)) | NATIVE_TAG;
  ASSERT_LT(reinterpret_cast<uintptr_t>(&native_probe), NATIVE_TAG);
  GuestCall call(tagged, {21});
  EXPECT_EQ(g_native_calls, 1);
  EXPECT_EQ(call.env.EAX, 42u);
  EXPECT_EQ(call.env.EIP, 0x00401234u);
}

TEST(TransferDeathTest, UnresolvedImportReportsTheCallersAddress) {
  EXPECT_EXIT(GuestCall(NATIVE_TAG, {}), testing::ExitedWithCode(255), "Invalid address 00401234 called");
}

TEST(TransferDeathTest, AddressOutsideEveryModuleIsFatal) {
  static ModuleInfo m = test_module("EDGE", 0x32000000, 0x1000);
  InitModule(&m, nullptr, 1);
  EXPECT_EXIT(GuestCall(0x32001000, {}), testing::ExitedWithCode(255), "Invalid address 32001000 called");
}

TEST(TransferDeathTest, UntranslatedAddressDumpsTheRegisters) {
  static ModuleInfo m = test_module("DUMPED", 0x33000000, 0x1000);
  m.Fixup = 0x100;
  InitModule(&m, nullptr, 1);
  Env env = {1, 2, 3, 4, 5, 6, 0x77, 0x88, 0x33000500, 0};
  EXPECT_EXIT(HandleInvalidAddress(&env, &m), testing::ExitedWithCode(255), "Non-translated address called");
  std::vector<std::string> lines = log_lines();
  std::vector<std::string> tail(lines.end() - 11, lines.end());
  std::vector<std::string> want = {"Address 33000500 was not compiled into module 'DUMPED'. Exiting.",
                                   " Env->EAX=00000001", " Env->EBX=00000002", " Env->ECX=00000003",
                                   " Env->EDX=00000004", " Env->ESI=00000005", " Env->EDI=00000006",
                                   " Env->EBP=00000088", " Env->ESP=00000077", " Env->EIP=33000500",
                                   " Real EIP=33000400 in DUMPED"};
  EXPECT_EQ(tail, want);
}

TEST(Used, EachPointerIsLoggedOnce) {
  static const char first[] = "used: first";
  static const char twin_a[] = "used: twin";
  static const char twin_b[] = "used: twin";
  Used(first);
  Used(first, 1, 2);
  Used(twin_a);
  Used(twin_b);
  std::string log = log_text();
  EXPECT_EQ(log.find("used: first\n"), log.rfind("used: first\n"));
  EXPECT_NE(log.find("used: twin\nused: twin\n"), std::string::npos);
  EXPECT_EQ(Used(first), 0);
  EXPECT_EQ(Used(twin_b), 2);

  // Growth keeps every earlier entry.
  static char texts[200][16];
  for (int i = 0; i < 200; i++) {
    snprintf(texts[i], sizeof texts[i], "used %d", i);
    Used(texts[i]);
  }
  EXPECT_EQ(Used(first), 0);
  for (int i = 0; i < 200; i++) ASSERT_EQ(Used(texts[i]), 3 + i);
}
