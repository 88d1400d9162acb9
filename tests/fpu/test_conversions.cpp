// Loads and stores of every memory format.
#include "fpu_memory.h"
#include "fpu_test_support.h"

namespace {

const u64 ONE = 0x8000000000000000ull;
class Convert : public Fpu {
 protected:
  u8 buf[16];
  u32 at() { return guest_addr(buf); }
  u32 real4(const ExtValue& v) {
    store_real4(&v, at());
    return guest_read32(at());
  }
};

TEST_F(Convert, SingleRealRounding) {
  // 1 + 2^-24 + 2^-40 rounds up to 1 + 2^-23 to nearest; 1 + 2^-24 alone
  // is an exact half and is not rounded.
  EXPECT_EQ(0x3F800001u, real4(ext(0, 0x3FFF, ONE | 1ull << 39 | 1ull << 23)));
  EXPECT_EQ(0x3F800000u, real4(ext(0, 0x3FFF, ONE | 1ull << 39)));
  fpu_state.control = FPU_CONTROL_DEFAULT | RC_UP;  // the half-unit increment stays below the last place
  EXPECT_EQ(0x3F800000u, real4(ext(0, 0x3FFF, ONE | 1ull << 33)));
  EXPECT_EQ(0x3F800001u, real4(ext(0, 0x3FFF, ONE | 1ull << 39)));
  EXPECT_EQ(0xBF800000u, real4(ext(1, 0x3FFF, ONE | 1ull << 39)));
}

TEST_F(Convert, SingleRealOverflowAndUnderflow) {
  ExtValue big = ext(0, 0x3FFF + 128, 0xE1A0000000000000ull);  // about 3.0e39
  EXPECT_EQ(0x7F800000u, real4(big));
  EXPECT_EQ(0x88u, fpu_state.status & 0xFF);
  fpu_state.control = FPU_CONTROL_DEFAULT | RC_CHOP;
  EXPECT_EQ(0x7F7FFFFFu, real4(big));
  big.sign = 1;
  fpu_state.control = FPU_CONTROL_DEFAULT | RC_UP;
  EXPECT_EQ(0xFF7FFFFFu, real4(big));
  // Denormals keep their integer bit: 2^-127 is 0x00400000, 2^-149 is 1.
  fpu_state.control = FPU_CONTROL_DEFAULT;
  fpu_state.status = 0;
  EXPECT_EQ(0x00400000u, real4(ext(0, 0x3FFF - 127, ONE)));
  EXPECT_EQ(0x90u, fpu_state.status & 0xFF);
  EXPECT_EQ(0x00000001u, real4(ext(0, 0x3FFF - 149, ONE)));
  EXPECT_EQ(0x80000000u, real4(ext(1, 0x3FFF - 151, ONE)));
  EXPECT_EQ(0x80000000u, real4(ext(1, 0, 0, TAG_ZERO)));
}

TEST_F(Convert, RoundingUpCarriesIntoTheExponent) {
  const u64 all = ~0ull;
  // Rounded up to the next binade: 2^6 exactly, in both formats.
  EXPECT_EQ(0x42800000u, real4(ext(0, 0x3FFF + 5, all)));
  const ExtValue below_64 = ext(0, 0x3FFF + 5, all), largest = ext(1, 0x3FFF + 1023, all);
  store_real8(&below_64, at());
  EXPECT_EQ(0x4050000000000000ull, mem_read64(at()));
  EXPECT_EQ(0u, fpu_state.status & 0x08);
  // Out of the range at the largest exponent: infinity and overflow.
  EXPECT_EQ(0x7F800000u, real4(ext(0, 0x3FFF + 127, all)));
  EXPECT_EQ(0x08u, fpu_state.status & 0x08);
  fpu_state.status = 0;
  store_real8(&largest, at());
  EXPECT_EQ(0xFFF0000000000000ull, mem_read64(at()));
  EXPECT_EQ(0x08u, fpu_state.status & 0x08);
}

TEST_F(Convert, NaNsAndInfinitiesStoreAsThemselves) {
  EXPECT_EQ(0x7F800000u, real4(ext_pos_inf));
  EXPECT_EQ(0xFFC00000u, real4(ext_indefinite));
  // A payload below the stored fraction still stores a NaN.
  u32 w = real4(ext(0, 0x7FFF, ONE | 1, TAG_SPECIAL));
  EXPECT_EQ(0x7F800000u, w & 0x7F800000u);
  EXPECT_NE(0u, w & 0x7FFFFF);
  store_real8(&ext_neg_inf, at());
  EXPECT_EQ(0xFFF0000000000000ull, mem_read64(at()));
}

TEST_F(Convert, DoubleRealRoundTrip) {
  const u64 patterns[] = {0x3FF0000000000000ull, 0xC00921FB54442D18ull, 0x0010000000000000ull,
                          0x000FFFFFFFFFFFFFull, 0x0000000000000001ull, 0x7FEFFFFFFFFFFFFFull,
                          0x8000000000000000ull, 0x7FF8000000000000ull};
  for (u64 p : patterns) {
    ExtValue v;
    mem_write64(at(), p);
    load_real8(at(), &v);
    mem_write64(at(), 0);
    store_real8(&v, at());
    EXPECT_EQ(p, mem_read64(at())) << std::hex << p;
  }
  // The smallest denormal is 2^-1074.
  ExtValue v;
  mem_write64(at(), 1);
  load_real8(at(), &v);
  EXPECT_EXT(ext(0, 0x3FFF - 1074, ONE), v);
  guest_write32(at(), 1);
  load_real4(at(), &v);
  EXPECT_EXT(ext(0, 0x3FFF - 149, ONE), v);
}

TEST_F(Convert, ExtendedRealIsCopied) {
  const u8 unnormal[10] = {0, 0, 0, 0, 0, 0, 0, 0x40, 0x00, 0x40};  // 0x4000, 0.5 significand
  memcpy(buf, unnormal, 10);
  ExtValue v;
  load_real10(at(), &v);
  EXPECT_EXT(ext(0, 0x3FFF, ONE), v);
  store_real10(&v, at());
  EXPECT_EQ(0x3FFFu, mem_read16(at() + 8));
  // A value below the range is written as the denormal of the same value.
  ExtValue tiny = ext(1, -3, ONE);
  store_real10(&tiny, at());
  EXPECT_EQ(ONE >> 3, mem_read64(at()));
  EXPECT_EQ(0x8000u, mem_read16(at() + 8));
}

TEST_F(Convert, IntegerStores) {
  ExtValue v;
  ext_from_magnitude(1ull << 31, 0, &v);
  store_int32(&v, at());
  EXPECT_EQ(0x80000000u, guest_read32(at()));  // out of range: the integer indefinite
  EXPECT_EQ(0x81u, fpu_state.status & 0xFF);
  fpu_state.status = 0;
  v.sign = 1;  // -2^31 is in range
  store_int32(&v, at());
  EXPECT_EQ(0x80000000u, guest_read32(at()));
  EXPECT_EQ(0u, fpu_state.status);
  store_int16(&ext_neg_inf, at());
  EXPECT_EQ(0x8000u, mem_read16(at()));
  EXPECT_EQ(0x81u, fpu_state.status & 0xFF);
  ext_from_magnitude(1ull << 63, 0, &v);
  v.exponent += 7;  // 2^70
  store_int64(&v, at());
  EXPECT_EQ(0x8000000000000000ull, mem_read64(at()));
  ext_from_i32(-32768, &v);
  store_int16(&v, at());
  EXPECT_EQ(0x8000u, mem_read16(at()));
  ext_from_i32(-7, &v);
  store_int32(&v, at());
  EXPECT_EQ((u32)-7, guest_read32(at()));
}

TEST_F(Convert, IntegerLoads) {
  ExtValue v;
  mem_write16(at(), 0x8000);
  load_int16(at(), &v);
  EXPECT_EXT(ext(1, 0x3FFF + 15, ONE), v);
  mem_write64(at(), 0x8000000000000000ull);
  load_int64(at(), &v);
  EXPECT_EXT(ext(1, 0x3FFF + 63, ONE), v);
  guest_write32(at(), 0);
  load_int32(at(), &v);
  EXPECT_EXT(ext_zero, v);
}

TEST_F(Convert, PackedDecimal) {
  ExtValue v;
  ext_from_i64(1000000000000000000ll, &v);  // 10^18: the 19th digit is dropped
  store_bcd(&v, at());
  for (int i = 0; i < 10; i++) EXPECT_EQ(0, buf[i]) << i;
  ext_from_i64(-123456789012345678ll, &v);
  store_bcd(&v, at());
  const u8 expected[10] = {0x78, 0x56, 0x34, 0x12, 0x90, 0x78, 0x56, 0x34, 0x12, 0x80};
  EXPECT_EQ(0, memcmp(buf, expected, 10));
  ExtValue back;
  load_bcd(at(), &back);
  EXPECT_EXT(v, back);
  // A nibble of 0xF counts as 15; a negative zero keeps its sign.
  memset(buf, 0, 10);
  buf[0] = 0x0F;
  load_bcd(at(), &back);
  EXPECT_EXT(ext(0, 0x3FFF + 3, 0xF000000000000000ull), back);
  memset(buf, 0, 10);
  buf[9] = 0x80;
  load_bcd(at(), &back);
  EXPECT_EQ(TAG_ZERO, back.tag);
  EXPECT_EQ(1, back.sign);
}

}  // namespace
