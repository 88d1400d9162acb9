// The translated-module dispatcher: routing by chunk ranges, the two stop
// conditions, and the reports for addresses no chunk can run.
#include <gtest/gtest.h>

#include <vector>

#include "guest_word.h"
#include "test_support.h"
#include "wce/kernel.h"

namespace {

typedef ModuleInfo* (*GetModuleInfoFn)();

struct Route {
  ModuleInfo* mi;
  alignas(4) uint8_t stack[512];
  Env env;

  Route() {
    HMODULE module = LoadLibraryW(u"ROUTE.em.dll");
    EXPECT_NE(module, nullptr);
    auto get = reinterpret_cast<GetModuleInfoFn>(GetProcAddressW(module, u"GetModuleInfo"));
    mi = get();
    EXPECT_EQ(get(), mi);
    EXPECT_EQ(GetProcAddressW(module, u"ModuleDispatch"), nullptr);  // only the two exports
    InitModule(mi, module, 0);
    EXPECT_EQ(mi->Handle, module);
  }

  // Calls guest address `eip` (module numbering) with the sentinel as the
  // return address; returns the entries that ran.
  std::vector<u32> call(u32 eip) {
    memset(&env, 0, sizeof env);
    env.ESP = guest_addr(stack) + 256;
    guest_write32(env.ESP, RETURN_SENTINEL);
    env.EIP = eip == RETURN_SENTINEL ? eip : eip + mi->Fixup;
    env.EAX = 0x77;
    EXPECT_EQ(mi->Dispatch(&env, mi), 0x77);
    std::vector<u32> ran;
    u32 trace = mi->Base + 0x18000;
    for (u32 i = 0; i < guest_read32(trace); i++) ran.push_back(guest_read32(trace + 4 + 4 * i));
    guest_write32(trace, 0);
    return ran;
  }
};

}  // namespace

TEST(Dispatch, RoutesByChunkRange) {
  Route r;
  EXPECT_EQ(r.call(RETURN_SENTINEL), std::vector<u32>{});
  EXPECT_EQ(r.call(0x1000700F), std::vector<u32>{0x1000700F});
  EXPECT_EQ(r.call(0x10007010), std::vector<u32>{0x10007010});
  EXPECT_EQ(r.call(0x1001108E), std::vector<u32>{0x1001108E});
  EXPECT_EQ(r.env.EIP, RETURN_SENTINEL);
}

TEST(Dispatch, StopsWhenTheGuestLeavesItsFrame) {
  Route r;
  EXPECT_EQ(r.call(0x10008000), std::vector<u32>{0x10008000});
  EXPECT_EQ(r.env.EIP, r.mi->Base + 0x1000);  // where the guest was going on
}

TEST(DispatchDeathTest, AddressesNoChunkRuns) {
  Route r;
  EXPECT_EXIT(r.call(0x1001108F), testing::ExitedWithCode(255), "Non-translated address called");
  EXPECT_EXIT(r.call(0x10001001), testing::ExitedWithCode(255), "Non-translated address called");
  EXPECT_EXIT(r.call(0x10000000), testing::ExitedWithCode(255), "Non-translated address called");
  EXPECT_EXIT(r.call(0x10019000), testing::ExitedWithCode(255), "Invalid address 10019000 called");
  EXPECT_EXIT(r.call(0x0FFFFFFF), testing::ExitedWithCode(255), "Invalid address 0FFFFFFF called");
}
