// Guest threads through CreateThread and the thread bridge: "guest code"
// is a test module whose Dispatch runs C routines against the Env, and
// calls the API through the import slots exactly as translated code does.
#include <gtest/gtest.h>

#include <cstring>

#include "kernel_support.h"
#include "wce/kernel.h"
#include "wce/synch.h"

namespace {

// Routines of the test module, by offset from its base.
constexpr u32 kRendezvous = 0x100;
constexpr u32 kCounting = 0x200;
constexpr u32 kFrame = 0x300;

// Rendezvous: two threads each signal their own event and wait for the
// other's, which only works when both run at once. Registers are set from
// the seed before and checked after.
struct Pair {
  u32 mine, other, seed, wait_result;
};

void set_registers(Env* env, u32 seed) {
  env->EBX = seed;
  env->ECX = seed * 3;
  env->EDX = seed + 1;
  env->ESI = ~seed;
  env->EDI = seed << 4;
  env->EBP = seed ^ 0x1234;
  env->EFLAGS = (seed & 1) ? (FLAG_CF | FLAG_ZF) : FLAG_SF;
}

bool registers_hold(const Env* env, u32 seed) {
  Env expected = *env;
  set_registers(&expected, seed);
  return env->EBX == expected.EBX && env->ECX == expected.ECX && env->EDX == expected.EDX &&
         env->ESI == expected.ESI && env->EDI == expected.EDI && env->EBP == expected.EBP &&
         env->EFLAGS == expected.EFLAGS;
}

void rendezvous(Env* env) {
  Pair* pair = reinterpret_cast<Pair*>(static_cast<uintptr_t>(guest_read32(env->ESP + 4)));
  const u32 esp = env->ESP;
  set_registers(env, pair->seed);
  for (int i = 0; i < 3; i++) guest_call(env, "Sleep", {0});
  guest_call(env, "SetEvent", {pair->mine});
  pair->wait_result = guest_call(env, "WaitForSingleObject", {pair->other, 30000});
  for (int i = 0; i < 3; i++) guest_call(env, "Sleep", {1});
  bool intact = registers_hold(env, pair->seed) && env->ESP == esp;
  env->EAX = intact && pair->wait_result == WAIT_OBJECT_0 ? pair->seed ^ 0x5A5A5A5A : 0xBAD;
}

// Counting: a shared counter in guest memory, read and written back under
// a critical section in guest memory, with yields in between.
struct Counting {
  u32 section, counter, rounds;
};

void counting(Env* env) {
  Counting* c = reinterpret_cast<Counting*>(static_cast<uintptr_t>(guest_read32(env->ESP + 4)));
  for (u32 i = 0; i < c->rounds; i++) {
    guest_call(env, "EnterCriticalSection", {c->section});
    guest_call(env, "EnterCriticalSection", {c->section});
    u32 value = guest_read32(c->counter);
    if (i % 8 == 0) guest_call(env, "Sleep", {0});
    guest_write32(c->counter, value + 1);
    guest_call(env, "LeaveCriticalSection", {c->section});
    guest_call(env, "LeaveCriticalSection", {c->section});
  }
  env->EAX = 0;
}

// Frame: reports what the bridge gave the guest.
struct FrameSeen {
  u32 parameter, return_address, eflags, esp, thread_id;
};
FrameSeen g_frame_seen;

void frame(Env* env) {
  g_frame_seen = {guest_read32(env->ESP + 4), guest_read32(env->ESP), env->EFLAGS, env->ESP,
                  guest_call(env, "GetCurrentThreadId", {})};
  env->EAX = 77;
}

int threads_dispatch(Env* env, ModuleInfo* mi) {
  switch (env->EIP - mi->Base) {
    case kRendezvous: rendezvous(env); break;
    case kCounting: counting(env); break;
    case kFrame: frame(env); break;
    default: ADD_FAILURE() << "no routine at " << std::hex << env->EIP; break;
  }
  // ret 4: the sentinel and the one argument.
  env->EIP = guest_read32(env->ESP);
  env->ESP += 8;
  EXPECT_EQ(env->EIP, RETURN_SENTINEL);
  return static_cast<int>(env->EAX);
}

u32 module_base() {
  static const u32 base = register_test_module("KTHREADS", threads_dispatch, 0x7000);
  return base;
}

// CreateThread through the handler; returns the handle.
u32 create_guest_thread(u32 routine, u32 parameter, u32 flags = 0, DWORD* id = nullptr) {
  GuestCall call("CreateThread", {0, 0, module_base() + routine, parameter, flags, guest_addr(id)});
  EXPECT_EQ(call.popped_words(), 7u);
  EXPECT_TRUE(call.others_kept());
  return call.eax();
}

DWORD exit_code(u32 thread) {
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(thread)), &code));
  return code;
}

}  // namespace

TEST(GuestThreads, TheBridgeFrameHoldsTheSentinelAndTheParameter) {
  DWORD id = 0;
  u32 thread = create_guest_thread(kFrame, 0xFEEDF00D, 0, &id);
  ASSERT_NE(thread, 0u);
  EXPECT_EQ(GuestCall("WaitForSingleObject", {thread, 30000}).eax(), WAIT_OBJECT_0);
  EXPECT_EQ(exit_code(thread), 77u);
  EXPECT_EQ(g_frame_seen.parameter, 0xFEEDF00Du);
  EXPECT_EQ(g_frame_seen.return_address, RETURN_SENTINEL);
  EXPECT_EQ(g_frame_seen.eflags, 0u);
  EXPECT_EQ(g_frame_seen.thread_id, id);
  EXPECT_NE(id, GetCurrentThreadId());
  GuestCall("CloseHandle", {thread});
}

TEST(GuestThreads, ASuspendedGuestThreadStartsAtResume) {
  g_frame_seen = {};
  u32 thread = create_guest_thread(kFrame, 5, CREATE_SUSPENDED);
  EXPECT_EQ(GuestCall("WaitForSingleObject", {thread, 50}).eax(), WAIT_TIMEOUT);
  EXPECT_EQ(g_frame_seen.parameter, 0u);
  EXPECT_EQ(GuestCall("ResumeThread", {thread}).eax(), 1u);
  EXPECT_EQ(GuestCall("WaitForSingleObject", {thread, 30000}).eax(), WAIT_OBJECT_0);
  EXPECT_EQ(g_frame_seen.parameter, 5u);
  GuestCall("CloseHandle", {thread});
}

TEST(GuestThreads, TwoThreadsRunAtOnceWithTheirOwnRegistersAndExitCodes) {
  u32 a_ready = GuestCall("CreateEventA", {0, 1, 0, 0}).eax();
  u32 b_ready = GuestCall("CreateEventA", {0, 1, 0, 0}).eax();
  static Pair a, b;
  a = {a_ready, b_ready, 0x11111111, 0xFFFF};
  b = {b_ready, a_ready, 0x22222222, 0xFFFF};
  alignas(4) uint8_t handles[9];
  u32 first = create_guest_thread(kRendezvous, guest_addr(&a));
  u32 second = create_guest_thread(kRendezvous, guest_addr(&b));
  ASSERT_NE(first, 0u);
  ASSERT_NE(second, 0u);
  guest_write32(guest_addr(handles) + 1, first);
  guest_write32(guest_addr(handles) + 5, second);
  EXPECT_EQ(GuestCall("WaitForMultipleObjects", {2, guest_addr(handles) + 1, 1, 60000}).eax(), WAIT_OBJECT_0);
  EXPECT_EQ(a.wait_result, WAIT_OBJECT_0);
  EXPECT_EQ(b.wait_result, WAIT_OBJECT_0);
  EXPECT_EQ(exit_code(first), 0x11111111u ^ 0x5A5A5A5Au);
  EXPECT_EQ(exit_code(second), 0x22222222u ^ 0x5A5A5A5Au);
  for (u32 h : {first, second, a_ready, b_ready}) GuestCall("CloseHandle", {h});
}

TEST(GuestThreads, ACriticalSectionInGuestMemoryKeepsACounterExact) {
  u32 base = module_base();
  // The record and the counter live in the module's guest image.
  u32 section = base + 0x8000;
  u32 counter = base + 0x8040;
  guest_write32(counter, 0);
  GuestCall("InitializeCriticalSection", {section});
  static Counting work;
  work = {section, counter, 1500};
  constexpr int kThreads = 4;
  alignas(4) uint8_t handles[4 * kThreads];
  for (int i = 0; i < kThreads; i++) {
    u32 thread = create_guest_thread(kCounting, guest_addr(&work));
    ASSERT_NE(thread, 0u);
    guest_write32(guest_addr(handles) + 4 * i, thread);
  }
  EXPECT_EQ(GuestCall("WaitForMultipleObjects", {kThreads, guest_addr(handles), 1, 120000}).eax(), WAIT_OBJECT_0);
  EXPECT_EQ(guest_read32(counter), kThreads * 1500u);
  EXPECT_EQ(guest_read32(section + 12), 0u);  // nobody owns it
  GuestCall("DeleteCriticalSection", {section});
  for (int i = 0; i < kThreads; i++) GuestCall("CloseHandle", {guest_read32(guest_addr(handles) + 4 * i)});
}

TEST(GuestThreadsDeathTest, AStartOutsideEveryModuleEndsTheProcess) {
  EXPECT_EXIT(
      {
        GuestCall call("CreateThread", {0, 0, 0x7FFF0000, 0, 0, 0});
        WaitForSingleObject(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(call.eax())), 30000);
      },
      testing::ExitedWithCode(255), "Cannot find ThreadProc");
}
