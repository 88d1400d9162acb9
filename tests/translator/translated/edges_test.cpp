// The conventions of generated code, seen from outside a chunk: flags kept
// across a run, returns inside a chunk, string instructions, host faults
// and divide errors reaching the runtime, locked instructions leaving what
// their plain forms leave.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
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

// A readable, writable page with an inaccessible one after it (both are
// unmapped with munmap(p, 2 * page)), or null.
uint8_t* page_before_a_hole(u32 page) {
  void* p = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  uint8_t* block = static_cast<uint8_t*>(p);
  if (mprotect(block + page, page, PROT_NONE) != 0) return nullptr;
  return block;
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

// Flags a callee leaves for its caller, set in another block than its RET:
// carried in the locals to a return inside the chunk, stored on the ways out.
TEST(ChunkConventions, FlagsReturnedByACalleeReachTheCaller) {
  ModuleInfo* mi = edges();
  ASSERT_NE(mi, nullptr);
  Env env;
  // flag_helper with 3, 4, 5, 6: (CF, ZF) = 10, 01, 10, 00; flag_branch
  // with 3, 5, 7: 10, 01, 00.
  EXPECT_EQ(call_guest(mi, export_address(mi, "edge_flags_returned"), {}, &env), 0x98u << 6 | 0x24u);
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
  uint8_t* block = page_before_a_hole(page);
  ASSERT_NE(block, nullptr);
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

TEST(ChunkConventions, HostFaultInAByteLoopReportsItsPointer) {
  // The loop's pointer is not stored on its jump back: the fault's address
  // gives it, one below the faulting byte (the access is [esi + 1]).
  ModuleInfo* mi = edges();
  const u32 page = 4096;
  uint8_t* block = page_before_a_hole(page);
  ASSERT_NE(block, nullptr);
  Env env;
  EXPECT_EQ(faulting_call(mi, "edge_byte_loop_fault", {addr(block), 3}, &env), 0xC0000005u);
  EXPECT_EQ(env.ESI, addr(block + page - 1));
  EXPECT_EQ(env.EDX, page - 1);
  EXPECT_EQ(env.EIP, export_address(mi, "edge_byte_loop_pass"));
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[page - 1], 3);
  munmap(block, 2 * page);
}

TEST(ChunkConventions, BlockRunAgainAfterAFaultFindsTheFlagsItsSuccessorsRead) {
  // The read faults on a page mapped without access; once readable, the
  // faulting block runs again from the frame the fault left.
  ModuleInfo* mi = edges();
  const u32 page = 4096;
  void* block = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(block, MAP_FAILED);
  Env env;
  ASSERT_EQ(faulting_call(mi, "edge_fault_rerun", {addr(block)}, &env), 0xC0000005u);
  EXPECT_NE(env.EIP, export_address(mi, "edge_fault_rerun"));
  ASSERT_EQ(mprotect(block, page, PROT_READ), 0);
  EXPECT_EQ(env.EFLAGS & 1, 1u) << "the call begins with CF clear; the frame holds the compare's";
  mi->Dispatch(&env, mi);
  EXPECT_EQ(env.EAX, 1u);
  munmap(block, page);
}

TEST(ChunkConventions, CompareDecidesItsBranchAcrossMoves) {
  ModuleInfo* mi = edges();
  const u32 f = export_address(mi, "edge_compare_moves");
  u32 word = 7;
  const u32 p = addr(&word);
  EXPECT_EQ(call_guest(mi, f, {1, 2, p}), 28u + 3u);
  EXPECT_EQ(call_guest(mi, f, {static_cast<u32>(-1), 2, p}), 28u + 1u);
  EXPECT_EQ(call_guest(mi, f, {2, static_cast<u32>(-1), p}), 28u + 2u);
  EXPECT_EQ(call_guest(mi, f, {5, 5, p}), 28u);
  // A compare still decides the block its jump falls into, unless another
  // way leads there.
  const u32 g = export_address(mi, "edge_compare_fall");
  EXPECT_EQ(call_guest(mi, g, {1, 2, 0}), 2u);
  EXPECT_EQ(call_guest(mi, g, {3, 2, 0}), 1u);
  EXPECT_EQ(call_guest(mi, g, {2, 2, 0}), 0u);
  EXPECT_EQ(call_guest(mi, g, {1, 2, 1}), 1u);
  EXPECT_EQ(call_guest(mi, g, {0xFFFFFFFFu, 1, 1}), 0u);
}

TEST(ChunkConventions, DivideErrorsBecomeHostExceptions) {
  ModuleInfo* mi = edges();
  EXPECT_EQ(call_guest(mi, export_address(mi, "edge_divide"), {static_cast<u32>(-7), 2}), static_cast<u32>(-3));
  Env env;
  EXPECT_EQ(faulting_call(mi, "edge_divide", {7, 0}, &env), 0xC0000094u);
  // The quotient does not fit: the x86 raises the same divide error.
  EXPECT_EQ(faulting_call(mi, "edge_divide", {static_cast<u32>(INT_MIN), static_cast<u32>(-1)}, &env), 0xC0000095u);
}

namespace {

// The record of TREDGE's lock_pair functions: one instruction run plain on
// `plain` and with LOCK on `locked`, each from the same registers and flags.
struct LockCase {
  u32 plain, locked;
  u32 eax, edx, eflags;
  u32 plain_eax, plain_edx, plain_eflags;
  u32 locked_eax, locked_edx, locked_eflags;
};

// Runs lock_pair functions on one guest stack: every InitEnv takes a new one.
struct LockRunner {
  ModuleInfo* mi;
  Env env;
  u32 top;
  explicit LockRunner(ModuleInfo* m) : mi(m) {
    prepare_call(&env, mi, 0, {0});
    top = env.ESP;
  }
  void run(const char* name, LockCase* c) {
    c->locked = c->plain;
    const u32 frame[2] = {RETURN_SENTINEL, addr(c)};
    memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(top)), frame, sizeof frame);
    env.ESP = top;
    env.EIP = export_address(mi, name);
    mi->Dispatch(&env, mi);
  }
};

}  // namespace

TEST(ChunkConventions, LockedFormsLeaveWhatThePlainFormsLeave) {
  LockRunner runner(edges());
  static const char* const kNames[] = {
      "edge_lock_xadd32", "edge_lock_xadd16", "edge_lock_xadd8", "edge_lock_cmpxchg32", "edge_lock_cmpxchg16",
      "edge_lock_cmpxchg8", "edge_lock_add16", "edge_lock_sub32", "edge_lock_and8", "edge_lock_or32",
      "edge_lock_xor16", "edge_lock_adc32", "edge_lock_sbb8", "edge_lock_inc16", "edge_lock_dec32",
      "edge_lock_neg32", "edge_lock_neg8", "edge_lock_not16", "edge_lock_bts32", "edge_lock_btr16",
      "edge_lock_btc32"};
  const u32 values[] = {0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0x12345678};
  for (const char* name : kNames) {
    ASSERT_NE(export_address(runner.mi, name), 0u) << name;
    const bool bits = strstr(name, "_bt") != nullptr;  // a register bit offset stays inside the word
    bool same = true;
    for (u32 mem : values)
      for (u32 src : values)
        for (u32 flags : {0x0002u, 0x08D7u})
          for (int equal = 0; equal < 2 && same; equal++) {
            // EAX: the operand or not, in every width (CMPXCHG's two ways).
            LockCase c{mem, 0, equal ? mem : mem ^ 0x10101u, bits ? src & 15 : src, flags, 0, 0, 0, 0, 0, 0};
            runner.run(name, &c);
            same = c.locked == c.plain && c.locked_eax == c.plain_eax && c.locked_edx == c.plain_edx &&
                   c.locked_eflags == c.plain_eflags;
            EXPECT_TRUE(same) << std::hex << name << " operand " << mem << " eax " << c.eax << " edx " << c.edx
                              << " eflags " << flags << ": plain " << c.plain << "/" << c.plain_eax << "/"
                              << c.plain_edx << "/" << c.plain_eflags << ", locked " << c.locked << "/"
                              << c.locked_eax << "/" << c.locked_edx << "/" << c.locked_eflags;
          }
  }
  // What the locked forms leave, in the cases lock-free code relies on.
  LockCase c{5, 0, 5, 9, 0x0002u};  // CMPXCHG that stores: ZF set
  runner.run("edge_lock_cmpxchg32", &c);
  EXPECT_EQ(c.locked, 9u);
  EXPECT_EQ(c.locked_eflags & (FLAG_ZF | FLAG_CF), FLAG_ZF);
  c = {5, 0, 6, 9, 0x0002u};  // one that does not: EAX takes the value found
  runner.run("edge_lock_cmpxchg32", &c);
  EXPECT_EQ(c.locked, 5u);
  EXPECT_EQ(c.locked_eax, 5u);
  EXPECT_EQ(c.locked_eflags & FLAG_ZF, 0u);
  c = {0xFFFFFFFFu, 0, 0, 1, 0x0002u};  // XADD: the old value, and the carry out of the sum
  runner.run("edge_lock_xadd32", &c);
  EXPECT_EQ(c.locked, 0u);
  EXPECT_EQ(c.locked_edx, 0xFFFFFFFFu);
  EXPECT_EQ(c.locked_eflags & (FLAG_ZF | FLAG_CF), FLAG_ZF | FLAG_CF);
  c = {7, 0, 0, 1, 0x0003u};  // ADC with the carry in
  runner.run("edge_lock_adc32", &c);
  EXPECT_EQ(c.locked, 9u);
}

TEST(SystemInstructions, TrapsRaiseTheirExceptionsWithAnExactContext) {
  ModuleInfo* mi = edges();
  ASSERT_NE(mi, nullptr);
  struct {
    u32 kind, code;
    const char* at;
  } traps[] = {
      {0, 0x80000003u, "edge_trap_int3"}, {1, 0xC000001Du, "edge_trap_ud2"},
      {2, 0xC0000096u, "edge_trap_hlt"},  {3, 0xC0000005u, "edge_trap_int21"},
      {4, 0xC0000095u, "edge_trap_into"}, {6, 0x80000004u, "edge_trap_int1"},
      {7, 0x80000003u, "edge_trap_int_3"}, {8, 0xC0000409u, "edge_trap_int29"},
  };
  for (const auto& t : traps) {
    Env env;
    EXPECT_EQ(faulting_call(mi, "edge_trap", {t.kind}, &env), t.code) << t.at;
    // EIP at the trap itself, inside its block, and the registers set
    // before it, in that block and in the one before.
    EXPECT_EQ(env.EIP, export_address(mi, t.at) + 5) << t.at;
    EXPECT_EQ(env.EBX, 0x1234u) << t.at;
    EXPECT_EQ(env.ESI, 0x5678u) << t.at;
    EXPECT_EQ(env.EDI, 0x9ABCu) << t.at;
  }
  // INTO without overflow goes on.
  EXPECT_EQ(call_guest(mi, export_address(mi, "edge_trap"), {5}), 7u);
}

TEST(SystemInstructions, UnmaskedX87ExceptionsRaiseAtTheInstruction) {
  // The exception of an x87 instruction the runtime abandoned, raised at
  // it with the registers set before it: at the end of a run of x87
  // instructions, alone, and a push onto a full stack.
  ModuleInfo* mi = edges();
  ASSERT_NE(mi, nullptr);
  struct {
    u32 kind, code;
    const char* at;
  } cases[] = {{0, 0xC000008Eu, "edge_x87_raise_run"},
               {1, 0xC000008Eu, "edge_x87_raise_alone"},
               {2, 0xC0000092u, "edge_x87_raise_full"}};
  for (const auto& c : cases) {
    Env env;
    EXPECT_EQ(faulting_call(mi, "edge_x87_raise", {c.kind}, &env), c.code) << c.at;
    EXPECT_EQ(env.EIP, export_address(mi, c.at)) << c.at;
    EXPECT_EQ(env.EBX, 0x1234u) << c.at;
    EXPECT_EQ(env.ESI, 0x5678u) << c.at;
    if (c.kind == 1) EXPECT_EQ(env.EDI, 0x9ABCu);
    call_guest(mi, export_address(mi, "edge_x87_raise"), {3});  // FNINIT: the state as loaded
  }
}

TEST(SystemInstructions, ProcessorIdentificationAndTimeStampCounter) {
  ModuleInfo* mi = edges();
  u32 out[8] = {};
  call_guest(mi, export_address(mi, "edge_cpuid"), {addr(out)});
  EXPECT_EQ(out[0], 1u);  // the highest leaf
  char vendor[13] = {};
  memcpy(vendor, &out[1], 12);
  EXPECT_STREQ(vendor, "GenuineIntel");
  EXPECT_EQ(out[4] >> 8 & 0xF, 6u);  // family 6
  // x87, time-stamp counter, CMPXCHG8B and CMOV; no MMX, SSE or SSE2.
  EXPECT_EQ(out[5] & 0x8111u, 0x8111u);
  EXPECT_EQ(out[5] & ((1u << 23) | (1u << 25) | (1u << 26)), 0u);
  EXPECT_NE(out[6], out[7]);  // the counter moves
}

TEST(SystemInstructions, CompareExchangeOfEightBytes) {
  ModuleInfo* mi = edges();
  for (u32 lock : {0u, 1u}) {
    // expected_hi's low bit selects the LOCK form, so the stored value
    // carries it too.
    u32 hi = 0xAAAA0000u | lock;
    u32 p[4] = {0x55555555u, hi, 0, 9};
    // Equal: ECX:EBX stored, ZF set, EDX:EAX unchanged.
    EXPECT_EQ(call_guest(mi, export_address(mi, "edge_cmpxchg8b"), {addr(p), 0x55555555u, hi}), 0x55555555u);
    EXPECT_EQ(p[0], 0x22222222u);
    EXPECT_EQ(p[1], 0x11111111u);
    EXPECT_EQ(p[2], hi);
    EXPECT_EQ(p[3], 1u);
    // Different: memory kept, EDX:EAX loaded from it, ZF clear.
    EXPECT_EQ(call_guest(mi, export_address(mi, "edge_cmpxchg8b"), {addr(p), 0x55555555u, hi}), 0x22222222u);
    EXPECT_EQ(p[0], 0x22222222u);
    EXPECT_EQ(p[1], 0x11111111u);
    EXPECT_EQ(p[2], 0x11111111u);
    EXPECT_EQ(p[3], 0u);
  }
}

TEST(SystemInstructions, AsciiAdjustsSixteenBitStackAndNestedEnter) {
  ModuleInfo* mi = edges();
  // AAM: 0x4F = 79 -> AH 7, AL 9; AAM 16 then AAD 16 gives 0x4F back.
  EXPECT_EQ(call_guest(mi, export_address(mi, "edge_ascii_adjust"), {0x4F}), 0x004F0709u);
  Env env;
  prepare_call(&env, mi, export_address(mi, "edge_push16"), {0xBEEF1234u});
  mi->Dispatch(&env, mi);
  EXPECT_EQ(env.EAX, 0x12340000u);  // the low half back from a 16-bit pop, ESP balanced
  EXPECT_EQ(env.EDX, 0u);           // ENTER 8, 2 stored its own frame pointer
}

TEST(SystemInstructions, SixteenBitAndPrefixedFormsRunAsTheGuestProcessorRunsThem) {
  ModuleInfo* mi = edges();
  u32 out[27] = {};
  call_guest(mi, export_address(mi, "edge_legacy"), {addr(out)});
  EXPECT_EQ(out[0], 3u);            // LOOP with 0x67 counted CX ...
  EXPECT_EQ(out[1], 0x12340000u);   // ... and left ECX's high half
  EXPECT_EQ(out[19], out[18] - 16); // PUSHA (16-bit) pushed eight words
  EXPECT_EQ(out[2] & 0xFFFF, addr(out) & 0xFFFF);  // DI at the lowest address
  EXPECT_EQ(out[2] >> 16, 5u);                       // SI
  EXPECT_EQ(out[3] & 0xFFFF, 6u);                    // BP
  EXPECT_EQ(out[3] >> 16, out[18] & 0xFFFF);         // SP before the pushes
  EXPECT_EQ(out[4], 0x00030004u);                    // BX, DX
  EXPECT_EQ(out[5], 0x00010002u);                    // CX, AX
  // POPA (16-bit) restores the low halves only and skips SP.
  const u32 popped[6] = {0xAAAA0001u, 0xBBBB0002u, 0xCCCC0003u, 0xDDDD0004u, 0xEEEE0005u, 0x99990006u};
  for (int i = 0; i < 6; i++) EXPECT_EQ(out[6 + i], popped[i]) << i;
  EXPECT_EQ(out[12], 0x0247u);                       // PUSHF: ZF PF CF, bit 1, IF
  EXPECT_EQ(out[13] & 0xFFFF, 0x1301u);              // POPF then LAHF: AF CF (AH), OF (AL)
  EXPECT_EQ(out[14] & 0xFFFF, 0x0033u);              // SMSW: PE MP ET NE
  EXPECT_EQ(out[15] & 0xFFFF, 0x03FFu);              // SGDT: limit ...
  EXPECT_EQ((out[15] >> 16) | (out[16] & 0xFFFF) << 16, 0x8003F000u);  // ... and a kernel base
  EXPECT_EQ(out[17], 0x40u);        // REP BSF is BSF (4), through hints and a REP RET
  EXPECT_EQ(out[20] & 0xFFFF, 0x7777u);  // LEAVE (16-bit) popped a word into BP ...
  EXPECT_EQ(out[21], 0u);                // ... and only a word
  EXPECT_EQ(out[22] & 0xFFFF, 0x07FFu);  // SIDT: 256 gates ...
  EXPECT_EQ((out[22] >> 16) | (out[23] & 0xFFFF) << 16, 0x8003F400u);  // ... in kernel space
  EXPECT_EQ(out[24] & 0xFFFF, 0u);       // SLDT: no LDT
  EXPECT_EQ(out[25], 0x28u);             // STR, zero-extended in a register
  EXPECT_EQ((out[26] >> 8) & 0xFF, 0x03u);  // FCOMI: CF, bit 1; AF cleared as the processor does
  // A 16-bit address is the low half of the registers: below 64K, a fault,
  // though EBX itself points at readable memory.
  Env env;
  EXPECT_EQ(faulting_call(mi, "edge_fault16", {addr(out)}, &env), 0xC0000005u);
  // So do the string instructions and XLAT; with REP and CX zero they
  // touch nothing, whatever ECX's high half holds.
  EXPECT_EQ(call_guest(mi, export_address(mi, "edge_string16"), {addr(out)}), 0x50000u);
  for (u32 k = 0; k < 3; k++) EXPECT_EQ(faulting_call(mi, "edge_fault16_string", {addr(out), k}, &env), 0xC0000005u) << k;
}

TEST(ChunkConventions, FunctionsNamedOnlyByAConstructorListOrAPushedAddressRun) {
  ModuleInfo* mi = edges();
  EXPECT_EQ(call_guest(mi, export_address(mi, "edge_ctor_list"), {}), 7u);
}

// The operand-size prefix cuts EIP to 16 bits: RET, CALL and JMP go below
// 64K, where nothing is translated, and the runtime reports the address.
TEST(SystemInstructions, SixteenBitTransfersCutEipToSixteenBits) {
  ModuleInfo* mi = edges();
  const std::string log = std::string(getenv("DEVICE_ROOT")) + "/trevik.txt";
  auto log_size = [&] {
    std::ifstream f(log, std::ios::binary | std::ios::ate);
    return f ? static_cast<size_t>(f.tellg()) : size_t{0};
  };
  const u32 next = (export_address(mi, "edge_call16_rel") + 4) & 0xFFFF;
  struct {
    const char* name;
    u32 k, address;
  } cases[] = {{"edge_flow16", 0, 0x1234}, {"edge_flow16", 1, 0x2345}, {"edge_flow16", 2, 0x2345},
               {"edge_call16_rel", 0, next}};
  for (const auto& c : cases) {
    const size_t before = log_size();
    EXPECT_EXIT(call_guest(mi, export_address(mi, c.name), {c.k}), testing::ExitedWithCode(255), "");
    std::ifstream f(log, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    char want[64];
    snprintf(want, sizeof want, "Invalid address %08X called", c.address);
    EXPECT_NE(text.find(want, before), std::string::npos) << want;
  }
}

TEST(SystemInstructions, FloatingPointConditionalMovesFollowTheFlags) {
  ModuleInfo* mi = edges();
  const u32 CF = 0x01, PF = 0x04, ZF = 0x40;
  for (u32 f : {0u, CF, ZF, PF, CF | ZF, CF | ZF | PF}) {
    const bool b = f & CF, e = f & ZF, u = f & PF;
    u32 want = (b ? 1u : 0u) | (e ? 2u : 0u) | (b || e ? 4u : 0u) | (u ? 8u : 0u) | (!b ? 16u : 0u) |
               (!e ? 32u : 0u) | (!b && !e ? 64u : 0u) | (!u ? 128u : 0u);
    EXPECT_EQ(call_guest(mi, export_address(mi, "edge_fcmov"), {f << 8}), want) << std::hex << f;
  }
}
