// Edge cases of the extended-precision routines, grouped by operation.
#include "fpu_memory.h"
#include "fpu_test_support.h"

namespace {

class Arith : public Fpu {};

TEST_F(Arith, AdditionAlignmentLimits) {
  ExtValue one = ext_one, tiny64 = ext(0, 0x3FFF - 64, ONE), tiny65 = ext(0, 0x3FFF - 65, ONE), r;
  ext_add(&one, &tiny64, &r);
  EXPECT_EXT(ext_one, r);
  ext_add(&tiny65, &one, &r);
  EXPECT_EXT(ext_one, r);
  ExtValue tiny63 = ext(0, 0x3FFF - 63, ONE);
  ext_add(&one, &tiny63, &r);
  EXPECT_EXT(ext(0, 0x3FFF, ONE | 1), r);
  // Carry out of the top bit: 1.5 + 1.5 = 3.
  ExtValue h = ext(0, 0x3FFF, 0xC000000000000000ull);
  ext_add(&h, &h, &r);
  EXPECT_EXT(ext(0, 0x4000, 0xC000000000000000ull), r);
}

TEST_F(Arith, SignsOfZeroResults) {
  ExtValue x = ext(0, 0x4005, 0xA5A5A5A5A5A5A5A5ull), nx = x, r;
  nx.sign = 1;
  ext_add(&x, &nx, &r);
  EXPECT_EQ(TAG_ZERO, r.tag);
  EXPECT_EQ(1, r.sign);
  ext_add(&nx, &x, &r);
  EXPECT_EQ(1, r.sign);
  ext_sub(&x, &x, &r);
  EXPECT_EQ(1, r.sign);
  ext_sub(&nx, &nx, &r);
  EXPECT_EQ(0, r.sign);
  ExtValue pz = ext_zero, nz = ext_zero;
  nz.sign = 1;
  ext_add(&pz, &nz, &r);
  EXPECT_EXT(ext_zero, r);
  // -3 + 5 with the result written over the first operand.
  ExtValue a = ext(1, 0x4000, 0xC000000000000000ull), b = ext(0, 0x4001, 0xA000000000000000ull);
  ext_add(&a, &b, &a);
  EXPECT_EXT(ext(0, 0x4000, ONE), a);
}

TEST_F(Arith, InfinitiesAndInvalidOperations) {
  ExtValue r, pinf = ext_pos_inf, ninf = ext_neg_inf, one = ext_one, zero = ext_zero;
  ext_add(&pinf, &ninf, &r);
  EXPECT_EXT(ext_indefinite, r);
  EXPECT_EQ(0x81u, fpu_state.status & 0xFF);
  fpu_state.status = 0;
  ext_sub(&pinf, &pinf, &r);
  EXPECT_EXT(ext_indefinite, r);
  fpu_state.status = 0;
  ext_add(&pinf, &pinf, &r);
  EXPECT_EXT(ext_pos_inf, r);
  EXPECT_EQ(0u, fpu_state.status);
  ext_mul(&zero, &pinf, &r);  // positive indefinite pattern
  EXPECT_EXT(ext(0, 0x7FFF, 0xC000000000000000ull, TAG_SPECIAL), r);
  EXPECT_EQ(0x81u, fpu_state.status);
  fpu_state.status = 0;
  ExtValue none = ext_one;
  none.sign = 1;
  ext_div(&none, &zero, &r);
  EXPECT_EXT(ext_neg_inf, r);
  EXPECT_EQ(0x84u, fpu_state.status);
  fpu_state.status = 0;
  ext_div(&zero, &zero, &r);
  EXPECT_EQ(0x81u, fpu_state.status);
  fpu_state.status = 0;
  ext_div(&pinf, &ninf, &r);
  EXPECT_EQ(0x81u, fpu_state.status);
  ext_div(&one, &pinf, &r);
  EXPECT_EQ(TAG_ZERO, r.tag);
}

TEST_F(Arith, ResultsBeyondTheRange) {
  ExtValue big = ext(0, 0x7FFE, 0xC000000000000000ull), r;
  ext_add(&big, &big, &r);  // carry past the largest exponent: infinity
  EXPECT_EXT(ext_pos_inf, r);
  ext_mul(&big, &big, &r);
  EXPECT_EXT(ext_pos_inf, r);
  // A product below the normal range keeps a negative exponent ...
  ExtValue small = ext(0, 100, ONE);
  ext_mul(&small, &small, &r);
  EXPECT_EXT(ext(0, 199 - 0x3FFE, ONE), r);  // 2^126 of 2^128: one normalising shift
  // ... but a quotient there is flushed to a signed zero without exception.
  ExtValue nsmall = small, huge = ext(0, 0x7000, ONE);
  nsmall.sign = 1;
  ext_div(&nsmall, &huge, &r);
  EXPECT_EQ(TAG_ZERO, r.tag);
  EXPECT_EQ(1, r.sign);
  EXPECT_EQ(0u, fpu_state.status);
  // Far below: zero instead of an exponent wrapped into the range.
  ExtValue deep = ext(0, -16000, ONE);
  ext_mul(&deep, &deep, &r);
  EXPECT_EQ(TAG_ZERO, r.tag);
  ext_div(&huge, &deep, &r);
  EXPECT_EXT(ext_pos_inf, r);
}

TEST_F(Arith, OverflowIsDecidedAfterTheNormalisingShift) {
  // Exponents summing to one above the range with significands whose
  // product (quotient) is below 1: the normalised result is finite.
  ExtValue a = ext(0, 0x5FE6, 0xB7BFE80000000000ull), b = ext(0, 0x6017, 0xA1FE5B4F0C733E82ull), r;
  ext_mul(&a, &b, &r);
  EXPECT_EQ(TAG_VALID, r.tag);
  EXPECT_EQ(0x7FFE, r.exponent);
  EXPECT_EQ(0xE88C85B4u, r.mant_hi);  // the hardware's leading bits
  ExtValue n = ext(0, 0x6765, 0x88157F50CCF65E6Full), d = ext(1, 0x2765, 0xD000000000000000ull);
  ext_div(&n, &d, &r);
  EXPECT_EQ(TAG_VALID, r.tag);
  EXPECT_EQ(1, r.sign);
  EXPECT_EQ(0x7FFE, r.exponent);
  EXPECT_EQ(0xA77CEB77u, r.mant_hi);
  // With a significand of 1 or more the same exponents overflow.
  ExtValue big = ext(0, 0x6017, 0xFFFFFFFFFFFFFFFFull), c = ext(0, 0x5FE6, ~0ull);
  ext_mul(&big, &c, &r);
  EXPECT_EXT(ext_pos_inf, r);
  ExtValue m = ext(0, 0x6765, 0xD000000000000000ull);
  ext_div(&m, &d, &r);
  EXPECT_EXT(ext_neg_inf, r);
}

TEST_F(Arith, DivisionLoopUsesTheShiftingDivisor) {
  // 1 / 3: the divisor's lost low bits make the last quotient bits differ
  // from the exact 0xAAAA...AA.
  ExtValue one = ext_one, three = ext(0, 0x4000, 0xC000000000000000ull), r;
  ext_div(&one, &three, &r);
  EXPECT_EQ(0x3FFD, r.exponent);
  EXPECT_EQ(0xAAAAAAAAu, r.mant_hi);
  ExtValue two = ext(0, 0x4000, ONE);
  ext_div(&one, &two, &r);
  EXPECT_EXT(ext(0, 0x3FFE, ONE), r);
}

TEST_F(Arith, Comparison) {
  ExtValue pinf = ext_pos_inf, qnan = ext(0, 0x7FFF, 0xC000000000000001ull, TAG_SPECIAL),
           snan = ext(0, 0x7FFF, 0x8000000000000001ull, TAG_SPECIAL), one = ext_one;
  EXPECT_EQ(CMP_GREATER, ext_compare(&pinf, &qnan));
  EXPECT_EQ(CMP_UNORDERED, ext_compare(&qnan, &one));
  EXPECT_EQ(CMP_UNORDERED_SIGNALLING, ext_compare(&one, &snan));
  ExtValue pz = ext_zero, nz = ext_zero;
  nz.sign = 1;
  EXPECT_EQ(CMP_EQUAL, ext_compare(&pz, &nz));
  ExtValue m2 = ext(1, 0x4000, ONE), m1 = ext(1, 0x3FFF, ONE);
  EXPECT_EQ(CMP_LESS, ext_compare(&m2, &m1));
  ExtValue unnormal = ext(0, 0x4000, ONE >> 1);  // 1.0 written unnormalised
  EXPECT_EQ(CMP_EQUAL, ext_compare(&unnormal, &one));
  EXPECT_EXT(ext_one, unnormal);
  // A tiny product below the range is still greater than zero.
  ExtValue tiny = ext(0, -5, ONE);
  EXPECT_EQ(CMP_GREATER, ext_compare(&tiny, &pz));
}

TEST_F(Arith, IntegerRoundingModes) {
  const u32 modes[4] = {RC_NEAREST, RC_UP, RC_DOWN, RC_CHOP};
  const u64 plus[4] = {2, 3, 2, 2};
  const i64 minus[4] = {-2, -2, -3, -2};
  ExtValue two_half = ext(0, 0x4000, 0xA000000000000000ull);
  u8 out[8];
  for (int i = 0; i < 4; i++) {
    fpu_state.control = FPU_CONTROL_DEFAULT | modes[i];
    store_int64(&two_half, guest_addr(out));
    EXPECT_EQ(plus[i], mem_read64(guest_addr(out))) << i;
    ExtValue neg = two_half;
    neg.sign = 1;
    store_int64(&neg, guest_addr(out));
    EXPECT_EQ(minus[i], (i64)mem_read64(guest_addr(out))) << i;
  }
}

}  // namespace
