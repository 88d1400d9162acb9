// Timers as the guest sets them: without a procedure the timer posts
// WM_TIMER; the guest's one timer procedure runs through the timer bridge
// (the "guest code" is a test module whose Dispatch records its frame) when
// the message loop dispatches the tick; a second callback timer is refused.
#include <gtest/gtest.h>

#include "guest_call.h"
#include "wce/kernel.h"
#include "wce/window.h"

namespace {

constexpr u32 kProcedure = 0x200;

struct Tick {
  u32 hwnd, message, id, return_address, eflags;
};
std::vector<Tick> g_ticks;

int timer_dispatch(Env* env, ModuleInfo* mi) {
  EXPECT_EQ(env->EIP - mi->Base, kProcedure);
  g_ticks.push_back({guest_read32(env->ESP + 4), guest_read32(env->ESP + 8), guest_read32(env->ESP + 12),
                     guest_read32(env->ESP), env->EFLAGS});
  env->EIP = guest_read32(env->ESP);  // ret 16
  env->ESP += 20;
  return 0;
}

u32 procedure_address() {
  static const u32 base = register_test_module("KTIMER", timer_dispatch, 0x7200);
  return base + kProcedure;
}

}  // namespace

TEST(Timers, TheGuestsProcedureRunsThroughTheBridge) {
  GuestCall set("SetTimer", {0, 0, 10, procedure_address()});
  const u32 id = set.eax();
  ASSERT_NE(id, 0u);
  EXPECT_EQ(set.popped_words(), 5u);
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  ASSERT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  DispatchMessageW(&msg);
  ASSERT_EQ(g_ticks.size(), 1u);
  EXPECT_EQ(g_ticks[0].message, static_cast<u32>(WM_TIMER));
  EXPECT_EQ(g_ticks[0].id, id);
  EXPECT_EQ(g_ticks[0].hwnd, 0u);
  EXPECT_EQ(g_ticks[0].return_address, RETURN_SENTINEL);
  EXPECT_EQ(g_ticks[0].eflags, 0u);
  // A second callback timer: refused, logged, no timer made.
  EXPECT_EQ(GuestCall("SetTimer", {0, 0, 10, procedure_address() + 0x10}).eax(), 0u);
  EXPECT_NE(log_text().find("More than one SetTimer with callback func not implemented\n"), std::string::npos);
  // KillTimer stops it; the slot stays taken, so even after it a callback
  // timer is refused.
  GuestCall kill("KillTimer", {0, id});
  EXPECT_EQ(kill.eax(), 1u);
  EXPECT_EQ(kill.popped_words(), 3u);
  EXPECT_EQ(GuestCall("SetTimer", {0, 0, 10, procedure_address()}).eax(), 0u);
  // Without a procedure a timer is the device's own.
  const u32 plain = GuestCall("SetTimer", {0, 0, 10, 0}).eax();
  ASSERT_NE(plain, 0u);
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.wParam, plain);
  EXPECT_EQ(msg.lParam, 0);
  EXPECT_EQ(GuestCall("KillTimer", {0, plain}).eax(), 1u);
}
