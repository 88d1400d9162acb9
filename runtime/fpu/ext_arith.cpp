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
// are decided against a divisor that has lost its low bits. Each step is
// a trial subtraction kept or dropped by its borrow, with no branch on the
// quotient bit: the chain from one remainder to the next is the
// subtraction and the select.
//
// As long as the shifted divisor has lost no bits (the steps up to its
// lowest set bit, t), the loop is plain long division: those t + 1 steps
// yield the quotient and remainder of r by d >> t, found by one integer
// division (r < 2d, so the quotient has t + 1 bits). Only the remaining
// 63 - t steps run one by one. The divisors of the series (small
// integers) leave fewer than ten, a double at most 52.

// Steps `first`..63 for a remainder and a divisor (d >> first) below
// 2^32, into the quotient bits below bit 64 - first of q.
static u64 divide_steps32(u64 q, u32 r, u32 d, int first) {
  for (int k = first; k < 64; k++) {
    u32 take = r >= d;
    r -= d & (0u - take);
    q |= (u64)take << (63 - k);
    d >>= 1;
  }
  return q;
}

static u64 divide_loop(u64 r, u64 d) {
  // Exact steps 0..t by a division (normalised divisors only: a smaller
  // one lets the first step take the divisor more than once).
  int t = (d >> 63) ? __builtin_ctzll(d) : 0;
  if (t >= 32) {
    u32 dt = (u32)(d >> t);
    u64 head = r / dt;
    u32 rest = (u32)(r - head * dt);
    return divide_steps32(t == 63 ? head : head << (63 - t), rest, dt >> 1, t + 1);
  }
  u32 qh = 0, count = 32;
  if (t >= 8) {
    // The head has t + 1 bits; the loop shifts it up with the bits after.
    u64 dt = d >> t;
    u64 head = r / dt;
    r -= head * dt;
    d >>= t + 1;
    qh = (u32)head;
    count = 31 - t;
  }
#if FPU_I386_ASM
  u32 rh = (u32)(r >> 32), rl = (u32)r, dh = (u32)(d >> 32), dl = (u32)d;
  // Up to 32 steps give the high quotient word, then 32 the low one; the
  // divisor has shifted below 2^32 by then, and its free high word
  // collects the low quotient word.
  asm("cmpl $0, %[count]\n\t"
      "jz 3f\n"
      "1:\n\t"
      "movl %[rl], %%eax\n\t"
      "movl %[rh], %%edx\n\t"
      "subl %[dl], %%eax\n\t"
      "sbbl %[dh], %%edx\n\t"
      "cmovael %%eax, %[rl]\n\t"
      "cmovael %%edx, %[rh]\n\t"
      "cmc\n\t"
      "adcl %[qh], %[qh]\n\t"
      "shrdl $1, %[dh], %[dl]\n\t"
      "shrl %[dh]\n\t"
      "decl %[count]\n\t"
      "jnz 1b\n"
      "3:\n\t"
      "movl $32, %[count]\n\t"
      "xorl %[dh], %[dh]\n"
      "2:\n\t"
      "movl %[rl], %%eax\n\t"
      "movl %[rh], %%edx\n\t"
      "subl %[dl], %%eax\n\t"
      "sbbl $0, %%edx\n\t"
      "cmovael %%eax, %[rl]\n\t"
      "cmovael %%edx, %[rh]\n\t"
      "cmc\n\t"
      "adcl %[dh], %[dh]\n\t"
      "shrl %[dl]\n\t"
      "decl %[count]\n\t"
      "jnz 2b"
      : [rl] "+r"(rl), [rh] "+r"(rh), [dl] "+r"(dl), [dh] "+r"(dh), [qh] "+r"(qh),
        [count] "+m"(count)
      :
      : "eax", "edx", "cc");
  return (u64)qh << 32 | dh;
#else
  u64 q = qh;
  for (u32 i = 0; i < count; i++) {
    bool take = r >= d;
    r = take ? r - d : r;
    q = q << 1 | take;
    d >>= 1;
  }
  for (int i = 0; i < 32; i++) {
    bool take = r >= d;
    r = take ? r - d : r;
    q = q << 1 | take;
    d >>= 1;
  }
  return q;
#endif
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

// The digit-by-digit square root in base 2 of m * 2^64 (two bits of the
// radicand per step, 64 steps) yields exactly floor(sqrt(m * 2^64)). That
// integer root is computed here by splitting the radicand in halves: the
// root of the upper half gives the upper half of the root, one division
// of the remainder gives the lower half, and one correction makes it
// exact (the square root with remainder of Zimmermann's "Karatsuba square
// root"). Applied twice: 32-bit limbs over 16-bit ones over a 32-bit root
// found bit by bit.

// floor(sqrt(y)) and its remainder for y >= 2^30 (a 16-bit root).
static u32 sqrt_rem32(u32 y, u32* rem) {
  u32 root = 0, r = y;
  for (u32 bit = 1u << 30; bit; bit >>= 2) {
    u32 t = root + bit;
    bool take = r >= t;
    r = take ? r - t : r;
    root = (root >> 1) + (take ? bit : 0);
  }
  *rem = r;
  return root;
}

// floor(sqrt(x)) and its remainder (up to 33 bits) for x >= 2^62 (a
// 32-bit root): x = c3 c2 c1 c0 in 16-bit limbs.
static u32 sqrt_rem64(u64 x, u64* rem) {
  u32 r1;
  u32 s1 = sqrt_rem32((u32)(x >> 32), &r1);  // root of c3 c2: 16 bits
  u64 n = (u64)r1 << 16 | (u32)(x >> 16 & 0xFFFF);
  u32 q = (u32)(n / (2 * s1)), u = (u32)(n % (2 * s1));  // q <= 2^16
  u32 s = (s1 << 16) + q;
  i64 r = ((i64)u << 16 | (u32)(x & 0xFFFF)) - (i64)q * q;
  if (r < 0) {
    r += 2 * (i64)s - 1;
    s--;
  }
  *rem = (u64)r;
  return s;
}

u64 ext_sqrt_mant(u64 m) {
  if (m == 0) return 0;
  // Normalise the radicand by an even shift (m * 4^k); the root then
  // carries k extra bits, which are cut again at the end.
  int k = ext_clz64(m) / 2;
  m <<= 2 * k;
  u64 r1;
  u32 s1 = sqrt_rem64(m, &r1);  // root of the upper half: the root's upper word
  // The lower word: (r1 * 2^32) / (2 * s1), computed as (r1 * 2^31) / s1
  // (r1 < 2^33); it may reach 2^32.
  u64 n = r1 << 31;
  u64 q = n / s1, u = 2 * (n % s1);
  u64 s = ((u64)s1 << 32) + q;
  // The remainder u * 2^32 - q^2 is negative: one less.
  bool negative;
  if (q >> 32) {
    negative = u < (1ull << 32);
  } else {
    u64 q2 = q * q;
    negative = u < (q2 >> 32) || (u == (q2 >> 32) && (u32)q2 != 0);
  }
  s -= negative;
  return s >> k;
}
