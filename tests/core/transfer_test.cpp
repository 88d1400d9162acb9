// Import binding to the API table, the guest calling convention of its
// handlers, control transfer through HandleDefault, and Used.
#include <gtest/gtest.h>

#include <vector>

#include "guest_word.h"
#include "test_support.h"
#include "wce/kernel.h"

namespace {

constexpr u32 kBase = 0x31000000;

u32 name_word(const char* name) { return guest_addr(name); }

// Binds a module importing `names` from KERNEL32.dll and returns its slots.
std::vector<u32> bind(const std::vector<const char*>& names) {
  static std::vector<u32> words;
  words.clear();
  for (const char* n : names) words.push_back(name_word(n));
  words.push_back(0);
  static ImportDesc imports[] = {{"KERNEL32.dll", nullptr, 0x1000}, {nullptr, nullptr, 0}};
  imports[0].Names = words.data();
  static ExportEntry exports[] = {{0, 0}};
  static const u32 relocs[] = {0};
  static ModuleInfo mi = test_module("BOUND", kBase, 0x2000);
  mi.Imports = imports;
  mi.Exports = exports;
  mi.Relocs = relocs;
  EXPECT_EQ(InitModule(&mi, nullptr, 0), 1);
  std::vector<u32> slots;
  for (size_t i = 0; i < names.size(); i++) slots.push_back(guest_read32(kBase + 0x1000 + 4 * i));
  return slots;
}

// A guest call: arguments pushed right to left, then the return address,
// on a stack at an odd address. Returns the Env after the handler ran.
struct GuestCall {
  alignas(4) uint8_t stack[256];
  Env env;
  u32 esp_before;

  GuestCall(u32 target, const std::vector<u32>& args) {
    memset(&env, 0, sizeof env);
    env.EAX = 0xA5A5A5A5;
    env.EBX = 0x1B;
    env.EBP = 0x2B;
    env.EFLAGS = 0x0C85;
    u32 esp = guest_addr(stack) + 201;  // odd on purpose
    for (size_t i = args.size(); i-- > 0;) {
      esp -= 4;
      guest_write32(esp, args[i]);
    }
    esp -= 4;
    guest_write32(esp, 0x00401234);
    env.ESP = esp_before = esp;
    env.EIP = target;
    HandleDefault(&env, nullptr);
  }
};

int g_native_calls;
void native_probe(Env* env) {
  g_native_calls++;
  env->EAX = guest_read32(env->ESP + 4) * 2;
  env->EIP = guest_read32(env->ESP);
  env->ESP += 8;
}

}  // namespace

TEST(Binding, ApiTableNamesBecomeTaggedHandlers) {
  std::vector<u32> slots = bind({"GetProfileIntA", "GetEnvironmentStrings", "RtlUnwind", "GlobalLock",
                                 "GetLogicalDrives", "GetStdHandle", "NoSuchFunction", "GetVersion"});
  for (int i = 0; i < 6; i++) EXPECT_GT(slots[i], NATIVE_TAG) << i;
  EXPECT_EQ(slots[6], NATIVE_TAG);
  std::string log = log_text();
  EXPECT_NE(log.find("Cannot load DLL 'KERNEL32.em.dll', Err 7e\n"), std::string::npos);
  EXPECT_NE(log.find("FindFunc: unknown function NoSuchFunction\n"), std::string::npos);

  GuestCall profile(slots[0], {0, 0, 7});
  EXPECT_EQ(profile.env.EAX, 7u);
  EXPECT_EQ(profile.env.ESP, profile.esp_before + 16);
  EXPECT_EQ(profile.env.EIP, 0x00401234u);

  GuestCall environment(slots[1], {});
  EXPECT_EQ(environment.env.EAX, 0u);
  EXPECT_EQ(environment.env.ESP, environment.esp_before + 4);

  GuestCall unwind(slots[2], {1, 2, 3, 4});
  EXPECT_EQ(unwind.env.EAX, 0xA5A5A5A5u);  // no result: EAX stays
  EXPECT_EQ(unwind.env.ESP, unwind.esp_before + 20);

  GuestCall lock(slots[3], {0x12345678});
  EXPECT_EQ(lock.env.EAX, 0x12345678u);
  EXPECT_EQ(lock.env.ESP, lock.esp_before + 8);

  GuestCall drives(slots[4], {});
  EXPECT_EQ(drives.env.EAX, 12u);

  GuestCall std_handle(slots[5], {0xFFFFFFF5});
  EXPECT_EQ(std_handle.env.EAX, 0xFFFFFFFFu);
  // Handlers touch no other register.
  EXPECT_EQ(std_handle.env.EBX, 0x1Bu);
  EXPECT_EQ(std_handle.env.EBP, 0x2Bu);
  EXPECT_EQ(std_handle.env.EFLAGS, 0x0C85u);

  GuestCall version(slots[7], {});
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
