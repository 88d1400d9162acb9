// The whole-word routines against the step-by-step reference: identical
// records (sign, tag, exponent, significand) and identical exception flags
// for random operands over the whole exponent range.
#include "fpu_test_support.h"
#include "fpu_memory.h"
#include "ref_arith.h"

namespace {

typedef void (*BinaryOp)(const ExtValue*, const ExtValue*, ExtValue*) EXT_CALL;

void check_binary(const char* name, BinaryOp fast, BinaryOp ref, int cases, u64 seed) {
  Rng rng(seed);
  int failures = 0;
  for (int i = 0; i < cases && failures < 10; i++) {
    int center = 1 + (int)rng.below(0x7FFE);
    ExtValue a = random_ext(rng, center), b = random_ext(rng, center);
    ExtValue rf, rr;
    fpu_state.status = 0;
    fast(&a, &b, &rf);
    u32 status_fast = fpu_state.status;
    fpu_state.status = 0;
    ref(&a, &b, &rr);
    if (!same_bits(rf, rr) || status_fast != fpu_state.status) {
      failures++;
      ADD_FAILURE() << name << " " << show(a) << " " << show(b) << "\n fast " << show(rf) << " status "
                    << status_fast << "\n  ref " << show(rr) << " status " << fpu_state.status;
    }
  }
}

class Identity : public Fpu {};

TEST_F(Identity, AdditionAndSubtraction) {
  check_binary("add", ext_add, ref_add, 40000, 1);
  check_binary("sub", ext_sub, ref_sub, 40000, 2);
}

// Operands that nearly cancel (equal exponents or one apart, significands
// sharing their leading bits), near exponent 0, where the normalisation
// stops, and at the top of the range, where a sum becomes an infinity.
TEST_F(Identity, SumsOfCloseOperands) {
  Rng rng(21);
  for (int i = 0; i < 40000; i++) {
    const int e = i % 4 == 0 ? 1 + (int)rng.below(70) : i % 4 == 1 ? 0x7FFE - (int)rng.below(2) : 0x3FFF;
    const u64 m = rng.next() | 1ull << 63, near = (m ^ rng.next() >> (1 + rng.below(63))) | 1ull << 63;
    const ExtValue a = ext((int)(rng.next() & 1), e, m), b = ext((int)(rng.next() & 1), e - (int)rng.below(2), near);
    for (const ExtValue* x : {&a, &b}) {
      const ExtValue* y = x == &a ? &b : &a;
      ExtValue rf, rr;
      ext_add(x, y, &rf);
      ref_add(x, y, &rr);
      ASSERT_TRUE(same_bits(rf, rr)) << show(*x) << " + " << show(*y) << "\n fast " << show(rf) << "\n  ref " << show(rr);
      ext_sub(x, y, &rf);
      ref_sub(x, y, &rr);
      ASSERT_TRUE(same_bits(rf, rr)) << show(*x) << " - " << show(*y) << "\n fast " << show(rf) << "\n  ref " << show(rr);
    }
  }
}

TEST_F(Identity, MultiplicationAndDivision) {
  check_binary("mul", ext_mul, ref_mul, 40000, 3);
  check_binary("div", ext_div, ref_div, 40000, 4);
}

// The quotient's leading steps are one integer division up to the
// divisor's lowest set bit t (32 and above, 8 to 31, below 8 take three
// different paths): every t, and dividends below, at and above the divisor.
TEST_F(Identity, DivisionForEveryLowestDivisorBit) {
  Rng rng(12);
  for (int t = 0; t < 64; t++) {
    for (int i = 0; i < 300; i++) {
      u64 mb = ((rng.next() | 1ull << 63) >> t << t) | 1ull << t;
      u64 ma = rng.next() | 1ull << 63;
      if (i % 7 == 0) ma = mb - (i & 8 ? 1 : 0);
      if (i % 11 == 0) ma &= ~0ull << rng.below(64);
      ExtValue a = ext(i & 1, 0x3FFF + (int)rng.below(64) - 32, ma), b = ext(i & 2 ? 1 : 0, 0x3FFF, mb), rf, rr;
      ext_div(&a, &b, &rf);
      ref_div(&a, &b, &rr);
      ASSERT_TRUE(same_bits(rf, rr)) << "t " << t << " " << show(a) << " / " << show(b) << "\n fast " << show(rf)
                                     << "\n  ref " << show(rr);
    }
  }
}

// The instructions compute add, subtract and multiply through inline
// paths of their own (two `Valid` registers, the common product), so every
// register form, with and without pop, and the double-operand forms run
// through Emu87 against the reference. Exponents cluster where products
// leave the range at either end, as well as around 1.
TEST_F(Identity, ArithmeticInstructionsMatchTheReference) {
  struct Form {
    u8 opcode, reg;
    BinaryOp ref;
    bool swap;  // the reference takes (ST(i), ST(0))
  };
  const Form forms[] = {
      {0xD8, 0, ref_add, false}, {0xD8, 1, ref_mul, false}, {0xD8, 4, ref_sub, false}, {0xD8, 5, ref_sub, true},
      {0xDC, 0, ref_add, false}, {0xDC, 1, ref_mul, true},  {0xDC, 4, ref_sub, false}, {0xDC, 5, ref_sub, true},
      {0xDE, 0, ref_add, false}, {0xDE, 1, ref_mul, true},  {0xDE, 4, ref_sub, false}, {0xDE, 5, ref_sub, true},
  };
  const int centers[4] = {0x3FFF, 0x1FFF, 0x5FFE, -1};
  Rng rng(11);
  u8 memory[8];
  for (int i = 0; i < 6000; i++) {
    int center = centers[i % 4];
    ExtValue a = random_ext(rng, center), b = random_ext(rng, center);
    for (const Form& f : forms) {
      fpu_reset();
      fpu_state.top = 6;
      fpu_state.regs[7] = b;  // ST(1)
      fpu_state.regs[6] = a;  // ST(0)
      run_bytes({f.opcode, (u8)(0xC0 | f.reg << 3 | 1)});
      u32 status = fpu_state.status;
      const ExtValue& got = f.opcode == 0xD8 ? fpu_state.regs[6] : fpu_state.regs[7];
      ExtValue want;
      fpu_state.status = 0;
      if (f.swap) f.ref(&b, &a, &want);
      else f.ref(&a, &b, &want);
      ASSERT_TRUE(same_bits(got, want) && status == fpu_state.status)
          << std::hex << (int)f.opcode << " /" << (int)f.reg << " " << show(a) << " " << show(b) << "\n got "
          << show(got) << "\n want " << show(want);
      ASSERT_EQ(f.opcode == 0xDE ? 7u : 6u, fpu_state.top);
    }
    // FADD, FMUL, FSUB and FSUBR with a double operand (DC /0, /1, /4, /5);
    // every third one a double close to ST(0) or equal to it, so that the
    // difference cancels most or all of the significand.
    u64 word = rng.next();
    if (i % 3 == 0) word = (word & 0x800FFFFFFFFFFFFFull) | (u64)(0x3FF + rng.below(8) - 4) << 52;
    mem_write64(guest_addr(memory), word);
    ExtValue m;
    load_real8(guest_addr(memory), &m);
    if (i % 3 == 0) {
      a = m;
      a.sign = (int8_t)rng.below(2);
      if (i % 6 == 0) ext_set_mant(&a, ext_mant(&a) ^ ((rng.next() >> (1 + rng.below(63))) & ~(1ull << 63)));
    }
    for (u8 reg : {0, 1, 4, 5}) {
      fpu_reset();
      fpu_state.top = 7;
      fpu_state.regs[7] = a;
      Env env = {};
      env.ESI = guest_addr(memory);
      run_bytes({0xDC, (u8)(reg << 3 | 6)}, env);
      u32 status = fpu_state.status;
      ExtValue want;
      fpu_state.status = 0;
      if (reg == 0) ref_add(&m, &a, &want);
      else if (reg == 1) ref_mul(&a, &m, &want);
      else if (reg == 4) ref_sub(&a, &m, &want);
      else ref_sub(&m, &a, &want);
      ASSERT_TRUE(same_bits(fpu_state.regs[7], want) && status == fpu_state.status)
          << "DC /" << (int)reg << " " << show(a) << " " << show(m) << "\n got " << show(fpu_state.regs[7])
          << "\n want " << show(want);
    }
  }
}

// FLD, FST and FSTP with a double operand, and FST and FSTP with a single
// one, convert inline in their common cases: through Emu87 in every
// rounding mode, against the reference store and the general load, with a
// full stack and an empty ST(0) as well.
TEST_F(Identity, DoubleLoadsAndStoresThroughTheInstructions) {
  const u32 modes[4] = {RC_NEAREST, RC_DOWN, RC_UP, RC_CHOP};
  Rng rng(12);
  u8 memory[8];
  Env env = {};
  env.ESI = guest_addr(memory);
  for (int i = 0; i < 8000; i++) {
    const int centers[6] = {16383 - 1022, 16383 + 1023, 16383, 16383 - 126, 16383 + 127, 16383};
    ExtValue v = random_ext(rng, i % 5 == 0 ? -1 : centers[i % 6]);
    if (i % 2) ext_set_mant(&v, ext_mant(&v) & ~0x7FFull);  // exact in a double
    if (i % 7 == 3) ext_set_mant(&v, ext_mant(&v) | 0xFFFFFF0000000000ull);  // carries into the next binade
    if (i % 7 == 5) ext_set_mant(&v, ext_mant(&v) | 0xFFFFFFFFFFFFF800ull);
    if (i % 8 == 4) ext_set_mant(&v, (ext_mant(&v) & ~0xFF00000000ull) | 0x8000000000ull);  // a single's half or more
    u32 rc = modes[i % 4];
    for (u8 modrm : {0x16, 0x1E}) {  // FST, FSTP qword [ESI], and dword [ESI]
      for (u8 opcode : {0xDD, 0xD9}) {
        fpu_reset();
        fpu_state.control = FPU_CONTROL_DEFAULT | rc;
        fpu_state.top = 7;
        fpu_state.regs[7] = v;
        Outcome o = run_bytes({opcode, modrm}, env);
        ASSERT_EQ(2u, o.advanced);
        if (opcode == 0xDD)
          ASSERT_EQ(mem_read64(guest_addr(memory)), ref_store_real8(&v, rc)) << show(v) << " mode " << rc;
        else
          ASSERT_EQ(guest_read32(guest_addr(memory)), ref_store_real4(&v, rc)) << show(v) << " mode " << rc;
        ASSERT_EQ(modrm == 0x1E ? 0u : 7u, fpu_state.top & 7);
      }
    }
    u64 bits = rng.next();
    if (i % 4 == 0) bits &= 0x800FFFFFFFFFFFFFull;  // zeros and denormals
    if (i % 4 == 1) bits |= 0x7FF0000000000000ull;  // infinities and NaNs
    mem_write64(guest_addr(memory), bits);
    ExtValue want;
    load_real8(guest_addr(memory), &want);
    fpu_reset();
    run_bytes({0xDD, 0x06}, env);  // FLD qword [ESI]
    ASSERT_TRUE(same_bits(*fpu_st(0), want)) << std::hex << bits << " " << show(*fpu_st(0));
  }
  // Full stack: the masked overflow pushes the indefinite. Empty ST(0):
  // the masked underflow, and the store does not happen.
  fpu_reset();
  for (int k = 0; k < 8; k++) run_bytes({0xD9, 0xE8});
  Outcome o = run_bytes({0xDD, 0x06}, env);
  EXPECT_EQ(2u, o.advanced);
  EXPECT_TRUE(same_bits(ext_indefinite, *fpu_st(0)));
  EXPECT_EQ(FPU_EX_STACK_OVERFLOW, fpu_state.status & 0x2FF);
  fpu_reset();
  mem_write64(guest_addr(memory), 0x0123456789ABCDEFull);
  o = run_bytes({0xDD, 0x1E}, env);
  EXPECT_EQ(2u, o.advanced);
  EXPECT_EQ(0x0123456789ABCDEFull, mem_read64(guest_addr(memory)));
  EXPECT_EQ(0u, fpu_state.top);
  EXPECT_EQ(FPU_EX_STACK_UNDERFLOW, fpu_state.status & 0x2FF);
}

TEST_F(Identity, ComparisonNormalisesLikeTheReference) {
  Rng rng(5);
  for (int i = 0; i < 20000; i++) {
    int center = 1 + (int)rng.below(0x7FFE);
    ExtValue a = random_ext(rng, center), b = random_ext(rng, center);
    if (rng.below(8) == 0) b = a;
    ExtValue fa = a, fb = b, ra = a, rb = b;
    int f = ext_compare(&fa, &fb), r = ref_compare(&ra, &rb);
    ASSERT_EQ(f, r) << show(a) << " " << show(b);
    ASSERT_TRUE(same_bits(fa, ra) && same_bits(fb, rb));
  }
}

TEST_F(Identity, NormalisationOfUnnormals) {
  Rng rng(6);
  for (int i = 0; i < 20000; i++) {
    int e = (int)rng.below(0x10000) - 0x8000;
    if (e < -16000) e = -16000;
    ExtValue v = ext((int)(rng.next() & 1), e, rng.next() >> rng.below(64));
    ExtValue f = v, r = v;
    ext_normalise(&f);
    ref_normalise(&r);
    ASSERT_TRUE(same_bits(f, r)) << show(v);
  }
}

// Integer rounding: the reference shifts one bit per step (up to about
// 16,400 steps for tiny values), so the tiny cases are fewer.
TEST_F(Identity, IntegerRoundingInEveryMode) {
  Rng rng(7);
  const u32 modes[4] = {RC_NEAREST, RC_DOWN, RC_UP, RC_CHOP};
  for (int i = 0; i < 6000; i++) {
    ExtValue v = random_ext(rng, i % 8 == 0 ? -1 : 16383 + (int)rng.below(80));
    for (u32 rc : modes) {
      ExtValue f = v, r = v;
      ext_round_int_mode(&f, rc);
      ref_round_int_mode(&r, rc);
      ASSERT_TRUE(same_bits(f, r)) << show(v) << " mode " << rc;
    }
  }
}

TEST_F(Identity, IntegerLoads) {
  Rng rng(8);
  for (int i = 0; i < 20000; i++) {
    i32 v = (i32)(rng.next() >> rng.below(64));
    if (i == 0) v = INT32_MIN;
    ExtValue f, r;
    ext_from_i32(v, &f);
    ref_from_i32(v, &r);
    ASSERT_TRUE(same_bits(f, r)) << v;
    u64 m = rng.next() >> rng.below(64);
    ext_from_magnitude(m, i & 1, &f);
    ref_from_magnitude(m, i & 1, &r);
    ASSERT_TRUE(same_bits(f, r)) << m;
  }
}

TEST_F(Identity, SquareRootDigits) {
  Rng rng(9);
  for (int i = 0; i < 20000; i++) {
    u64 m = rng.next() | (1ull << 62);
    if (i & 1) m |= 1ull << 63;
    if (i % 3 == 0) m &= ~0ull << rng.below(64);  // exact and near-exact squares
    if (i % 5 == 0) m >>= rng.below(64);         // unnormal significands
    ASSERT_EQ(ext_sqrt_mant(m), ref_sqrt_mant(m)) << std::hex << m;
  }
  // Upper words at and next to the squares of every 16-bit root class:
  // the first root is found from the leading ten bits by one Newton step.
  for (u64 k = 0x8000; k <= 0xFFFF; k += 13) {
    for (u64 upper : {k * k, k * k - 1, k * k + 1}) {
      if (upper >> 32) continue;
      u64 m = upper << 32 | (rng.next() >> (k & 63));
      ASSERT_EQ(ext_sqrt_mant(m), ref_sqrt_mant(m)) << std::hex << m;
    }
  }
  // Squares and their neighbours, where the root's last correction decides.
  for (u64 root : {0x80000000ull, 0xB504F333ull, 0xFFFFFFFFull, 0x8000000000000000ull >> 33, 3ull}) {
    u64 square = root * root;
    for (u64 m : {square - 1, square, square + 1, square << 2, (square << 2) - 1})
      ASSERT_EQ(ext_sqrt_mant(m), ref_sqrt_mant(m)) << std::hex << m;
  }
  EXPECT_EQ(ext_sqrt_mant(0), 0u);
  EXPECT_EQ(ext_sqrt_mant(1), 1ull << 32);
  EXPECT_EQ(ext_sqrt_mant(0x8000000000000000ull), 0xB504F333F9DE6484ull);
  EXPECT_EQ(ext_sqrt_mant(0x4000000000000000ull), 0x8000000000000000ull);
  EXPECT_EQ(ext_sqrt_mant(~0ull), ~0ull);
}

// FSQRT of positive values through the instruction against the literal
// steps over the reference root: odd and even exponents, negative ones
// (products below the range) and unnormals.
TEST_F(Identity, SquareRootThroughTheInstruction) {
  Rng rng(31);
  for (int i = 0; i < 20000; i++) {
    ExtValue v = random_ext(rng, i % 2 ? 0x3FFF : 40);
    if (v.tag != TAG_VALID) continue;
    v.sign = 0;
    ExtValue want = v;
    int e = want.exponent;
    u64 m = ext_mant(&want);
    if (e & 1) {
      m >>= 1;
      e++;
    }
    ext_set_mant(&want, ref_sqrt_mant(m));
    want.exponent = (int16_t)((e - 0x4000) / 2 + EXT_BIAS);
    ref_normalise(&want);
    fpu_reset();
    fpu_state.top = 7;
    fpu_state.regs[7] = v;
    run_bytes({0xD9, 0xFA});
    ASSERT_TRUE(same_bits(fpu_state.regs[7], want)) << show(v) << "\n got " << show(fpu_state.regs[7]) << "\n want "
                                                    << show(want);
  }
}

TEST_F(Identity, RealStoresInEveryMode) {
  Rng rng(10);
  const u32 modes[4] = {RC_NEAREST, RC_DOWN, RC_UP, RC_CHOP};
  u8 out[8];
  for (int i = 0; i < 20000; i++) {
    int center = i % 2 ? 16383 - 126 : 16383 - 1022;  // around the denormal boundaries
    if (i % 5 == 0) center = 16383 + (i % 10 ? 127 : 1023);
    ExtValue v = random_ext(rng, i % 7 == 0 ? -1 : center);
    for (u32 rc : modes) {
      fpu_state.control = FPU_CONTROL_DEFAULT | rc;
      store_real4(&v, guest_addr(out));
      ASSERT_EQ(guest_read32(guest_addr(out)), ref_store_real4(&v, rc)) << show(v) << " mode " << rc;
      store_real8(&v, guest_addr(out));
      ASSERT_EQ(mem_read64(guest_addr(out)), ref_store_real8(&v, rc)) << show(v) << " mode " << rc;
    }
  }
}

}  // namespace
