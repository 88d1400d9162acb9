// The direct entries of translated code against Emu87 on the same
// instruction bytes: every cell of the main table, its register forms and a
// memory form, over stacks of random values (empty, full, special
// registers) with every exception masked and with some unmasked. Results,
// FPU state, memory operand, EAX and abandonment must all agree.
#include "fpu_direct.h"
#include "fpu_test_support.h"

namespace {

struct Snapshot {
  FpuState state;
  u8 memory[112];
  int result;
  u32 eax;
  u32 eip_moved;  // Emu87: EIP advanced past the instruction
};

// The memory operand: random bytes, large enough for the state image of
// FSAVE and FRSTOR; its first eight often hold a double near 1.
struct Start {
  FpuState state;
  u8 memory[112];
};

Start random_start(Rng& rng, u32 control) {
  Start s;
  fpu_reset();
  s.state = fpu_state;
  s.state.control = control;
  s.state.top = rng.below(8);
  for (int r = 0; r < 8; r++) {
    s.state.regs[r] = random_ext(rng, 0x3FFF);
    if (rng.below(5) == 0) s.state.regs[r].tag = TAG_EMPTY;
  }
  u64 w = rng.next();
  if (rng.below(3) == 0) w = (w & 0x800FFFFFFFFFFFFFull) | (u64)(0x3F0 + rng.below(32)) << 52;  // near 1
  memcpy(s.memory, &w, 8);
  for (size_t i = 8; i < sizeof s.memory; i++) s.memory[i] = (u8)rng.next();
  return s;
}

// Through Emu87: the bytes opcode, ModRM and (memory form, mod 2 rm 3:
// [EBX + disp32]) a displacement that makes the address the operand.
Snapshot through_emu87(const Start& s, u32 opcode, u32 modrm) {
  Snapshot out;
  fpu_state = s.state;
  memcpy(out.memory, s.memory, sizeof out.memory);
  u8 code[8] = {(u8)opcode, (u8)modrm, 0, 0, 0, 0, 0x90, 0x90};
  Env env = {};
  env.EAX = 0x12345678;
  env.EBX = guest_addr(out.memory) - 0x100;
  u32 disp = 0x100;
  memcpy(code + 2, &disp, 4);
  env.EIP = guest_addr(code);
  out.result = Emu87(&env);
  out.eax = env.EAX;
  out.eip_moved = env.EIP != guest_addr(code);
  out.state = fpu_state;
  return out;
}

// Through the entry the translator names for the same instruction.
Snapshot through_direct(const Start& s, u32 opcode, u32 modrm) {
  Snapshot out;
  fpu_state = s.state;
  memcpy(out.memory, s.memory, sizeof out.memory);
  u32 address = guest_addr(out.memory);
  u32 reg = (modrm >> 3) & 7, rm = modrm & 7;
  bool memory = modrm < 0xC0;
  Env env = {};
  env.EAX = 0x12345678;
  int r = -1;
  // The cells with entries of their own, as the translator chooses them.
#define M(row, rg) \
  if (memory && opcode == 0x##row && reg == rg) r = X87_##row##_##rg##_m(address, X87S);
#define R(row, rg) \
  if (!memory && opcode == 0x##row && reg == rg) r = X87_##row##_##rg##_r(rm, X87S);
  X87_ARITH_REGS(M, D8)
  X87_ARITH_REGS(M, DC)
  X87_ARITH_REGS(R, D8)
  X87_ARITH_REGS(R, DC)
  X87_ARITH_REGS(R, DE)
  M(D9, 0) M(D9, 2) M(D9, 3) M(DD, 0) M(DD, 2) M(DD, 3)
  R(D9, 0) R(D9, 1) R(DD, 2) R(DD, 3)
  M(D8, 2) M(D8, 3) M(DC, 2) M(DC, 3) R(D8, 2) R(D8, 3) R(DD, 4) R(DD, 5)
  M(DB, 0) M(DB, 2) M(DB, 3) M(DF, 0) M(DF, 2) M(DF, 3) M(D9, 5) M(D9, 7)
  if (rm == 1) {
    R(DE, 3) R(DA, 5)
  }
  if (!memory && opcode == 0xD9 && ((reg == 4 && (rm <= 1 || rm == 4 || rm == 5)) || (reg == 5 && rm <= 6) || (reg == 7 && rm == 2)))
    r = reg == 4 ? X87_D9_4_r(rm, X87S) : reg == 5 ? X87_D9_5_r(rm, X87S) : X87_D9_7_r(rm, X87S);
#undef M
#undef R
  if (r < 0) r = X87Exec(0x401000, opcode << 8 | modrm, memory ? address : 0, &env);
  out.result = r;
  out.eax = env.EAX;
  out.eip_moved = r == 0;
  out.state = fpu_state;
  return out;
}

void expect_same(const Snapshot& a, const Snapshot& b, u32 opcode, u32 modrm, u32 control) {
  SCOPED_TRACE(testing::Message() << std::hex << "opcode " << opcode << " modrm " << modrm << " control "
                                  << control);
  EXPECT_EQ(a.result, b.result);
  EXPECT_EQ(a.eip_moved, b.eip_moved);
  EXPECT_EQ(a.eax, b.eax);
  EXPECT_EQ(memcmp(a.memory, b.memory, sizeof a.memory), 0);
  EXPECT_EQ(a.state.control, b.state.control);
  EXPECT_EQ(a.state.status, b.state.status);
  EXPECT_EQ(a.state.top & 7, b.state.top & 7);
  for (int r = 0; r < 8; r++) EXPECT_EXT(a.state.regs[r], b.state.regs[r]);
}

class Direct : public Fpu {};

TEST_F(Direct, EveryCellAgreesWithEmu87) {
  Rng rng(87);
  // All masked; invalid and stack faults unmasked; every exception unmasked.
  for (u32 control : {0x037Fu, 0x0F7Fu, 0x037Eu, 0x0340u}) {
    for (u32 opcode = 0xD8; opcode <= 0xDF; opcode++) {
      for (u32 reg = 0; reg < 8; reg++) {
        for (u32 modrm = reg << 3; modrm < 0x100; modrm += 0x40) {
          if (modrm < 0xC0 && modrm >> 6 != 2) continue;
          for (u32 rm = 0; rm < (modrm >= 0xC0 ? 8u : 1u); rm++) {
            u32 m = modrm < 0xC0 ? (modrm & 0x38) | 0x83 : modrm | rm;
            for (int k = 0; k < 6; k++) {
              Start s = random_start(rng, control);
              expect_same(through_emu87(s, opcode, m), through_direct(s, opcode, m), opcode, m, control);
            }
          }
        }
      }
    }
  }
}

// FIST and FISTP m32 round inline for values from 1 up to 2^31: every
// rounding mode, both signs, exponents up to and past the range's end
// (2^31 itself fits only when negative), against Emu87's general rounding.
TEST_F(Direct, IntegerStoresRoundInEveryMode) {
  Rng rng(32);
  for (u32 rc = 0; rc < 4; rc++) {
    for (int k = 0; k < 1500; k++) {
      Start s = random_start(rng, 0x037F | rc << 10);
      ExtValue& v = s.state.regs[s.state.top & 7];
      v = random_ext(rng, 0x3FFE + (int)rng.below(35));
      if (k % 8 == 0) v = ext(k & 1, 0x3FFF + 30, ~0ull >> (k & 8 ? 0 : 33));  // rounds up to 2^31 or not
      for (u32 modrm : {0x93u, 0x9Bu})
        expect_same(through_emu87(s, 0xDB, modrm), through_direct(s, 0xDB, modrm), 0xDB, modrm, s.state.control);
    }
  }
}

// An entry's common case must not complete an instruction that an
// unmasked exception abandons: a double store out of range, unmasked
// underflow (the instruction entry of Emu87 itself stored it).
TEST_F(Direct, UnmaskedUnderflowAbandonsTheDoubleStore) {
  Rng rng(1);
  Start s = random_start(rng, 0x036F);  // underflow unmasked
  s.state.top = 0;
  s.state.regs[0] = ext(0, 0x3FFF - 2000, 0xC000000000000000ull);  // 2^-2000: below the double range
  for (u32 modrm : {0x93u, 0x9Bu}) {  // FST, FSTP m64
    Snapshot a = through_emu87(s, 0xDD, modrm), b = through_direct(s, 0xDD, modrm);
    EXPECT_EQ(a.result, 1);
    EXPECT_FALSE(a.eip_moved);
    EXPECT_NE(a.state.status & 0x10, 0u);
    expect_same(a, b, 0xDD, modrm, s.state.control);
  }
}

// FCOMI, FUCOMI and their pops answer as FCOM or FUCOM ST(i) (and FSTP
// ST(0)) through Emu87 do: the same exceptions and abandonment, ZF, PF and
// CF from C3, C2 and C0 (unordered where the compare gives no codes, an
// empty ST(0)), and C0, C2 and C3 left as they were.
TEST_F(Direct, PentiumProComparesAnswerAsTheCompareCells) {
  Rng rng(686);
  struct Form {
    decltype(&X87_DB_6_r) entry;
    u32 opcode, modrm;  // the 387 compare
    bool pop;
  };
  const Form forms[] = {{X87_DB_6_r, 0xD8, 0xD0, false},
                        {X87_DB_5_r, 0xDD, 0xE0, false},
                        {X87_DF_6_r, 0xD8, 0xD0, true},
                        {X87_DF_5_r, 0xDD, 0xE0, true}};
  for (u32 control : {0x037Fu, 0x037Eu}) {
    for (const Form& f : forms) {
      for (u32 i = 0; i < 8; i++) {
        for (int k = 0; k < 40; k++) {
          Start s = random_start(rng, control);
          s.state.status = rng.next() & 0x4700;  // some condition codes and C1
          Start unordered = s;
          unordered.state.status |= 0x4500;
          Snapshot want = through_emu87(unordered, f.opcode, f.modrm | i);
          if (f.pop && want.result == 0) {
            fpu_state = want.state;
            X87_DD_3_r(0, X87S);
            want.state = fpu_state;
          }
          fpu_state = s.state;
          u32 flags = f.entry(i, X87S);
          SCOPED_TRACE(testing::Message() << std::hex << "form " << f.opcode << " " << f.modrm << " i " << i
                                          << " control " << control);
          if (want.result) {
            EXPECT_EQ(flags, X87_ABANDONED);
          } else {
            const u32 sw = want.state.status;
            EXPECT_EQ(flags, (sw & 0x4000 ? 0x40u : 0) | (sw & 0x400 ? 0x04u : 0) | (sw & 0x100 ? 0x01u : 0));
          }
          EXPECT_EQ(fpu_state.status, (want.state.status & ~0x4500u) | (s.state.status & 0x4500u));
          EXPECT_EQ(fpu_state.top & 7, want.state.top & 7);
          for (int r = 0; r < 8; r++) EXPECT_EXT(fpu_state.regs[r], want.state.regs[r]);
        }
      }
    }
  }
}

}  // namespace
