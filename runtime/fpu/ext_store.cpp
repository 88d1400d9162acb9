// Conversions from ExtValue to the memory operand formats. Only here, and
// in the integer rounding, does the rounding-control field take effect.
#include "ext_double.h"

void store_real10(const ExtValue* v, u32 address) {
  u64 m = ext_mant(v);
  int e = v->exponent;
  if (e < 0 && v->tag == TAG_VALID) {
    // A product below the normal range: write it as the denormal of the
    // same value (exponent 0), so that loading it back keeps its magnitude.
    m = -e >= 64 ? 0 : m >> -e;
    e = 0;
  }
  mem_write64(address, m);
  mem_write16(address + 8, (u16)((e & 0x7FFF) + (v->sign ? 0x8000 : 0)));
}

// Integer conversions. Out-of-range values, NaNs and infinities store the
// integer indefinite (the most negative value) and report an invalid
// operation; the most negative value itself stores as it is.
static bool round_to_magnitude(const ExtValue* v, u64* magnitude) {
  if (v->tag == TAG_SPECIAL && ext_is_inf(v)) {
    fpu_raise(FPU_EX_INVALID);
    return false;
  }
  ExtValue c = *v;
  ext_round_int(&c);
  *magnitude = ext_mant(&c);
  return true;
}

static void store_int_bits(const ExtValue* v, u32 address, int bits) {
  u64 limit = 1ull << (bits - 1);  // magnitude of the most negative value
  u64 mag = 0;
  u64 out = limit;
  if (round_to_magnitude(v, &mag)) {
    if (mag < limit || (v->sign && mag == limit)) {
      out = v->sign ? 0ull - mag : mag;
    } else {
      fpu_raise(FPU_EX_INVALID);
    }
  }
  if (bits == 16) mem_write16(address, (u16)out);
  else if (bits == 32) mem_write32(address, (u32)out);
  else mem_write64(address, out);
}

void store_int16(const ExtValue* v, u32 address) { store_int_bits(v, address, 16); }
void store_int32(const ExtValue* v, u32 address) { store_int_bits(v, address, 32); }
void store_int64(const ExtValue* v, u32 address) { store_int_bits(v, address, 64); }

void store_bcd(const ExtValue* v, u32 address) {
  ExtValue c = *v;
  ext_round_int(&c);
  u64 m = ext_mant(&c);
  // 18 digits, least significant first; higher digits are dropped.
  u32 low9 = (u32)(m % 1000000000u);
  u32 high9 = (u32)((m / 1000000000u) % 1000000000u);
  u8 bytes[10] = {0};
  for (int k = 0; k < 18; k++) {
    u32* part = k < 9 ? &low9 : &high9;
    u32 digit = *part % 10;
    *part /= 10;
    bytes[k / 2] |= (u8)((k & 1) ? digit << 4 : digit);
  }
  if (v->sign) bytes[9] = 0x80;
  for (int k = 0; k < 10; k++) mem_write8(address + (u32)k, bytes[k]);
}

// Single and double reals share one scheme, parameterised by format.
struct RealFormat {
  int bias;          // 127 or 1023
  int frac_bits;     // 23 or 52
  int drop;          // significand bits below the stored fraction: 40 or 11
  u64 max_finite;    // largest finite pattern
  u64 infinity;      // infinity pattern
};
static const RealFormat real4_format = {127, 23, 40, 0x7F7FFFFFull, 0x7F800000ull};
static const RealFormat real8_format = {1023, 52, 11, 0x7FEFFFFFFFFFFFFFull, 0x7FF0000000000000ull};

static u64 encode_real(const ExtValue* v, const RealFormat* f) {
  u64 sign_bit = (u64)(v->sign ? 1 : 0) << (f->frac_bits + (f->bias == 127 ? 8 : 11));
  if (v->tag == TAG_ZERO) return sign_bit;
  u32 rc = fpu_rounding();
  u64 m = ext_mant(v);
  int exponent = v->exponent;
  int e = exponent - EXT_BIAS;
  u64 frac_mask = (1ull << f->frac_bits) - 1;
  int min_normal = 1 - f->bias;
  if (exponent != EXT_EXP_SPECIAL && e <= f->bias && e >= min_normal) {
    u64 drop_mask = (1ull << f->drop) - 1, half = 1ull << (f->drop - 1);
    if (ext_round_decision(rc, v->sign, m & drop_mask, half)) {
      if (m >> 63) {
        u64 s = m + half;
        if (s < m) {
          s = (s >> 1) | 0x8000000000000000ull;
          e++;
        }
        m = s;
      } else {  // unnormal significand: go through the general addition
        ExtValue c = *v, h = *v;
        ext_set_mant(&h, half);
        h.tag = TAG_VALID;
        ext_add(&c, &h, &c);
        m = ext_mant(&c);
        e = c.exponent - EXT_BIAS;
      }
    }
  }
  u64 fraction = (m >> f->drop) & frac_mask;
  if (exponent == EXT_EXP_SPECIAL) {
    // A NaN whose payload lies below the stored fraction stays a NaN.
    if (fraction == 0 && (m << 1) != 0) fraction = 1ull << (f->frac_bits - 1);
    return sign_bit | (f->infinity + fraction);
  }
  if (e > f->bias) {
    fpu_raise(FPU_EX_OVERFLOW);
    bool largest = (rc == RC_DOWN && !v->sign) || (rc == RC_UP && v->sign) || rc == RC_CHOP;
    return sign_bit | (largest ? f->max_finite : f->infinity);
  }
  if (e >= min_normal) return sign_bit | fraction | (u64)(e + f->bias) << f->frac_bits;
  // Below the normal range: a denormal with the integer bit kept, rounded
  // at its own last place.
  fpu_raise(FPU_EX_UNDERFLOW);
  int shift = f->drop + (min_normal - e);
  u64 kept, rest, half;
  if (shift < 64) {
    kept = m >> shift;
    rest = m & ((1ull << shift) - 1);
    half = 1ull << (shift - 1);
  } else {
    kept = 0;
    rest = m;
    half = shift == 64 ? 0x8000000000000000ull : 0;
  }
  bool up;
  if (rc == RC_NEAREST) up = half && (rest & half) && (rest & (half - 1));
  else up = ext_round_decision(rc, v->sign, rest, half);
  return sign_bit | (kept + (up ? 1 : 0));
}

void store_real4(const ExtValue* v, u32 address) {
  u64 bits;
  if (!ext_encode_normal<127, 23>(v, fpu_rounding(), &bits)) bits = encode_real(v, &real4_format);
  mem_write32(address, (u32)bits);
}

void store_real8(const ExtValue* v, u32 address) {
  u64 bits;
  if (!ext_encode_normal<1023, 52>(v, fpu_rounding(), &bits)) bits = encode_real(v, &real8_format);
  mem_write64(address, bits);
}
