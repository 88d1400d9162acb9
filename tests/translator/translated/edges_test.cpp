// The conventions of generated code, seen from outside a chunk: flags kept
// across a run, returns inside a chunk, string instructions, host faults
// and divide errors reaching the runtime.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <sys/mman.h>

#include "guest_call.h"
#include "wce/seh.h"

namespace {

ModuleInfo* edges() { return load_translated("TREDGE.em.dll"); }

u32 addr(const void* p) { return static_cast<u32>(reinterpret_cast<uintptr_t>(p)); }

// Runs a call that must fault; returns the exception code that escaped.
u32 faulting_call(ModuleInfo* mi, const char* name, std::initializer_list<u32> args, Env* env) {
  prepare_call(env, mi, export_address(mi, name), args);
  SehGuard guard;
  if (SEH_TRY(guard)) {
    mi->Dispatch(env, mi);
    seh_pop(&guard);
    return 0;
  }
  return guard.record.ExceptionCode;
}

}  // namespace

TEST(ChunkConventions, FlagsSurviveARunThatSetsNone) {
  ModuleInfo* mi = edges();
  ASSERT_NE(mi, nullptr);
  for (u32 in : {0x0C85u, 0x0E97u, 0x0040u, 0x0000u}) {
    Env env;
    prepare_call(&env, mi, export_address(mi, "edge_flags_keep"), {});
    env.EFLAGS = in;
    mi->Dispatch(&env, mi);
    EXPECT_EQ(env.EAX, 5u);
    EXPECT_EQ(env.EFLAGS, in & 0x0CC5u) << std::hex << in;  // only the six flags are kept
  }
}

TEST(ChunkConventions, RetWithImmediateReturnsInsideTheChunk) {
  ModuleInfo* mi = edges();
  Env env;
  EXPECT_EQ(call_guest(mi, export_address(mi, "edge_ret_n"), {}, &env), 110u);
  EXPECT_EQ(env.EIP, RETURN_SENTINEL);
}

TEST(ChunkConventions, RepMovsbWithDirectionSetCopiesDownwards) {
  ModuleInfo* mi = edges();
  // Overlapping, destination above the source: a downward copy moves the
  // block intact, as memmove would.
  char buf[32] = "abcdefghij";
  Env env;
  u32 left = call_guest(mi, export_address(mi, "edge_movsb_down"), {addr(buf + 12), addr(buf + 9), 10}, &env);
  EXPECT_EQ(left, 0u);
  EXPECT_EQ(memcmp(buf + 3, "abcdefghij", 10), 0);
  EXPECT_EQ(env.EFLAGS & FLAG_DF, 0u);
}

TEST(ChunkConventions, RepneScasbFindsTheTerminator) {
  ModuleInfo* mi = edges();
  const char text[] = "translated";
  EXPECT_EQ(call_guest(mi, export_address(mi, "edge_strlen"), {addr(text)}), 10u);
  EXPECT_EQ(call_guest(mi, export_address(mi, "edge_strlen"), {addr("")}), 0u);
}

TEST(ChunkConventions, HostFaultReportsTheLastBlockBoundary) {
  ModuleInfo* mi = edges();
  Env env;
  EXPECT_EQ(faulting_call(mi, "edge_fault", {}, &env), 0xC0000005u);
  EXPECT_EQ(env.EBX, 0x1234u);
  EXPECT_EQ(env.ESI, 0x5678u);
  // EIP names the block that faulted: after the jump, inside the function.
  const u32 start = export_address(mi, "edge_fault");
  EXPECT_GT(env.EIP, start);
  EXPECT_LT(env.EIP, start + 32);
}

TEST(ChunkConventions, HostFaultInALoopReportsTheLastPass) {
  // Words 1..1024 on a page with an inaccessible page after it: the read
  // of the 1025th word faults at the start of a pass of the loop.
  ModuleInfo* mi = edges();
  const u32 page = 4096;
  uint8_t* block = static_cast<uint8_t*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(block, MAP_FAILED);
  ASSERT_EQ(mprotect(block + page, page, PROT_NONE), 0);
  for (u32 i = 0; i < page / 4; i++) {
    const u32 word = i + 1;
    memcpy(block + 4 * i, &word, 4);
  }
  Env env;
  EXPECT_EQ(faulting_call(mi, "edge_loop_fault", {addr(block)}, &env), 0xC0000005u);
  EXPECT_EQ(env.ESI, addr(block + page));
  EXPECT_EQ(env.EDX, 1024u * 1025u / 2);
  EXPECT_EQ(env.ECX, 1024u / 8);
  EXPECT_EQ(env.EIP, export_address(mi, "edge_loop_pass"));
  munmap(block, 2 * page);
}

TEST(ChunkConventions, DivideErrorsBecomeHostExceptions) {
  ModuleInfo* mi = edges();
  EXPECT_EQ(call_guest(mi, export_address(mi, "edge_divide"), {static_cast<u32>(-7), 2}), static_cast<u32>(-3));
  Env env;
  EXPECT_EQ(faulting_call(mi, "edge_divide", {7, 0}, &env), 0xC0000094u);
  // The quotient does not fit: the x86 raises the same divide error.
  EXPECT_EQ(faulting_call(mi, "edge_divide", {static_cast<u32>(INT_MIN), static_cast<u32>(-1)}, &env), 0xC0000095u);
}
