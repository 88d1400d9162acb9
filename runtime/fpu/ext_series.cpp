// Series and reductions of the transcendental instructions. Each is
// written once over an arithmetic `a`: a table of routines (the reference
// runs the very same steps over its own), or, for the emulator's own
// routines, the same routines with their common cases inline, so that the
// many products and sums of a series make no indirect calls.
#include "ext_core.h"
#include "ext_series.h"

namespace {

#define EXT_ALWAYS __attribute__((always_inline))

// ext_fast with the inline cores: the same results, routine for routine.
struct InlineArith {
  EXT_ALWAYS static void add(const ExtValue* x, const ExtValue* y, ExtValue* r) { ext_add_hot(x, y, r); }
  EXT_ALWAYS static void sub(const ExtValue* x, const ExtValue* y, ExtValue* r) { ext_sub_hot(x, y, r); }
  EXT_ALWAYS static void mul(const ExtValue* x, const ExtValue* y, ExtValue* r) {
    u32 head;
    if (!ext_mul_common_head(x, y, &head)) return ext_mul(x, y, r);
    // The counters and coefficients of the series are small integers.
    if (x->mant_lo == 0) return ext_mul_common_product_short(y, x, head, r);
    if (y->mant_lo == 0) return ext_mul_common_product_short(x, y, head, r);
    ext_mul_common_product(x, y, head, r);
  }
  static void div(const ExtValue* x, const ExtValue* y, ExtValue* r) { ext_div(x, y, r); }
  static int compare(ExtValue* x, ExtValue* y) { return ext_compare(x, y); }
  static void round_int_mode(ExtValue* v, u32 rc) { ext_round_int_mode(v, rc); }
  static void from_i32(i32 v, ExtValue* r) { ext_from_i32(v, r); }
  static void from_magnitude(u64 m, int sign, ExtValue* r) { ext_from_magnitude(m, sign, r); }
};
const InlineArith inline_arith = {};

}  // namespace

// Runs `body` over the inline arithmetic when `a` is the emulator's own.
#define OVER_ARITH(a, body)                      \
  do {                                           \
    if ((a) == &ext_fast) {                      \
      const InlineArith* fast = &inline_arith;   \
      body(fast);                                \
    } else {                                     \
      body(a);                                   \
    }                                            \
  } while (0)

const ExtValue ext_sqrt2_bound = {0, TAG_VALID, 0x3FFF, 0xF9DE6000u, 0xB504F333u};

// The quotient as an integer value, rounded by `rc`; returns it modulo 2^64.
template <class A>
static u64 integer_quotient(const A* a, ExtValue* q, u32 rc) {
  if (q->tag == TAG_SPECIAL && ext_is_inf(q)) {
    fpu_raise(FPU_EX_INVALID);
    a->from_magnitude(0x8000000000000000ull, 1, q);
    return 0x8000000000000000ull;
  }
  ExtValue c = *q;
  a->round_int_mode(&c, rc);
  u64 magnitude = ext_mant(&c);
  int sign = magnitude ? q->sign : 0;
  a->from_magnitude(magnitude, sign, q);
  return sign ? 0ull - magnitude : magnitude;
}

template <class A>
static int partial_remainder_over(const A* a, ExtValue* x, const ExtValue* y, u32 rc, bool* incomplete) {
  ExtValue q, product;
  a->div(x, y, &q);
  u64 n = 0;
  if (x->exponent - y->exponent < 64) {
    n = integer_quotient(a, &q, rc);
    *incomplete = false;
  } else {
    // Only the quotient's leading 63 bits count.
    int16_t exponent = q.exponent;
    q.exponent = 16445;
    integer_quotient(a, &q, rc);
    q.exponent = exponent;
    *incomplete = true;
  }
  a->mul(y, &q, &product);
  a->sub(x, &product, x);
  return (int)(n & 7);
}

template <class A>
static int reduce_quadrant_over(const A* a, ExtValue* x) {
  bool incomplete;
  int q = partial_remainder_over(a, x, &ext_half_pi, RC_CHOP, &incomplete);
  if (q & 1) a->sub(&ext_half_pi, x, x);
  return q;
}

template <class A>
static void sin_cos_series_over(const A* a, const ExtValue* x, ExtValue* sine, ExtValue* cosine) {
  ExtValue x2, s_term = *x, s_sum = *x, c_term = ext_one, c_sum = ext_one, k, t;
  a->mul(x, x, &x2);
  for (int i = 2; i <= 22; i += 2) {
    if (sine) {
      s_term.sign ^= 1;
      a->mul(&x2, &s_term, &t);
      a->from_i32(i * (i + 1), &k);
      a->div(&t, &k, &s_term);
      a->add(&s_term, &s_sum, &s_sum);
    }
    if (cosine) {
      c_term.sign ^= 1;
      a->mul(&x2, &c_term, &t);
      a->from_i32(i * (i - 1), &k);
      a->div(&t, &k, &c_term);
      a->add(&c_term, &c_sum, &c_sum);
    }
  }
  if (sine) *sine = s_sum;
  if (cosine) *cosine = c_sum;
}

// arctan t = t / (1 + t^2 / (3 + 4t^2 / (5 + 9t^2 / (7 + ...)))) by the
// forward recurrences of its convergents.
template <class A>
static void atan2_general_over(const A* a, const ExtValue* x, const ExtValue* y, ExtValue* r) {
  ExtValue xv = *x, yv = *y;
  int octant = (yv.sign ? 1 : 0) | (xv.sign ? 2 : 0);
  xv.sign = 0;
  yv.sign = 0;
  if (a->compare(&yv, &xv) == CMP_GREATER) {
    ExtValue swap = xv;
    xv = yv;
    yv = swap;
    octant |= 4;
  }
  ExtValue t, t2, k = ext_one, an, b, p1, p2;
  a->div(&yv, &xv, &t);
  a->mul(&t, &t, &t2);
  ExtValue A2 = ext_zero, A1 = t, B2 = ext_one, B1 = ext_one;
  for (int i = 3; i <= 51; i += 2) {
    a->mul(&k, &t2, &an);
    a->from_i32(i, &b);
    ExtValue A0, B0;
    a->mul(&b, &A1, &p1);
    a->mul(&A2, &an, &p2);
    a->add(&p1, &p2, &A0);
    a->mul(&b, &B1, &p1);
    a->mul(&B2, &an, &p2);
    a->add(&p1, &p2, &B0);
    A2 = A1;
    A1 = A0;
    B2 = B1;
    B1 = B0;
    a->add(&k, &b, &k);
  }
  ExtValue res;
  a->div(&A2, &B2, &res);
  if (octant & 4) a->sub(&ext_half_pi, &res, &res);
  if (octant & 2) a->sub(&ext_pi, &res, &res);
  if (octant & 1) res.sign ^= 1;
  *r = res;
}

template <class A>
static void exp2m1_series_over(const A* a, const ExtValue* x, ExtValue* r) {
  ExtValue y, term, sum, t, k;
  a->mul(&ext_ln2, x, &y);
  term = y;
  sum = y;
  for (int i = 2; i <= 18; i++) {
    a->mul(&term, &y, &t);
    a->from_i32(i, &k);
    a->div(&t, &k, &term);
    a->add(&term, &sum, &sum);
  }
  *r = sum;
}

// log2 x = g + 2 atanh(s) / ln 2 with s = (m - 1) / (m + 1), m within
// [sqrt(2)/2, sqrt(2)].
template <class A>
static void ylog2x_general_over(const A* a, const ExtValue* x, const ExtValue* y, ExtValue* r) {
  ExtValue m = *x;
  int g = m.exponent - EXT_BIAS;
  m.exponent = EXT_BIAS;
  ExtValue bound = ext_sqrt2_bound;
  if (a->compare(&m, &bound) == CMP_GREATER) {
    m.exponent = EXT_BIAS - 1;
    g++;
  }
  ExtValue num, den, s, s2, p, sum, t, k;
  a->sub(&m, &ext_one, &num);
  a->add(&m, &ext_one, &den);
  a->div(&num, &den, &s);
  p = s;
  sum = s;
  a->mul(&s, &s, &s2);
  for (int i = 3; i <= 23; i += 2) {
    a->mul(&p, &s2, &p);
    a->from_i32(i, &k);
    a->div(&p, &k, &t);
    a->add(&t, &sum, &sum);
  }
  ExtValue l;
  a->div(&sum, &ext_ln2, &l);
  l.exponent++;
  if (g != 0) {
    a->from_i32(g, &k);
    a->add(&k, &l, &l);
  }
  a->mul(&l, y, r);
}

int ext_partial_remainder(const ExtArith* a, ExtValue* x, const ExtValue* y, u32 rc, bool* incomplete) {
  int q;
#define RUN(arith) q = partial_remainder_over(arith, x, y, rc, incomplete)
  OVER_ARITH(a, RUN);
#undef RUN
  return q;
}

int ext_reduce_quadrant(const ExtArith* a, ExtValue* x) {
  int q;
#define RUN(arith) q = reduce_quadrant_over(arith, x)
  OVER_ARITH(a, RUN);
#undef RUN
  return q;
}

void ext_sin_cos_series(const ExtArith* a, const ExtValue* x, ExtValue* sine, ExtValue* cosine) {
#define RUN(arith) sin_cos_series_over(arith, x, sine, cosine)
  OVER_ARITH(a, RUN);
#undef RUN
}

void ext_atan2_general(const ExtArith* a, const ExtValue* x, const ExtValue* y, ExtValue* r) {
#define RUN(arith) atan2_general_over(arith, x, y, r)
  OVER_ARITH(a, RUN);
#undef RUN
}

void ext_exp2m1_series(const ExtArith* a, const ExtValue* x, ExtValue* r) {
#define RUN(arith) exp2m1_series_over(arith, x, r)
  OVER_ARITH(a, RUN);
#undef RUN
}

void ext_ylog2x_general(const ExtArith* a, const ExtValue* x, const ExtValue* y, ExtValue* r) {
#define RUN(arith) ylog2x_general_over(arith, x, y, r)
  OVER_ARITH(a, RUN);
#undef RUN
}
