// Literal reference arithmetic (see ref_arith.h). Everything here moves one
// bit or one 16-bit digit at a time, on 32-bit words.
#include "ref_arith.h"

#include "fpu_state.h"

namespace {

struct Words {
  u32 lo, hi;
};
Words words(const ExtValue* v) { return {v->mant_lo, v->mant_hi}; }
void put(ExtValue* v, Words w) {
  v->mant_lo = w.lo;
  v->mant_hi = w.hi;
}
bool is_zero(Words w) { return (w.lo | w.hi) == 0; }
void shl1(Words* w) {
  w->hi = w->hi << 1 | w->lo >> 31;
  w->lo <<= 1;
}
u32 shr1(Words* w) {  // returns the bit shifted out
  u32 out = w->lo & 1;
  w->lo = w->lo >> 1 | w->hi << 31;
  w->hi >>= 1;
  return out;
}
int cmp(Words a, Words b) {
  if (a.hi != b.hi) return a.hi > b.hi ? 1 : -1;
  if (a.lo != b.lo) return a.lo > b.lo ? 1 : -1;
  return 0;
}
u32 digit(Words w, int i) { return ((i < 2 ? w.lo : w.hi) >> (16 * (i & 1))) & 0xFFFF; }
void set_digit(Words* w, int i, u32 d) {
  u32* word = i < 2 ? &w->lo : &w->hi;
  int shift = 16 * (i & 1);
  *word = (*word & ~(0xFFFFu << shift)) | (d & 0xFFFF) << shift;
}
// 16-bit digit addition; returns the carry out.
u32 add_digits(Words a, Words b, Words* r) {
  u32 carry = 0;
  for (int i = 0; i < 4; i++) {
    u32 s = digit(a, i) + digit(b, i) + carry;
    set_digit(r, i, s);
    carry = s >> 16;
  }
  return carry;
}
void sub_digits(Words a, Words b, Words* r) {
  u32 borrow = 0;
  for (int i = 0; i < 4; i++) {
    u32 d = digit(a, i) - digit(b, i) - borrow;
    set_digit(r, i, d);
    borrow = (d >> 16) & 1;
  }
}
void normalise_left(Words* m, int16_t* e) {
  if (is_zero(*m)) return;
  while (!(m->hi & 0x80000000u) && *e != 0) {
    shl1(m);
    (*e)--;
  }
}
int magnitude_order(const ExtValue* a, const ExtValue* b) {
  if (a->exponent != b->exponent) return a->exponent > b->exponent ? 1 : -1;
  return cmp(words(a), words(b));
}
bool is_inf(const ExtValue* v) { return ext_equal(v, &ext_pos_inf) || ext_equal(v, &ext_neg_inf); }

void magnitude_add(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  const ExtValue* base = magnitude_order(a, b) > 0 ? a : b;
  const ExtValue* other = base == a ? b : a;
  ExtValue res = *base;
  if (base->exponent - other->exponent > 64) {
    *r = res;
    return;
  }
  Words mo = words(other);
  int16_t eo = other->exponent;
  while (eo != base->exponent) {
    shr1(&mo);
    eo++;
  }
  Words s;
  int16_t e = base->exponent;
  if (add_digits(words(base), mo, &s)) {
    shr1(&s);
    s.hi |= 0x80000000u;
    e++;
    if (e > EXT_EXP_MAX) {
      res.tag = TAG_SPECIAL;
      res.exponent = EXT_EXP_SPECIAL;
      put(&res, {0, 0x80000000u});
      *r = res;
      return;
    }
  }
  if (is_zero(s)) {
    res.tag = TAG_ZERO;
    e = 0;
  } else {
    normalise_left(&s, &e);
  }
  res.exponent = e;
  put(&res, s);
  *r = res;
}

void magnitude_sub(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  ExtValue res = *a;
  if (a->exponent - b->exponent > 64) {
    *r = res;
    return;
  }
  Words mb = words(b);
  int16_t eb = b->exponent;
  while (eb != a->exponent) {
    shr1(&mb);
    eb++;
  }
  Words s;
  sub_digits(words(a), mb, &s);
  int16_t e = a->exponent;
  if (is_zero(s)) {
    res.tag = TAG_ZERO;
    e = 0;
  } else {
    normalise_left(&s, &e);
  }
  res.exponent = e;
  put(&res, s);
  *r = res;
}

}  // namespace

void ref_normalise(ExtValue* v) {
  Words m = words(v);
  if (is_zero(m)) {
    v->tag = TAG_ZERO;
    v->exponent = 0;
    return;
  }
  if (v->exponent > EXT_EXP_MAX) {
    v->tag = TAG_SPECIAL;
    return;
  }
  while (!(m.hi & 0x80000000u) && v->exponent != 0) {
    shl1(&m);
    v->exponent--;
  }
  put(v, m);
}

void ref_add(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  ExtValue x = *a, y = *b;
  if (x.tag == TAG_ZERO) {
    *r = y;
    if (y.tag == TAG_ZERO && x.sign != y.sign) r->sign = 0;
  } else if (y.tag == TAG_ZERO) {
    *r = x;
  } else if (x.tag == TAG_SPECIAL) {
    if (x.sign != y.sign && !ext_nan_kind(&x) && y.tag == TAG_SPECIAL && !ext_nan_kind(&y)) {
      fpu_raise(FPU_EX_INVALID);
      *r = ext_indefinite;
    } else {
      *r = x;
    }
  } else if (y.tag == TAG_SPECIAL) {
    *r = y;
  } else if (x.sign == y.sign) {
    magnitude_add(&x, &y, r);
    r->sign = x.sign;
  } else if (x.sign == 0) {
    y.sign = 0;
    ref_sub(&x, &y, r);
  } else {
    x.sign = 0;
    ref_sub(&y, &x, r);
  }
}

void ref_sub(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  ExtValue x = *a, y = *b;
  if (y.tag == TAG_ZERO) {
    *r = x;
  } else if (x.tag == TAG_ZERO) {
    *r = y;
    r->sign ^= 1;
  } else if (x.tag == TAG_SPECIAL) {
    if (y.tag == TAG_SPECIAL && !ext_nan_kind(&y) && x.sign == y.sign) {
      fpu_raise(FPU_EX_INVALID);
      *r = ext_indefinite;
    } else {
      *r = x;
    }
  } else if (y.tag == TAG_SPECIAL) {
    *r = y;
    r->sign ^= 1;
  } else if (x.sign != y.sign) {
    magnitude_add(&x, &y, r);
    r->sign = x.sign;
  } else if (magnitude_order(&x, &y) > 0) {
    magnitude_sub(&x, &y, r);
    r->sign = x.sign;
  } else {
    magnitude_sub(&y, &x, r);
    r->sign = x.sign ^ 1;
  }
}

void ref_mul(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  ExtValue x = *a, y = *b, res;
  if (x.tag == TAG_ZERO) {
    if (is_inf(&y)) {
      fpu_raise(FPU_EX_INVALID);
      res = ext_indefinite;
    } else {
      res = ext_zero;
    }
  } else if (y.tag == TAG_ZERO) {
    if (is_inf(&x)) {
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
    // Schoolbook: 16-bit digits, 32-bit partial products and carries.
    u32 p[8] = {0};
    Words mx = words(&x), my = words(&y);
    for (int i = 0; i < 4; i++) {
      u32 carry = 0;
      for (int j = 0; j < 4; j++) {
        u32 t = digit(mx, i) * digit(my, j);
        u32 lo = (t & 0xFFFF) + p[i + j] + carry;
        p[i + j] = lo & 0xFFFF;
        carry = (t >> 16) + (lo >> 16);
      }
      int k = i + 4;
      while (carry) {
        u32 s = p[k] + carry;
        p[k++] = s & 0xFFFF;
        carry = s >> 16;
      }
    }
    int e = x.exponent + y.exponent - 16382;
    res.tag = TAG_VALID;
    Words m = {p[4] | p[5] << 16, p[6] | p[7] << 16};
    // The overflow test follows the normalising shift.
    while (e > EXT_EXP_MAX && !is_zero(m) && !(m.hi & 0x80000000u)) {
      shl1(&m);
      e--;
    }
    if (e > EXT_EXP_MAX) {
      res.exponent = EXT_EXP_SPECIAL;
      put(&res, {0, 0x80000000u});
    } else if (e < EXT_EXP_FLOOR) {
      res = ext_zero;
    } else {
      res.exponent = (int16_t)e;
      put(&res, m);
    }
  }
  res.sign = x.sign ^ y.sign;
  ref_normalise(&res);
  *r = res;
}

void ref_div(const ExtValue* a, const ExtValue* b, ExtValue* r) {
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
    int e = x.exponent - y.exponent + 16383;
    Words q = {0, 0};
    if (e > 0 && e <= EXT_EXP_MAX + 1) {
      Words rem = words(&x), d = words(&y), bit = {0, 0x80000000u};
      for (int i = 0; i < 64; i++) {
        if (cmp(rem, d) >= 0) {
          sub_digits(rem, d, &rem);
          q.lo |= bit.lo;
          q.hi |= bit.hi;
        }
        shr1(&d);
        shr1(&bit);
      }
      // The overflow test follows the normalising shift.
      while (e > EXT_EXP_MAX && !is_zero(q) && !(q.hi & 0x80000000u)) {
        shl1(&q);
        e--;
      }
    }
    if (e > EXT_EXP_MAX) {
      res = ext_pos_inf;
    } else if (e <= 0) {
      res = ext_zero;
    } else {
      res.tag = TAG_VALID;
      res.exponent = (int16_t)e;
      put(&res, q);
    }
  }
  res.sign = x.sign ^ y.sign;
  ref_normalise(&res);
  *r = res;
}

int ref_compare(ExtValue* a, ExtValue* b) {
  int ia = ext_equal(a, &ext_pos_inf) ? 1 : ext_equal(a, &ext_neg_inf) ? -1 : 0;
  int ib = ext_equal(b, &ext_pos_inf) ? 1 : ext_equal(b, &ext_neg_inf) ? -1 : 0;
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
  Words ma = words(a), mb = words(b);
  normalise_left(&ma, &a->exponent);
  normalise_left(&mb, &b->exponent);
  put(a, ma);
  put(b, mb);
  int d;
  if (is_zero(ma) || is_zero(mb)) d = !is_zero(ma) - !is_zero(mb);
  else if (a->exponent != b->exponent) d = a->exponent > b->exponent ? 1 : -1;
  else d = cmp(ma, mb);
  if (a->sign) d = -d;
  return d > 0 ? CMP_GREATER : d < 0 ? CMP_LESS : CMP_EQUAL;
}

void ref_round_int_mode(ExtValue* v, u32 rc) {
  if (v->tag == TAG_ZERO) return;
  Words m = words(v);
  u32 sticky = 0, round = 0;
  while (v->exponent < 16445) {
    sticky |= shr1(&m);
    v->exponent++;
  }
  if (v->exponent <= 16445) {
    round = shr1(&m);
    v->exponent++;
  }
  if (v->exponent > 16446) {
    m = {0xFFFFFFFFu, 0xFFFFFFFFu};
  } else {
    bool add = false;
    switch (rc & RC_MASK) {
      case RC_NEAREST: add = round && (sticky || (m.lo & 1)); break;
      case RC_DOWN: add = (round || sticky) && v->sign; break;
      case RC_UP: add = (round || sticky) && !v->sign; break;
      default: break;
    }
    if (add && ++m.lo == 0) m.hi++;
  }
  put(v, m);
}

void ref_from_magnitude(u64 magnitude, int sign, ExtValue* r) {
  if (magnitude == 0) {
    *r = ext_zero;
    r->sign = (int8_t)sign;
    return;
  }
  Words m = {(u32)magnitude, (u32)(magnitude >> 32)};
  int16_t e = 16446;
  while (!(m.hi & 0x80000000u)) {
    shl1(&m);
    e--;
  }
  r->sign = (int8_t)sign;
  r->tag = TAG_VALID;
  r->exponent = e;
  put(r, m);
}

void ref_from_i32(i32 v, ExtValue* r) {
  if (v == 0) {
    *r = ext_zero;
    return;
  }
  // 32-bit magnitude, exponent from 16414, shifted until bit 31 is set.
  u32 mag = v < 0 ? 0u - (u32)v : (u32)v;
  int16_t e = 16414;
  while (!(mag & 0x80000000u)) {
    mag <<= 1;
    e--;
  }
  r->sign = v < 0;
  r->tag = TAG_VALID;
  r->exponent = e;
  put(r, {0, mag});
}

// Restoring square root, two radicand bits per step, on a 96-bit
// remainder held in three words.
u64 ref_sqrt_mant(u64 m) {
  u32 rem[3] = {0, 0, 0};
  Words q = {0, 0};
  for (int k = 0; k < 64; k++) {
    u32 bits = k < 32 ? (u32)(m >> (62 - 2 * k)) & 3 : 0;
    for (int s = 0; s < 2; s++) {  // rem = rem * 4 + bits
      rem[2] = rem[2] << 1 | rem[1] >> 31;
      rem[1] = rem[1] << 1 | rem[0] >> 31;
      rem[0] <<= 1;
    }
    rem[0] |= bits;
    u32 t[3] = {q.lo << 2 | 1, q.hi << 2 | q.lo >> 30, q.hi >> 30};  // 4q + 1
    bool ge = rem[2] != t[2] ? rem[2] > t[2] : rem[1] != t[1] ? rem[1] > t[1] : rem[0] >= t[0];
    shl1(&q);
    if (ge) {
      u32 borrow = 0;
      for (int i = 0; i < 3; i++) {
        u32 d = rem[i] - t[i] - borrow;
        borrow = (rem[i] < t[i]) || (rem[i] - t[i] < borrow);
        rem[i] = d;
      }
      q.lo |= 1;
    }
  }
  return (u64)q.hi << 32 | q.lo;
}

// Single and double stores as stated: round at the normal position by
// adding half a unit through the addition routine, then truncate.
static u64 ref_store_real(const ExtValue* v, u32 rc, int bias, int frac_bits, int drop, u64 max_finite,
                          u64 infinity) {
  u64 sign_bit = (u64)(v->sign ? 1 : 0) << (frac_bits + (bias == 127 ? 8 : 11));
  if (v->tag == TAG_ZERO) return sign_bit;
  ExtValue c = *v;
  int e = c.exponent - 16383;
  u64 m = ext_mant(&c);
  u64 rest = m & ((1ull << drop) - 1), half = 1ull << (drop - 1);
  if (c.exponent != 0x7FFF && e <= bias && e >= 1 - bias) {
    bool up = rc == RC_NEAREST ? (rest & half) && (rest & (half - 1))
              : rc == RC_UP    ? !c.sign && rest
              : rc == RC_DOWN  ? c.sign && rest
                               : false;
    if (up) {
      ExtValue h = c;
      h.tag = TAG_VALID;
      ext_set_mant(&h, half);
      ref_add(&c, &h, &c);
      e = c.exponent - 16383;
      m = ext_mant(&c);
    }
  }
  u64 fraction = (m >> drop) & ((1ull << frac_bits) - 1);
  if (c.exponent == 0x7FFF) {
    if (fraction == 0 && (m << 1) != 0) fraction = 1ull << (frac_bits - 1);
    return sign_bit | (infinity + fraction);
  }
  if (e > bias) {
    bool largest = (rc == RC_DOWN && !c.sign) || (rc == RC_UP && c.sign) || rc == RC_CHOP;
    return sign_bit | (largest ? max_finite : infinity);
  }
  if (e >= 1 - bias) return sign_bit | fraction | (u64)(e + bias) << frac_bits;
  // Denormal: shift right one bit at a time from the normal position.
  u64 kept = m >> drop;
  u64 sticky = rest & (half - 1), round = rest & half ? 1 : 0;
  for (int k = e; k < 1 - bias; k++) {
    sticky |= round;
    round = kept & 1;
    kept >>= 1;
  }
  bool up = rc == RC_NEAREST ? round && sticky
            : rc == RC_UP    ? !c.sign && (round || sticky)
            : rc == RC_DOWN  ? c.sign && (round || sticky)
                             : false;
  return sign_bit | (kept + (up ? 1 : 0));
}

u32 ref_store_real4(const ExtValue* v, u32 rc) {
  return (u32)ref_store_real(v, rc, 127, 23, 40, 0x7F7FFFFFull, 0x7F800000ull);
}
u64 ref_store_real8(const ExtValue* v, u32 rc) {
  return ref_store_real(v, rc, 1023, 52, 11, 0x7FEFFFFFFFFFFFFFull, 0x7FF0000000000000ull);
}

const ExtArith ext_reference = {ref_add,         ref_sub,       ref_mul,           ref_div,       ref_compare,
                                ref_round_int_mode, ref_from_i32, ref_from_magnitude, ref_sqrt_mant};
