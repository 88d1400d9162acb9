// Classification, normalisation and the four basic operations of the
// software x87. Results are truncated, never rounded; precision control is
// not applied. The bit-level results are those of one-bit-per-step
// alignment and normalisation, computed here with whole-word shifts.
#include "ext_core.h"

int ext_nan_kind(const ExtValue* v) {
  if (v->exponent != EXT_EXP_SPECIAL) return 0;
  if (v->mant_hi & 0x40000000u) return 2;
  if ((v->mant_hi & 0x3FFFFFFFu) || v->mant_lo) return 1;
  return 0;
}

bool ext_equal(const ExtValue* a, const ExtValue* b) {
  return a->sign == b->sign && a->exponent == b->exponent && a->mant_lo == b->mant_lo && a->mant_hi == b->mant_hi;
}

void ext_add(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  ExtValue x = *a, y = *b;
  if (x.tag == TAG_ZERO) {
    *r = y;
    if (y.tag == TAG_ZERO && x.sign != y.sign) r->sign = 0;
    return;
  }
  if (y.tag == TAG_ZERO) {
    *r = x;
    return;
  }
  if (x.tag == TAG_SPECIAL) {
    if (x.sign != y.sign && !ext_nan_kind(&x) && y.tag == TAG_SPECIAL && !ext_nan_kind(&y)) {
      fpu_raise(FPU_EX_INVALID);
      *r = ext_indefinite;
    } else {
      *r = x;
    }
    return;
  }
  if (y.tag == TAG_SPECIAL) {
    *r = y;
    return;
  }
  ext_add_valid(&x, &y, r);
}

void ext_sub(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  ExtValue x = *a, y = *b;
  if (y.tag == TAG_ZERO) {
    *r = x;
    return;
  }
  if (x.tag == TAG_ZERO) {
    *r = y;
    r->sign ^= 1;
    return;
  }
  if (x.tag == TAG_SPECIAL) {
    if (y.tag == TAG_SPECIAL && !ext_nan_kind(&y) && x.sign == y.sign) {
      fpu_raise(FPU_EX_INVALID);
      *r = ext_indefinite;
    } else {
      *r = x;
    }
    return;
  }
  if (y.tag == TAG_SPECIAL) {
    *r = y;
    r->sign ^= 1;
    return;
  }
  ext_sub_valid(&x, &y, r);
}

void ext_mul(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (ext_mul_common(a, b, r)) return;
  ExtValue x = *a, y = *b, res;
  if (x.tag == TAG_ZERO || y.tag == TAG_ZERO) {
    const ExtValue* other = x.tag == TAG_ZERO ? &y : &x;
    if (ext_is_inf(other)) {
      fpu_raise(FPU_EX_INVALID);
      res = ext_indefinite;
    } else {
      res = ext_zero;
    }
  } else if (x.tag == TAG_SPECIAL) {
    res = x;
  } else if (y.tag == TAG_SPECIAL) {
    res = y;
  } else {
    ext_mul_valid(&x, &y, r);
    return;
  }
  res.sign = x.sign ^ y.sign;
  ext_normalise(&res);
  *r = res;
}

// The quotient loop: the remainder stays in place while the divisor and
// the quotient bit move right one place per step, so the low quotient bits
// are decided against a divisor that has lost its low bits. Runs of steps
// whose divisor still exceeds the remainder yield zero bits and are skipped.
static u64 divide_loop(u64 r, u64 d) {
  u64 q = 0;
  int i = 0;
  while (i < 64) {
    u64 di = d >> i;
    if (r >= di) {
      r -= di;
      q |= 0x8000000000000000ull >> i;
      i++;
      continue;
    }
    if (r == 0) {
      // Only steps whose divisor has shifted down to zero still set bits.
      int s = 64 - ext_clz64(d);
      if (s < i) s = i;
      if (s < 64) q |= ~0ull >> s;
      break;
    }
    // First step j > i with (d >> j) <= r.
    int j = ext_clz64(r) - ext_clz64(d);
    if ((d >> j) > r) j++;
    if (j <= i) j = i + 1;
    i = j;
  }
  return q;
}

void ext_div(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  ExtValue x = *a, y = *b, res;
  if (x.tag == TAG_SPECIAL) {
    if (ext_nan_kind(&x)) {
      res = ext_indefinite;
    } else if (y.tag == TAG_SPECIAL && !ext_nan_kind(&y)) {
      fpu_raise(FPU_EX_INVALID);
      res = ext_indefinite;
    } else {
      res = x;
    }
  } else if (y.tag == TAG_SPECIAL) {
    res = ext_nan_kind(&y) ? ext_indefinite : ext_zero;
  } else if (x.tag == TAG_ZERO) {
    if (y.tag == TAG_ZERO) {
      fpu_raise(FPU_EX_INVALID);
      res = ext_indefinite;
    } else {
      res = x;
    }
  } else if (y.tag == TAG_ZERO) {
    fpu_raise(FPU_EX_ZERO_DIVIDE);
    res = ext_pos_inf;
  } else {
    // Computed in full width: a quotient far outside the range must not
    // wrap around the 16-bit field into it.
    int e = x.exponent - y.exponent + EXT_BIAS;
    u64 q = 0;
    if (e > 0 && e <= EXT_EXP_MAX + 1) {
      q = divide_loop(ext_mant(&x), ext_mant(&y));
      ext_above_range_normalise(&q, &e);
    }
    if (e > EXT_EXP_MAX) {
      res = ext_pos_inf;
    } else if (e <= 0) {
      res = ext_zero;
    } else {
      res.tag = TAG_VALID;
      res.exponent = (int16_t)e;
      ext_set_mant(&res, q);
    }
  }
  res.sign = x.sign ^ y.sign;
  ext_normalise(&res);
  *r = res;
}

int ext_compare(ExtValue* a, ExtValue* b) {
  int ia = ext_is_pos_inf(a) ? 1 : ext_is_neg_inf(a) ? -1 : 0;
  int ib = ext_is_pos_inf(b) ? 1 : ext_is_neg_inf(b) ? -1 : 0;
  if (ia || ib) {
    if (ia == 1) return ib == 1 ? CMP_EQUAL : CMP_GREATER;
    if (ib == 1) return CMP_LESS;
    if (ia == -1) return ib == -1 ? CMP_EQUAL : CMP_LESS;
    return CMP_GREATER;
  }
  int ka = ext_nan_kind(a), kb = ext_nan_kind(b);
  if (ka || kb) return (ka == 1 || kb == 1) ? CMP_UNORDERED_SIGNALLING : CMP_UNORDERED;
  if (a->sign != b->sign) {
    if (a->tag == TAG_ZERO && b->tag == TAG_ZERO) return CMP_EQUAL;
    return a->sign ? CMP_LESS : CMP_GREATER;
  }
  u64 ma = ext_mant(a), mb = ext_mant(b);
  int ea = a->exponent, eb = b->exponent;
  ext_normalise_left(&ma, &ea);
  ext_normalise_left(&mb, &eb);
  ext_set_mant(a, ma);
  a->exponent = (int16_t)ea;
  ext_set_mant(b, mb);
  b->exponent = (int16_t)eb;
  int d;
  if (ma == 0 || mb == 0) {
    // A zero is smaller than any non-zero magnitude, also one whose
    // exponent went below zero in a product.
    d = (ma != 0) - (mb != 0);
  } else if (ea != eb) {
    d = ea > eb ? 1 : -1;
  } else {
    d = ma > mb ? 1 : ma < mb ? -1 : 0;
  }
  if (a->sign) d = -d;
  return d > 0 ? CMP_GREATER : d < 0 ? CMP_LESS : CMP_EQUAL;
}

void ext_round_int_mode(ExtValue* v, u32 rc) {
  if (v->tag == TAG_ZERO) return;
  u64 m = ext_mant(v);
  int e = v->exponent;
  bool sticky = false, round = false;
  if (e < 16445) {
    int s = 16445 - e;
    if (s >= 64) {
      sticky = m != 0;
      m = 0;
    } else {
      sticky = (m << (64 - s)) != 0;
      m >>= s;
    }
    e = 16445;
  }
  if (e <= 16445) {
    round = m & 1;
    m >>= 1;
    e = 16446;
  }
  if (e > 16446) {
    m = ~0ull;
  } else {
    bool inexact = round || sticky;
    switch (rc & RC_MASK) {
      case RC_NEAREST:
        if (round && (sticky || (m & 1))) m++;
        break;
      case RC_DOWN:
        if (inexact && v->sign) m++;
        break;
      case RC_UP:
        if (inexact && !v->sign) m++;
        break;
      default:
        break;
    }
  }
  v->exponent = (int16_t)e;
  ext_set_mant(v, m);
}

void ext_round_int(ExtValue* v) { ext_round_int_mode(v, fpu_rounding()); }

// Digit-by-digit square root in base 2 of m * 2^64: two bits of the
// radicand per step, 64 steps. The first 32 steps fit in one word; the
// rest carry the remainder's top bits in a second word.
u64 ext_sqrt_mant(u64 m) {
  u64 q = 0, r = 0;
  for (int k = 0; k < 32; k++) {
    r = (r << 2) | ((m >> (62 - 2 * k)) & 3);
    u64 t = (q << 2) | 1;
    if (r >= t) {
      r -= t;
      q = (q << 1) | 1;
    } else {
      q <<= 1;
    }
  }
  u32 rh = 0;
  u64 rl = r;
  for (int k = 32; k < 64; k++) {
    rh = (rh << 2) | (u32)(rl >> 62);
    rl <<= 2;
    u32 th = (u32)(q >> 62);
    u64 tl = (q << 2) | 1;
    if (rh > th || (rh == th && rl >= tl)) {
      u32 borrow = rl < tl;
      rl -= tl;
      rh = rh - th - borrow;
      q = (q << 1) | 1;
    } else {
      q <<= 1;
    }
  }
  return q;
}
