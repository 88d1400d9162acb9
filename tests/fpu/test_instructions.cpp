// The instruction set: stack discipline, operand orders, compares,
// classification, stores and the state image.
#include "fpu_memory.h"
#include "fpu_test_support.h"

namespace {

using Insn = FpuStack;

TEST_F(Insn, AddAndPop) {
  run_bytes({0xD9, 0xE8});
  run_bytes({0xD9, 0xE8});
  u32 second = (fpu_state.top) & 7;
  run_bytes({0xDE, 0xC1});  // FADDP ST(1), ST
  EXPECT_EQ(7u, fpu_state.top & 7);
  EXPECT_EXT(ext(0, 0x4000, ONE), *fpu_st(0));
  EXPECT_EQ(TAG_EMPTY, fpu_state.regs[second].tag);
}

TEST_F(Insn, OperandOrdersOfTheRegisterForms) {
  push(num(3));   // ST(1)
  push(num(12));  // ST(0)
  run_bytes({0xD8, 0xE1});  // FSUB ST, ST(1): 12 - 3
  EXPECT_EXT(num(9), *fpu_st(0));
  run_bytes({0xD8, 0xE9});  // FSUBR ST, ST(1): 3 - 9
  EXPECT_EXT(num(-6), *fpu_st(0));
  run_bytes({0xDC, 0xE9});  // FSUB ST(1), ST: 3 - (-6)
  EXPECT_EXT(num(9), *fpu_st(1));
  run_bytes({0xDC, 0xE1});  // FSUBR ST(1), ST: -6 - 9
  EXPECT_EXT(num(-15), *fpu_st(1));
  run_bytes({0xDC, 0xF9});  // FDIV ST(1), ST: -15 / -6
  EXPECT_EXT(ext(0, 0x4000, 0xA000000000000000ull), *fpu_st(1));
  run_bytes({0xDE, 0xF1});  // FDIVRP ST(1), ST: -6 / 2.5, pop
  EXPECT_EQ(7u, fpu_state.top & 7);
  EXPECT_EQ(1, fpu_st(0)->sign);
  EXPECT_EQ(0x4000, fpu_st(0)->exponent);  // -2.4
}

TEST_F(Insn, MemoryOperandsOfEachRow) {
  u8 m[8];
  push(num(10));
  guest_write32(guest_addr(m), 4);
  Env env = {};
  env.EAX = guest_addr(m);
  run_bytes({0xDA, 0x28}, env);  // FISUBR dword [EAX]: 4 - 10
  EXPECT_EXT(num(-6), *fpu_st(0));
  mem_write16(guest_addr(m), (u16)-3);
  run_bytes({0xDE, 0x08}, env);  // FIMUL word [EAX]
  EXPECT_EXT(num(18), *fpu_st(0));
  mem_write64(guest_addr(m), 0x4000000000000000ull);  // 2.0
  run_bytes({0xDC, 0x38}, env);  // FDIVR qword [EAX]: 2 / 18
  EXPECT_EQ(0x3FFB, fpu_st(0)->exponent);
  guest_write32(guest_addr(m), 0x3F800000u);  // 1.0f
  run_bytes({0xD8, 0x00}, env);                // FADD dword [EAX]
  EXPECT_EQ(0x3FFF, fpu_st(0)->exponent);
}

TEST_F(Insn, PoppingIntoStZeroEmptiesTheResult) {
  push(num(2));
  run_bytes({0xDE, 0xC0});  // FADDP ST(0), ST: 4 is written, then the register is emptied
  ExtValue r = fpu_state.regs[7];
  EXPECT_EQ(TAG_EMPTY, r.tag);
  r.tag = TAG_VALID;
  EXPECT_EXT(num(4), r);
  EXPECT_EQ(0u, fpu_state.top & 7);
  // The same for multiply, and the squares that keep the register.
  push(num(3));
  run_bytes({0xD8, 0xC8});  // FMUL ST, ST(0): 9
  EXPECT_EXT(num(9), *fpu_st(0));
  run_bytes({0xDC, 0xC8});  // FMUL ST(0), ST: 81
  EXPECT_EXT(num(81), *fpu_st(0));
  run_bytes({0xDE, 0xC8});  // FMULP ST(0), ST: 6561 is written, then emptied
  r = fpu_state.regs[7];
  EXPECT_EQ(TAG_EMPTY, r.tag);
  r.tag = TAG_VALID;
  EXPECT_EXT(num(6561), r);
  EXPECT_EQ(0u, fpu_state.top & 7);
}

TEST_F(Insn, NegativeZeroAndClassification) {
  run_bytes({0xD9, 0xEE});
  run_bytes({0xD9, 0xE0});  // FCHS
  EXPECT_EQ(1, fpu_st(0)->sign);
  run_bytes({0xD9, 0xE5});  // FXAM
  expect_cc(SW_C3 | SW_C1);
  *fpu_st(0) = ext_neg_inf;
  run_bytes({0xD9, 0xE5});
  expect_cc(SW_C2 | SW_C0 | SW_C1);
  *fpu_st(0) = ext(0, 0, 5);  // denormal
  run_bytes({0xD9, 0xE5});
  expect_cc(SW_C3 | SW_C2);
  run_bytes({0xDD, 0xC0});  // FFREE ST(0)
  run_bytes({0xD9, 0xE5});
  expect_cc(SW_C3 | SW_C0);
}

TEST_F(Insn, TestAgainstZero) {
  push(num(-4));
  run_bytes({0xD9, 0xE4});
  expect_cc(SW_C0);
  *fpu_st(0) = ext_pos_inf;
  run_bytes({0xD9, 0xE4});
  expect_cc(0);
  *fpu_st(0) = ext_indefinite;
  run_bytes({0xD9, 0xE4});
  expect_cc(SW_C3 | SW_C2 | SW_C0);
  EXPECT_EQ(0x81u, fpu_state.status & 0xFF);
}

TEST_F(Insn, CompareWithNaNs) {
  ExtValue qnan = ext(0, 0x7FFF, 0xC000000000000000ull, TAG_SPECIAL);
  push(qnan);
  push(num(1));
  fpu_state.status = SW_C1;
  run_bytes({0xD8, 0xD1});  // FCOM ST(1)
  expect_cc(SW_C3 | SW_C2 | SW_C0);
  EXPECT_EQ(0x81u, fpu_state.status & 0xFF);
  fpu_state.status = SW_C1;
  run_bytes({0xDD, 0xE1});  // FUCOM ST(1)
  expect_cc(SW_C3 | SW_C2 | SW_C0);
  EXPECT_EQ(0u, fpu_state.status & 0xFF);
  *fpu_st(1) = num(-2);
  run_bytes({0xD8, 0xD9});  // FCOMP ST(1): 1 > -2, pops
  expect_cc(0);
  EXPECT_EQ(7u, fpu_state.top & 7);
}

TEST_F(Insn, CompareAndPopTwiceWithAnEmptySecond) {
  push(num(1));
  run_bytes({0xDE, 0xD9});  // FCOMPP
  expect_cc(SW_C3 | SW_C2 | SW_C0);
  EXPECT_EQ(7u, fpu_state.top & 7);
  EXPECT_EQ(0xC1u, fpu_state.status & 0xFF);
  push(num(1));
  run_bytes({0xDA, 0xE9});  // FUCOMPP: equal
  expect_cc(SW_C3);
  EXPECT_EQ(0u, fpu_state.top & 7);
}

TEST_F(Insn, ExchangeWithAnEmptyRegister) {
  push(num(5));
  run_bytes({0xD9, 0xCB});  // FXCH ST(3)
  EXPECT_EXT(ext_indefinite, *fpu_st(0));
  EXPECT_EXT(num(5), *fpu_st(3));
  EXPECT_EQ(0xC1u, fpu_state.status & 0xFF);
}

TEST_F(Insn, FreeOnAFullStackRaisesNothing) {
  for (int i = 0; i < 8; i++) run_bytes({0xD9, 0xE8});
  run_bytes({0xDD, 0xC0});
  EXPECT_EQ(TAG_EMPTY, fpu_st(0)->tag);
  EXPECT_EQ(0u, fpu_state.status);
}

TEST_F(Insn, IntegerStoresUnderTheControlWord) {
  u8 m[8];
  Env env = {};
  env.ECX = guest_addr(m);
  push(ext(1, 0x4000, 0xE000000000000000ull));  // -3.5
  run_bytes({0xDB, 0x11}, env);                  // FIST dword [ECX]
  EXPECT_EQ((u32)-4, guest_read32(guest_addr(m)));
  fpu_state.control |= RC_CHOP;
  run_bytes({0xDF, 0x19}, env);  // FISTP word [ECX]
  EXPECT_EQ((u16)-3, mem_read16(guest_addr(m)));
  EXPECT_EQ(0u, fpu_state.top & 7);
  Outcome r = run_bytes({0xDB, 0x19}, env);  // FISTP with an empty stack: nothing stored
  EXPECT_EQ(0, r.result);
  EXPECT_EQ((u16)-3, mem_read16(guest_addr(m)));
}

TEST_F(Insn, SaveAndRestoreTheWholeState) {
  u8 image[108];
  push(num(1));
  push(ext_pos_inf);
  push(ext_zero);
  push(ext(1, 0x4321, 0x8123456789ABCDEFull));
  fpu_state.top += 13;  // unreduced top
  fpu_state.regs[2].tag = TAG_EMPTY;
  fpu_state.control = 0x0F7Fu;
  fpu_state.status = SW_C3 | SW_C0 | 0x21;
  FpuState saved = fpu_state;
  Env env = {};
  env.EBX = guest_addr(image);
  run_bytes({0xDD, 0x33}, env);  // FSAVE [EBX]
  EXPECT_EQ(0, memcmp(&saved.regs, &fpu_state.regs, sizeof saved.regs));
  fpu_reset();
  run_bytes({0xDD, 0x23}, env);  // FRSTOR [EBX]
  EXPECT_EQ(saved.control, fpu_state.control);
  EXPECT_EQ((saved.status & ~SW_TOP) | (saved.top & 7) << 11, fpu_state.status);
  EXPECT_EQ(saved.top & 7, fpu_state.top);
  for (int r = 0; r < 8; r++) {
    EXPECT_EQ(saved.regs[r].tag, fpu_state.regs[r].tag) << r;
    if (saved.regs[r].tag != TAG_EMPTY) {
      EXPECT_EXT(saved.regs[r], fpu_state.regs[r]);
    }
  }
  EXPECT_EQ(0x0F7Fu, mem_read16(guest_addr(image)));
}

TEST_F(Insn, StatusWordCarriesTop) {
  u16 sw;
  fpu_state.top = 5;
  Env env = {};
  env.EDX = guest_addr(&sw);
  run_bytes({0xDD, 0x3A}, env);  // FNSTSW [EDX]
  EXPECT_EQ(5u << 11, sw);
  run_bytes({0xDB, 0xE3});  // FNINIT
  EXPECT_EQ(0u, fpu_state.top);
  EXPECT_EQ(FPU_CONTROL_DEFAULT, fpu_state.control);
}

TEST_F(Insn, StackPointerMoves) {
  fpu_state.status = SW_C1;
  run_bytes({0xD9, 0xF6});
  EXPECT_EQ(7u, fpu_state.top & 7);
  EXPECT_EQ(0u, fpu_state.status);
  run_bytes({0xD9, 0xF7});
  EXPECT_EQ(0u, fpu_state.top & 7);
}

}  // namespace
