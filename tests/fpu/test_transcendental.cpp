// The D9 F0-FF group: fixed results, special operands, condition codes,
// and the series run over the whole-word and the step-by-step arithmetic.
#include "ext_series.h"
#include "fpu_test_support.h"
#include "ref_arith.h"

namespace {

using Trans = FpuStack;

// Distance in units of the last place between values of equal sign.
i64 ulps(const ExtValue& a, const ExtValue& b) {
  if (a.exponent == b.exponent) return (i64)(ext_mant(&a) - ext_mant(&b));
  if (a.exponent == b.exponent + 1) return (i64)(ext_mant(&a) - (ext_mant(&b) >> 1));
  if (b.exponent == a.exponent + 1) return (i64)((ext_mant(&a) >> 1) - ext_mant(&b));
  return INT64_MAX;
}

TEST_F(Trans, SquareRoot) {
  push(num(4));
  run_bytes({0xD9, 0xFA});
  EXPECT_EXT(num(2), *fpu_st(0));
  *fpu_st(0) = num(2);
  run_bytes({0xD9, 0xFA});
  EXPECT_EXT(ext(0, 0x3FFF, 0xB504F333F9DE6484ull), *fpu_st(0));
  *fpu_st(0) = num(-1);
  run_bytes({0xD9, 0xFA});
  EXPECT_EXT(ext_indefinite, *fpu_st(0));
  EXPECT_EQ(0x81u, fpu_state.status & 0xFF);
  ExtValue nz = ext_zero;
  nz.sign = 1;
  *fpu_st(0) = nz;
  run_bytes({0xD9, 0xFA});
  EXPECT_EXT(nz, *fpu_st(0));
}

TEST_F(Trans, TrigonometryOutOfRange) {
  ExtValue big = ext(0, 0x3FFF + 64, ONE);
  push(big);
  run_bytes({0xD9, 0xFE});
  EXPECT_EXT(big, *fpu_st(0));
  expect_cc(SW_C2);
  *fpu_st(0) = ext_pos_inf;
  run_bytes({0xD9, 0xFE});
  EXPECT_EXT(ext_pos_inf, *fpu_st(0));
  expect_cc(SW_C2);
  EXPECT_EQ(0x81u, fpu_state.status & 0xFF);
  // FPTAN of an infinity leaves the registers as they were.
  push(num(7));
  run_bytes({0xD9, 0xC9});  // FXCH: ST(0) infinity, ST(1) 7
  run_bytes({0xD9, 0xF2});
  EXPECT_EXT(ext_pos_inf, *fpu_st(0));
  EXPECT_EXT(num(7), *fpu_st(1));
}

TEST_F(Trans, TrigonometryValues) {
  push(ext_zero);
  run_bytes({0xD9, 0xFF});  // FCOS 0
  EXPECT_EXT(ext_one, *fpu_st(0));
  *fpu_st(0) = ext_half_pi;
  run_bytes({0xD9, 0xFE});  // FSIN pi/2
  EXPECT_LE(std::abs(ulps(*fpu_st(0), ext_one)), 2);
  // sin(-pi/2) = -1: the quadrant of a negative quotient.
  *fpu_st(0) = ext_half_pi;
  fpu_st(0)->sign = 1;
  run_bytes({0xD9, 0xFE});
  EXPECT_EQ(1, fpu_st(0)->sign);
  EXPECT_LE(std::abs(ulps(*fpu_st(0), ext(1, 0x3FFF, ONE))), 2);
  // FPTAN of pi/4 is about 1, with 1 pushed.
  ExtValue two = num(2);
  ext_div(&ext_half_pi, &two, fpu_st(0));
  run_bytes({0xD9, 0xF2});
  EXPECT_EXT(ext_one, *fpu_st(0));
  EXPECT_LE(std::abs(ulps(*fpu_st(1), ext_one)), 4);
  expect_cc(0);
  // FSINCOS: ST(0) cosine, ST(1) sine.
  fpu_reset();
  push(ext_zero);
  run_bytes({0xD9, 0xFB});
  EXPECT_EXT(ext_one, *fpu_st(0));
  EXPECT_EQ(TAG_ZERO, fpu_st(1)->tag);
}

TEST_F(Trans, ArctangentQuadrants) {
  push(ext_zero);  // y
  push(num(-1));   // x
  run_bytes({0xD9, 0xF3});
  EXPECT_EXT(ext_pi, *fpu_st(0));
  EXPECT_EQ(7u, fpu_state.top & 7);
  push(ext_zero);
  push(ext_zero);
  run_bytes({0xD9, 0xF3});
  EXPECT_EXT(ext_pi, *fpu_st(0));
  push(ext_neg_inf);
  push(ext_neg_inf);
  run_bytes({0xD9, 0xF3});
  EXPECT_EQ(1, fpu_st(0)->sign);
  EXPECT_LE(std::abs(ulps(*fpu_st(0), ext(1, 0x4000, 0x96CBE3F9990E91A8ull))), 1);  // -3pi/4
  push(num(-1));
  push(num(1));
  run_bytes({0xD9, 0xF3});  // atan2(-1, 1) = -pi/4
  EXPECT_EQ(1, fpu_st(0)->sign);
  // The truncating quotients of the continued fraction cost some dozens of ulps.
  EXPECT_LE(std::abs(ulps(*fpu_st(0), ext(1, 0x3FFE, 0xC90FDAA22168C235ull))), 64);
}

TEST_F(Trans, Logarithms) {
  push(num(5));
  push(num(1));
  run_bytes({0xD9, 0xF1});  // 5 * log2 1
  EXPECT_EQ(TAG_ZERO, fpu_st(0)->tag);
  push(num(1));
  push(ext_zero);
  run_bytes({0xD9, 0xF1});
  EXPECT_EXT(ext_neg_inf, *fpu_st(0));
  EXPECT_EQ(0x84u, fpu_state.status & 0xFF);
  push(num(3));
  push(num(8));
  run_bytes({0xD9, 0xF1});  // 3 * log2 8 = 9
  EXPECT_LE(std::abs(ulps(*fpu_st(0), num(9))), 4);
  push(num(1));
  push(num(-2));
  fpu_state.status = 0;
  run_bytes({0xD9, 0xF1});
  EXPECT_EXT(ext_indefinite, *fpu_st(0));
  EXPECT_EQ(0x81u, fpu_state.status & 0xFF);
  push(num(1));
  push(num(1));
  run_bytes({0xD9, 0xF9});  // FYL2XP1: log2(1 + 1) = 1
  EXPECT_LE(std::abs(ulps(*fpu_st(0), ext_one)), 4);
}

TEST_F(Trans, PowerOfTwoMinusOne) {
  push(ext_one);
  run_bytes({0xD9, 0xF0});
  EXPECT_LE(std::abs(ulps(*fpu_st(0), ext_one)), 64);
  *fpu_st(0) = ext_zero;
  run_bytes({0xD9, 0xF0});
  EXPECT_EQ(TAG_ZERO, fpu_st(0)->tag);
}

TEST_F(Trans, ScaleTruncatesTheScale) {
  ExtValue two_nine = ext(0, 0x4000, 0xB99999999999999Aull);
  push(two_nine);
  push(ext_one);
  run_bytes({0xD9, 0xFD});
  EXPECT_EXT(ext(0, 0x4001, ONE), *fpu_st(0));
  fpu_st(1)->sign = 1;
  run_bytes({0xD9, 0xFD});
  EXPECT_EXT(ext_one, *fpu_st(0));
  fpu_st(1)->exponent = 0x3FFF + 40;  // a huge scale overflows
  fpu_st(1)->sign = 0;
  run_bytes({0xD9, 0xFD});
  EXPECT_EXT(ext_pos_inf, *fpu_st(0));
  EXPECT_EQ(0x88u, fpu_state.status & 0xFF);
  *fpu_st(0) = ext_zero;
  run_bytes({0xD9, 0xFD});
  EXPECT_EXT(ext_zero, *fpu_st(0));
  *fpu_st(0) = ext_one;
  fpu_st(1)->sign = 1;  // a huge negative scale gives zero, not a wrapped exponent
  run_bytes({0xD9, 0xFD});
  EXPECT_EQ(TAG_ZERO, fpu_st(0)->tag);
}

TEST_F(Trans, RoundToIntegerByTheControlWord) {
  ExtValue two_half = ext(0, 0x4000, 0xA000000000000000ull), three_half = ext(0, 0x4000, 0xE000000000000000ull);
  push(two_half);
  run_bytes({0xD9, 0xFC});
  EXPECT_EXT(num(2), *fpu_st(0));
  *fpu_st(0) = three_half;
  run_bytes({0xD9, 0xFC});
  EXPECT_EXT(num(4), *fpu_st(0));
  fpu_state.control |= RC_UP;
  *fpu_st(0) = two_half;
  run_bytes({0xD9, 0xFC});
  EXPECT_EXT(num(3), *fpu_st(0));
  fpu_state.control = FPU_CONTROL_DEFAULT;
  *fpu_st(0) = ext(1, 0x3FFD, 0x9999999999999999ull);  // -0.3
  run_bytes({0xD9, 0xFC});
  EXPECT_EQ(TAG_ZERO, fpu_st(0)->tag);
  EXPECT_EQ(1, fpu_st(0)->sign);
}

TEST_F(Trans, PartialRemainders) {
  push(num(3));
  push(num(10));
  run_bytes({0xD9, 0xF8});  // FPREM
  EXPECT_EXT(num(1), *fpu_st(0));
  expect_cc(SW_C1 | SW_C3);
  *fpu_st(0) = num(10);
  run_bytes({0xD9, 0xF5});  // FPREM1
  EXPECT_EXT(num(1), *fpu_st(0));
  expect_cc(SW_C1 | SW_C3);
  *fpu_st(0) = num(11);  // 11 = 4 * 3 - 1 to nearest
  run_bytes({0xD9, 0xF5});
  EXPECT_EXT(num(-1), *fpu_st(0));
  expect_cc(SW_C0);
  *fpu_st(0) = ext(0, 0x3FFF + 100, ONE);  // 2^100 by 3: incomplete
  run_bytes({0xD9, 0xF8});
  expect_cc(SW_C2);
}

TEST_F(Trans, ExtractExponentAndSignificand) {
  push(num(-12));
  run_bytes({0xD9, 0xF4});
  EXPECT_EXT(ext(1, 0x3FFF, 0xC000000000000000ull), *fpu_st(0));
  EXPECT_EXT(num(3), *fpu_st(1));
  fpu_reset();
  push(ext_zero);
  run_bytes({0xD9, 0xF4});
  EXPECT_EXT(num(-16383), *fpu_st(1));
}

// The series reach the same bits over either arithmetic.
TEST_F(Trans, SeriesMatchTheStepByStepArithmetic) {
  Rng rng(11);
  for (int i = 0; i < 150; i++) {
    ExtValue x = ext((int)(rng.next() & 1), 0x3FFF - (int)rng.below(20) + (i % 3 == 0 ? (int)rng.below(30) : 0),
                     rng.next() | ONE);
    ExtValue y = ext((int)(rng.next() & 1), 0x3FFF + (int)rng.below(40) - 20, rng.next() | ONE);
    ExtValue fx = x, rx = x, f1, f2, r1, r2;
    int qf = ext_reduce_quadrant(&ext_fast, &fx), qr = ext_reduce_quadrant(&ext_reference, &rx);
    ASSERT_EQ(qf, qr);
    ASSERT_TRUE(same_bits(fx, rx)) << show(x);
    ext_sin_cos_series(&ext_fast, &fx, &f1, &f2);
    ext_sin_cos_series(&ext_reference, &rx, &r1, &r2);
    ASSERT_TRUE(same_bits(f1, r1) && same_bits(f2, r2)) << show(x);
    ext_atan2_general(&ext_fast, &x, &y, &f1);
    ext_atan2_general(&ext_reference, &x, &y, &r1);
    ASSERT_TRUE(same_bits(f1, r1)) << show(x) << show(y);
    ext_exp2m1_series(&ext_fast, &x, &f1);
    ext_exp2m1_series(&ext_reference, &x, &r1);
    ASSERT_TRUE(same_bits(f1, r1)) << show(x);
    ExtValue px = x;
    px.sign = 0;
    ext_ylog2x_general(&ext_fast, &px, &y, &f1);
    ext_ylog2x_general(&ext_reference, &px, &y, &r1);
    ASSERT_TRUE(same_bits(f1, r1)) << show(px);
  }
}

}  // namespace
