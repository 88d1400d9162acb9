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
// are decided against a divisor that has lost its low bits:
//
//   for k = 0..63: take bit 63 - k when r >= d >> k, then r -= d >> k.
//
// Since each shifted divisor is at least the sum of all later ones, the
// result is the largest q whose sum S(q) of the shifted divisors of its set
// bits does not exceed r; S(q) = (q * d - T(q, d)) / 2^63, where T sums the
// partial products q_i d_j 2^(i+j) below column 63 (the bits the shifts
// drop). Digits of several bits are found that way: a division gives the
// digit of the exact quotient, at most one more fits (T is small next to
// the divisor), and T decides; the remainder then loses S of the digit.
// Steps 0-31 make one 32-bit digit, steps 32-47 one of 16 bits, the last
// 16 steps (divisor below 2^16) run one by one. A divisor with 32 or more
// trailing zero bits loses nothing in its first 33 steps: those are plain
// long division, one integer division, and the rest run one by one.

// n / d with its remainder when the quotient fits 32 bits (n >> 32 < d):
// one division instruction on i386 (GCC would call a 64-bit routine).
static inline u32 divide_narrow(u64 n, u32 d, u32* rem) {
#if FPU_I386_ASM
  u32 q, r;
  asm("divl %4" : "=a"(q), "=d"(r) : "a"((u32)n), "d"((u32)(n >> 32)), "rm"(d) : "cc");
  *rem = r;
  return q;
#else
  *rem = (u32)(n % d);
  return (u32)(n / d);
#endif
}
// Any n by a 32-bit d: two narrow divisions.
static inline u64 divide_wide(u64 n, u32 d, u32* rem) {
  u32 high_rem;
  u32 high = divide_narrow(n >> 32, d, &high_rem);
  u32 low = divide_narrow((u64)high_rem << 32 | (u32)n, d, rem);
  return (u64)high << 32 | low;
}

// Bit pairs i + j <= 2 of two 4-bit digits: sum of 2^(i + j).
struct TriangleTable {
  u8 v[256];
  constexpr TriangleTable() : v() {
    for (int a = 0; a < 16; a++)
      for (int b = 0; b < 16; b++) {
        int sum = 0;
        for (int i = 0; i < 3; i++)
          for (int j = 0; i + j < 3; j++)
            if ((a >> i & 1) && (b >> j & 1)) sum += 1 << (i + j);
        v[a * 16 + b] = (u8)sum;
      }
  }
};
static constexpr TriangleTable corner = {};

// T for a digit q of 4n bits and the low 4n - 1 bits of its divisor d:
// the sum of q_i d_j 2^(i+j) over i + j < 4n - 1. In 4-bit digits: pairs
// of digits whose columns all lie below the cut are whole products, the
// pairs that straddle it (q's digit a with d's digit n - 1 - a) take their
// corner from the table. The corners' indices are made all at once, a
// byte each: q's digits beside those of d in reverse order.
template <int n>
static inline u64 dropped_products(u32 q, u32 d) {
  static_assert(n == 4 || n == 8);
  u64 whole = 0;
#pragma GCC unroll 8
  for (int a = 0; a < n - 1; a++) whole += (q & 15u << 4 * a) * (d & ((1u << 4 * (n - 1 - a)) - 1));
  u32 reversed = n == 8 ? __builtin_bswap32(d) : __builtin_bswap16((u16)d);
  reversed = (reversed & 0x0F0F0F0Fu) << 4 | (reversed >> 4 & 0x0F0F0F0Fu);
  const u32 even = (q & 0x0F0F0F0Fu) << 4 | (reversed & 0x0F0F0F0Fu);
  const u32 odd = (q >> 4 & 0x0F0F0F0Fu) << 4 | (reversed >> 4 & 0x0F0F0F0Fu);
  u32 corners = 0;
#pragma GCC unroll 4
  for (int k = 0; k < n / 2; k++) corners += corner.v[even >> 8 * k & 255] + corner.v[odd >> 8 * k & 255];
  return whole + ((u64)corners << 4 * (n - 1));
}

// A 96-bit value.
struct Wide {
  u64 low;
  u32 high;
};
static inline Wide multiply_wide(u32 a, u64 b) {
  u64 p0 = (u64)a * (u32)b, p1 = (u64)a * (u32)(b >> 32);
  u64 middle = (p0 >> 32) + (u32)p1;
  return {middle << 32 | (u32)p0, (u32)(p1 >> 32) + (u32)(middle >> 32)};
}
static inline bool wide_above(Wide a, Wide b) { return a.high > b.high || (a.high == b.high && a.low > b.low); }
static inline Wide wide_minus(Wide a, Wide b) { return {a.low - b.low, a.high - b.high - (a.low < b.low)}; }
static inline Wide wide_plus(Wide a, u64 b) { return {a.low + b, a.high + (a.low + b < b)}; }

// T of the next digit, which the quotient takes only when its product
// comes within T of the remainder (rarely): out of line, so that GCC does
// not prepare the divisor's digits for both sums ahead of that test.
template <int n>
static __attribute__((noinline)) u64 dropped_products_of_next(u32 q, u32 d) {
  return dropped_products<n>(q + 1, d);
}

// Steps 0-31 for a normalised divisor d (r < 2d): their 32 quotient bits.
static u32 quotient_steps_0_31(u64* r, u64 d) {
  Wide n = {*r << 31, (u32)(*r >> 33)};  // r * 2^31
  u32 dh = (u32)(d >> 32), q = 0xFFFFFFFFu, rest;
  if (n.high < dh) q = divide_narrow((u64)n.high << 32 | (u32)(n.low >> 32), dh, &rest);
  Wide p = multiply_wide(q, d);
  while (wide_above(p, n)) {  // at most twice
    q--;
    p = wide_minus(p, {d, 0});
  }
  // q = floor(r * 2^31 / d); q + 1 fits when q + 1 times d exceeds
  // r * 2^31 by no more than its T (below 2^36).
  const u32 low = (u32)d & 0x7FFFFFFF;
  if (q != 0xFFFFFFFFu) {
    const Wide next = wide_plus(p, d), excess = wide_minus(next, n);
    if (excess.high == 0 && excess.low < (1ull << 36) && excess.low <= dropped_products_of_next<8>(q, low)) {
      q++;
      p = next;
    }
  }
  Wide sum = wide_minus(p, {dropped_products<8>(q, low), 0});
  *r -= sum.low >> 31 | (u64)sum.high << 33;
  return q;
}

// Steps 32-47 with d32 = d >> 32 (r < 2^34): their 16 quotient bits.
static u32 quotient_steps_32_47(u64* r, u32 d32) {
  u64 n = *r << 15;
  u32 q = 0xFFFF, rest;
  if ((n >> 32) < d32) {
    q = divide_narrow(n, d32, &rest);
    if (q > 0xFFFF) q = 0xFFFF;
  }
  u64 p = (u64)q * d32;
  const u32 low = d32 & 0x7FFF;
  if (q != 0xFFFF) {
    u64 next = p + d32;
    if (next - n < (1u << 19) && next - n <= dropped_products_of_next<4>(q, low)) {
      q++;
      p = next;
    }
  }
  *r -= (p - dropped_products<4>(q, low)) >> 15;
  return q;
}

// Steps `first`..63 (first > 32) for a remainder and a divisor
// (d >> first) below 2^32: their quotient bits, in the low 64 - first bits
// of the result. Each step is a subtraction kept or dropped by a
// conditional move, so the chain through r is two instructions long.
#if FPU_I386_ASM
// One step in i386 assembly: the subtraction's borrow is the step's bit,
// complemented (all of them at once afterwards: the word starts as all
// ones, so the complement also clears the bits above the steps'); five
// instructions (GCC's form of the loop takes ten).
#define DIVIDE_STEP             \
  "movl %[r], %[t]\n\t"         \
  "subl %[d], %[t]\n\t"         \
  "cmovael %[t], %[r]\n\t"      \
  "adcl %[bits], %[bits]\n\t"   \
  "shrl %[d]\n\t"
#endif
static inline u32 divide_steps32(u32 r, u32 d, int first) {
#if FPU_I386_ASM
  u32 bits = ~0u, count = (u32)(64 - first), t;
  if (__builtin_constant_p(first) && first == 48) {  // the last 16 steps of every quotient: unrolled
    asm(".rept 16\n\t"
        DIVIDE_STEP
        ".endr"
        : [r] "+r"(r), [d] "+r"(d), [bits] "+r"(bits), [t] "=&r"(t)
        :
        : "cc");
    return ~bits;
  }
  if (!count) return 0;
  asm("1:\n\t"
      DIVIDE_STEP
      "decl %[count]\n\t"
      "jnz 1b"
      : [r] "+r"(r), [d] "+r"(d), [bits] "+r"(bits), [count] "+r"(count), [t] "=&r"(t)
      :
      : "cc");
  return ~bits;
#else
  u32 bits = 0;
#pragma GCC unroll 16
  for (int k = first; k < 64; k++) {
    u32 less = r - d;
    bool take = r >= d;
    r = take ? less : r;
    bits = bits << 1 | take;
    d >>= 1;
  }
  return bits;
#endif
}

// Every step one by one (a divisor below 2^63: the first step may take it
// more than once, which the digits above do not allow for).
static u64 divide_bitwise(u64 r, u64 d) {
  u32 qh = 0, count = 32;
#if FPU_I386_ASM
  u32 rh = (u32)(r >> 32), rl = (u32)r, dh = (u32)(d >> 32), dl = (u32)d;
  // Up to 32 steps give the high quotient word, then 32 the low one; the
  // divisor has shifted below 2^32 by then, and its free high word
  // collects the low quotient word.
  asm("1:\n\t"
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
      "jnz 1b\n\t"
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
  (void)qh;
  (void)count;
  u64 q = 0;
  for (int i = 0; i < 64; i++) {
    bool take = r >= d;
    r = take ? r - d : r;
    q = q << 1 | take;
    d >>= 1;
  }
  return q;
#endif
}

static u64 divide_loop(u64 r, u64 d) {
  if (!(d >> 63)) return divide_bitwise(r, d);
  int t = __builtin_ctzll(d);
  if (t >= 32) {
    u32 dt = (u32)(d >> t), rest;
    u64 head = divide_wide(r, dt, &rest);
    return head << (63 - t) | divide_steps32(rest, dt >> 1, t + 1);
  }
  u32 high = quotient_steps_0_31(&r, d);
  u32 d32 = (u32)(d >> 32);
  u32 middle = quotient_steps_32_47(&r, d32);
  // r <= d >> 47 < 2^17 now.
  return (u64)high << 32 | middle << 16 | divide_steps32((u32)r, d32 >> 16, 48);
}

void ext_div(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  // The common case first: two normal significands (a quotient of at
  // least 2^62, so at most one normalising shift) and an exponent that
  // stays in range after it; the same record as the general code below.
  const u32 ha = ext_head(a), hb = ext_head(b);
  if (ext_heads_valid(ha, hb) && ((a->mant_hi & b->mant_hi) >> 31)) {
    int e = ext_head_exponent(ha) - ext_head_exponent(hb) + EXT_BIAS;
    if (e >= 2 && e <= EXT_EXP_MAX) {
      u64 q = divide_loop(ext_mant(a), ext_mant(b));
      if (!(q >> 63)) {
        q <<= 1;
        e--;
      }
      return ext_put(r, (ha ^ hb) & 1, TAG_VALID, e, q);
    }
  }
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

// Upper bounds on the root by the leading ten bits i = 256..1023 of a
// radicand of 32 bits: the smallest s with s * s >= (i + 1) * 2^22.
struct SqrtBounds {
  u32 v[768];
  constexpr SqrtBounds() : v() {
    for (u32 i = 256; i < 1024; i++) {
      u64 y = (u64)(i + 1) << 22;
      u32 low = 0, high = 65536;
      while (low < high) {
        u32 mid = (low + high) / 2;
        if ((u64)mid * mid >= y) high = mid;
        else low = mid + 1;
      }
      v[i - 256] = low;
    }
  }
};
static constexpr SqrtBounds sqrt_bound = {};

// floor(sqrt(y)) and its remainder for y >= 2^30 (a 16-bit root): an
// upper bound from the leading ten bits (at most 65 above the root), one
// Newton step from above (which never falls below the root and leaves it
// less than one above), and a last check.
static u32 sqrt_rem32(u32 y, u32* rem) {
  u32 s = sqrt_bound.v[(y >> 22) - 256], r;
  s = (s + divide_narrow(y, s, &r)) >> 1;
  while ((u64)s * s > y) s--;
  *rem = y - s * s;
  return s;
}

// floor(sqrt(x)) and its remainder (up to 2s: 33 bits, as halves) for
// x = xh:xl >= 2^62 (a 32-bit root): x = c3 c2 c1 c0 in 16-bit limbs. The
// 64-bit values are kept as 32-bit halves: i386 GCC moves a 64-bit
// temporary through stack slots.
static u32 sqrt_rem64(u32 xh, u32 xl, u32* rem_hi, u32* rem_lo) {
  u32 r1;
  const u32 s1 = sqrt_rem32(xh, &r1);  // root of c3 c2: 16 bits; r1 up to 2 s1
  u32 u;
  const u32 q = divide_narrow((u64)(r1 >> 16) << 32 | (r1 << 16 | xl >> 16), 2 * s1, &u);  // q <= 2^16
  u32 s = (s1 << 16) + q;
  // r = u * 2^16 + c0 - q^2, from -2^32 to 2^33.
  const u64 q2 = (u64)q * q;
  const u32 a_lo = u << 16 | (xl & 0xFFFF);
  u32 lo = a_lo - (u32)q2;
  u32 hi = (u >> 16) - (u32)(q2 >> 32) - (a_lo < (u32)q2);
  if ((i32)hi < 0) {  // r += 2s - 1
    const u64 t = 2 * (u64)s - 1;
    const u32 sum = lo + (u32)t;
    hi += (u32)(t >> 32) + (sum < lo);
    lo = sum;
    s--;
  }
  *rem_hi = hi;
  *rem_lo = lo;
  return s;
}

// The lower word when the division's quotient reaches 2^32 (a remainder
// at its largest): the square of such a q exceeds any remainder u * 2^32
// with u below 2^32.
static __attribute__((noinline)) u64 sqrt_low_word_wide(u32 s1, u32 n_hi, u32 n_lo) {
  const u64 n = (u64)n_hi << 32 | n_lo, u = 2 * (n % s1);
  return ((u64)s1 << 32) + n / s1 - (u >> 32 == 0);
}

u64 ext_sqrt_mant_normal(u64 m) {
  u32 r_hi, r_lo;
  const u32 s1 = sqrt_rem64((u32)(m >> 32), (u32)m, &r_hi, &r_lo);  // the root's upper word
  // The lower word: (r1 * 2^32) / (2 * s1), computed as (r1 * 2^31) / s1
  // (r1 < 2^33); it may reach 2^32.
  const u32 n_hi = r_hi << 31 | r_lo >> 1, n_lo = r_lo << 31;
  if (__builtin_expect(n_hi >= s1, 0)) return sqrt_low_word_wide(s1, n_hi, n_lo);
  u32 rest;
  const u32 q = divide_narrow((u64)n_hi << 32 | n_lo, s1, &rest);
  // The remainder u * 2^32 - q^2, u twice the division's: negative, one less.
  const u64 q2 = (u64)q * q;
  const u32 q2_hi = (u32)(q2 >> 32), u_lo = rest << 1;
  const bool negative = !(rest >> 31) && (u_lo < q2_hi || (u_lo == q2_hi && (u32)q2 != 0));
  return ((u64)s1 << 32) + q - negative;
}

u64 ext_sqrt_mant(u64 m) {
  if (m == 0) return 0;
  // Normalise the radicand by an even shift (m * 4^k); the root then
  // carries k extra bits, which are cut again at the end.
  int k = ext_clz64(m) / 2;
  return ext_sqrt_mant_normal(m << 2 * k) >> k;
}
