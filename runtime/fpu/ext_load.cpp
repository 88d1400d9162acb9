// Conversions from the memory operand formats to ExtValue.
#include "ext_double.h"

void ext_from_magnitude(u64 magnitude, int sign, ExtValue* r) {
  if (magnitude == 0) return ext_put(r, sign, TAG_ZERO, 0, 0);
  int n = ext_clz64(magnitude);
  ext_put(r, sign, TAG_VALID, EXT_BIAS + 63 - n, magnitude << n);
}

void ext_from_i32(i32 v, ExtValue* r) { ext_from_int32(v, r); }

void ext_from_i64(i64 v, ExtValue* r) {
  if (v == 0) {
    *r = ext_zero;
    return;
  }
  u64 mag = v < 0 ? 0ull - (u64)v : (u64)v;
  ext_from_magnitude(mag, v < 0, r);
}

void load_int16(u32 address, ExtValue* r) { ext_load_int16(address, r); }
void load_int32(u32 address, ExtValue* r) { ext_load_int32(address, r); }
void load_int64(u32 address, ExtValue* r) { ext_from_i64((i64)mem_read64(address), r); }

// Single and double reals. A biased exponent of 0 is a denormal: its
// fraction has no integer bit and the exponent of the smallest normal.
void load_real4(u32 address, ExtValue* r) {
  u32 w = mem_read32(address);
  int sign = w >> 31;
  if ((w & 0x7FFFFFFFu) == 0) {
    *r = ext_zero;
    r->sign = (int8_t)sign;
    return;
  }
  u32 biased = (w >> 23) & 0xFF, fraction = w & 0x7FFFFF;
  r->sign = (int8_t)sign;
  r->tag = TAG_VALID;
  r->mant_lo = 0;
  if (biased == 0xFF) {
    r->exponent = EXT_EXP_SPECIAL;
    r->mant_hi = 0x80000000u | fraction << 8;
  } else if (biased == 0) {
    r->exponent = 0x3F81;
    r->mant_hi = fraction << 8;
  } else {
    r->exponent = (int16_t)(biased + 0x3F80);
    r->mant_hi = 0x80000000u | fraction << 8;
  }
  ext_normalise(r);
}

void load_real8(u32 address, ExtValue* r) {
  u64 w = mem_read64(address);
  int sign = (int)(w >> 63);
  if ((w << 1) == 0) return ext_put(r, sign, TAG_ZERO, 0, 0);
  u32 biased = (u32)(w >> 52) & 0x7FF;
  u64 fraction = w & 0xFFFFFFFFFFFFFull;
  if (biased - 1 < 0x7FE) {  // normal: nothing to normalise
    ext_put(r, sign, TAG_VALID, (int)biased + 0x3C00, 0x8000000000000000ull | fraction << 11);
    return;
  }
  if (biased == 0x7FF) {
    ext_put(r, sign, TAG_SPECIAL, EXT_EXP_SPECIAL, 0x8000000000000000ull | fraction << 11);
    return;
  }
  ext_put(r, sign, TAG_VALID, 0x3C01, fraction << 11);
  ext_normalise(r);
}

void load_real10(u32 address, ExtValue* r) {
  u64 m = mem_read64(address);
  u16 se = mem_read16(address + 8);
  r->sign = (int8_t)(se >> 15);
  r->tag = TAG_VALID;
  r->exponent = (int16_t)(se & 0x7FFF);
  ext_set_mant(r, m);
  ext_normalise(r);
}

// Packed BCD: 18 digits, most significant first; nibbles above 9 count
// with their own value. The sign byte can make a negative zero.
void load_bcd(u32 address, ExtValue* r) {
  u64 v = 0;
  for (int k = 17; k >= 0; k--) {
    u8 byte = mem_read8(address + (u32)(k / 2));
    v = v * 10 + ((k & 1) ? byte >> 4 : byte & 0xF);
  }
  ext_from_i64((i64)v, r);
  if (mem_read8(address + 9) & 0x80) r->sign = 1;
}
