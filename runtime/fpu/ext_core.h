// The whole-word cores of normalisation, addition, subtraction and
// multiplication of two finite non-zero values. They are inline so that
// the instruction routines compute the common case without a call; the
// routines of ext_arith.cpp use the same cores after their special cases.
#pragma once

#include "ext_value.h"

#define EXT_INLINE static inline __attribute__((always_inline))

// Shift left while the integer bit is clear and the exponent is not 0.
EXT_INLINE void ext_normalise_left(u64* m, int* e) {
  if (*m == 0 || (*m >> 63) || *e == 0) return;
  int n = ext_clz64(*m);
  if (*e > 0 && *e < n) n = *e;
  *m <<= n;
  *e = (int16_t)(*e - n);
}

// |a| + |b| with the given sign, for two `Valid` operands: the larger
// significand's (by exponent, then significand) stays, the other is
// shifted to it, losing its low bits.
EXT_INLINE void ext_magnitude_add(const ExtValue* a, const ExtValue* b, int sign, ExtValue* r) {
  int ea = a->exponent, eb = b->exponent;
  u64 ma = ext_mant(a), mb = ext_mant(b);
  if (ea > eb || (ea == eb && ma > mb)) {
    int t = ea;
    ea = eb;
    eb = t;
    u64 u = ma;
    ma = mb;
    mb = u;
  }
  // Now b is the larger: exponent eb, significand mb.
  int d = eb - ea;
  if (d > 64) return ext_put(r, sign, TAG_VALID, eb, mb);
  u64 s = mb + (d >= 64 ? 0 : ma >> d);
  if (s < mb) {  // carry out of bit 63
    s = (s >> 1) | 0x8000000000000000ull;
    // Past the exponent range: an infinity, as a product does.
    if (++eb > EXT_EXP_MAX) return ext_put(r, sign, TAG_SPECIAL, EXT_EXP_SPECIAL, 0x8000000000000000ull);
  }
  if (s == 0) return ext_put(r, sign, TAG_ZERO, 0, 0);
  ext_normalise_left(&s, &eb);
  ext_put(r, sign, TAG_VALID, eb, s);
}

// ||a| - |b||, for two `Valid` operands: `sign` when |a| > |b|, the other
// sign otherwise (so an exact zero takes the other sign). The smaller
// operand loses its low bits while it is aligned.
EXT_INLINE void ext_magnitude_difference(const ExtValue* a, const ExtValue* b, int sign, ExtValue* r) {
  int ea = a->exponent, eb = b->exponent;
  u64 ma = ext_mant(a), mb = ext_mant(b);
  if (!(ea > eb || (ea == eb && ma > mb))) {
    int t = ea;
    ea = eb;
    eb = t;
    u64 u = ma;
    ma = mb;
    mb = u;
    sign ^= 1;
  }
  // Now a is the larger.
  int d = ea - eb;
  if (d > 64) return ext_put(r, sign, TAG_VALID, ea, ma);
  u64 s = ma - (d >= 64 ? 0 : mb >> d);
  if (s == 0) return ext_put(r, sign, TAG_ZERO, 0, 0);
  ext_normalise_left(&s, &ea);
  ext_put(r, sign, TAG_VALID, ea, s);
}

// a + b and a - b for two `Valid` operands.
EXT_INLINE void ext_add_valid(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (a->sign == b->sign) ext_magnitude_add(a, b, a->sign, r);
  else if (a->sign == 0) ext_magnitude_difference(a, b, 0, r);  // a - |b|
  else ext_magnitude_difference(b, a, 0, r);                    // b - |a|
}
EXT_INLINE void ext_sub_valid(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (a->sign != b->sign) ext_magnitude_add(a, b, a->sign, r);
  else ext_magnitude_difference(a, b, a->sign, r);
}

// Upper 64 bits of the 128-bit product, from four 32x32 partial products.
// Each sum fits in 64 bits, so the carries between the 32-bit columns come
// out of the additions themselves.
EXT_INLINE u64 ext_mul_high(u64 a, u64 b) {
  u32 a0 = (u32)a, a1 = (u32)(a >> 32), b0 = (u32)b, b1 = (u32)(b >> 32);
  u64 low = (u64)a0 * b0;
  u64 x = (u64)a0 * b1 + (u32)(low >> 32);
  u64 y = (u64)a1 * b0 + (u32)x;
  return (u64)a1 * b1 + (u32)(x >> 32) + (u32)(y >> 32);
}

// A product or quotient whose exponent is above the range before its
// normalising shift may be in range after it (a significand below 1): the
// overflow test is made on the normalised exponent, so such a value is
// finite, as on the hardware, and not an infinity.
EXT_INLINE void ext_above_range_normalise(u64* m, int* e) {
  if (*e > EXT_EXP_MAX && *m && !(*m >> 63)) {
    int n = ext_clz64(*m);
    *m <<= n;
    *e -= n;
  }
}

// The rest of a product: out of range, or a significand with leading zeros
// (an operand below the normal range).
EXT_INLINE void ext_mul_finish(int sign, u64 m, int e, ExtValue* r) {
  ext_above_range_normalise(&m, &e);
  if (e > EXT_EXP_MAX) return ext_put(r, sign, TAG_SPECIAL, EXT_EXP_SPECIAL, 0x8000000000000000ull);
  if (e < EXT_EXP_FLOOR || m == 0) return ext_put(r, sign, TAG_ZERO, 0, 0);
  ext_normalise_left(&m, &e);
  ext_put(r, sign, TAG_VALID, e, m);
}

// a * b for two `Valid` operands, normalised.
EXT_INLINE void ext_mul_valid(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  u32 ha = ext_head(a), hb = ext_head(b);
  int sign = (int)((ha ^ hb) & 0xFF);
  u64 m = ext_mul_high(ext_mant(a), ext_mant(b));
  int e = ext_head_exponent(ha) + ext_head_exponent(hb) - (EXT_BIAS - 1);
  // Two normalised significands leave at most one leading zero; with the
  // exponent in range, that one shift is all the normalisation there is,
  // made without a branch on the product's bits.
  if (__builtin_expect((u32)(e - 1) < (u32)EXT_EXP_MAX && (m >> 62) != 0, 1)) {
    u32 shift = 1 ^ (u32)(m >> 63);
    m += m & (0 - (u64)shift);
    return ext_put(r, sign, TAG_VALID, e - (int)shift, m);
  }
  ext_mul_finish(sign, m, e, r);
}

// The instruction routines' entry points: the common case inline, every
// other case through the full routine.
EXT_INLINE void ext_add_hot(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (a->tag == TAG_VALID && b->tag == TAG_VALID) ext_add_valid(a, b, r);
  else ext_add(a, b, r);
}
EXT_INLINE void ext_sub_hot(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (a->tag == TAG_VALID && b->tag == TAG_VALID) ext_sub_valid(a, b, r);
  else ext_sub(a, b, r);
}
EXT_INLINE void ext_mul_hot(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (a->tag == TAG_VALID && b->tag == TAG_VALID) ext_mul_valid(a, b, r);
  else ext_mul(a, b, r);
}
