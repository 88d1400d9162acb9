// The D9 F0-FF group: square root, trigonometry, logarithms, powers,
// scaling, rounding, exponent extraction and partial remainders.
#include "ext_series.h"
#include "fpu_direct.h"
#include "fpu_dispatch.h"

// The square root of a present ST(0): every case.
static __attribute__((noinline)) void square_root_general(ExtValue* v) {
  if (v->tag == TAG_ZERO) return;
  if (v->tag == TAG_SPECIAL && (ext_nan_kind(v) || !v->sign)) return;
  if (v->sign) {
    fpu_raise(FPU_EX_INVALID);
    *v = ext_indefinite;
    return;
  }
  int e = v->exponent;
  u64 m = ext_mant(v);
  if (e & 1) {
    m >>= 1;
    e++;
  }
  ext_set_mant(v, ext_sqrt_mant(m));
  v->exponent = (int16_t)((e - 0x4000) / 2 + EXT_BIAS);
  v->tag = TAG_VALID;
  ext_normalise(v);
}

// The same for a positive `Valid` value inline: its record written with
// one head store (the next instruction reads the head whole), and nothing
// that needs the GOT base.
static inline void square_root(ExtValue* v) {
  const u32 head = ext_head(v);
  if (__builtin_expect((head & 0xFFFF) != 0, 0)) return square_root_general(v);
  int e = ext_head_exponent(head);
  u64 m = ext_mant(v);
  if (e & 1) {
    m >>= 1;
    e++;
  }
  const u64 root = m >> 62 ? ext_sqrt_mant_normal(m) : ext_sqrt_mant(m);
  ext_put(v, 0, TAG_VALID, ((e - 0x4000) >> 1) + EXT_BIAS, root);  // e - 0x4000 is even
  if (!(root >> 63)) ext_normalise(v);
}

void op_fsqrt(FpuCall*) {
  if (fpu_check(0)) square_root(fpu_st(0));
}

// The direct entry of D9 F8-FF (translated code): FSQRT without the
// instruction record while every exception is masked (nothing can then
// abandon it), the rest through the cell's operation.
int X87_D9_7_r(u32 i, FpuState* s) {
  i &= 7;
  ExtValue* s0 = fpu_reg(s, 0);
  if (__builtin_expect(i != 2 || s0->tag == TAG_EMPTY || !fpu_all_masked(s), 0))
    return fpu_run_decoded(ROW_D9, 0xF8 | i, 0);
  square_root(s0);
  return 0;
}

void X87_value_root(ExtValue* v) { square_root(v); }

// Arguments the trigonometric instructions do not reduce: infinities
// (invalid), NaNs, and magnitudes of 2^64 and more. Sets C2 and reports true.
static bool trig_out_of_range(ExtValue* x) {
  if (x->exponent > EXT_EXP_MAX) {
    if (!ext_nan_kind(x)) fpu_raise(FPU_EX_INVALID);
    fpu_set_cc(SW_C2);
    return true;
  }
  if (x->exponent > 16446) {
    fpu_set_cc(SW_C2);
    return true;
  }
  return false;
}

static void sin_or_cos(bool cosine) {
  if (!fpu_check(0)) return;
  ExtValue* x = fpu_st(0);
  if (trig_out_of_range(x)) return;
  int q = ext_reduce_quadrant(&ext_fast, x);
  ExtValue sum;
  if (cosine) ext_sin_cos_series(&ext_fast, x, nullptr, &sum);
  else ext_sin_cos_series(&ext_fast, x, &sum, nullptr);
  fpu_set_cc(0);
  if (cosine ? ((q & 3) == 1 || (q & 3) == 2) : (q & 2)) sum.sign ^= 1;
  *x = sum;
}
void op_fsin(FpuCall*) { sin_or_cos(false); }
void op_fcos(FpuCall*) { sin_or_cos(true); }

// Returns true when a result was pushed.
static bool fsincos(void) {
  if (!fpu_check(0) || !fpu_push_check()) return false;
  ExtValue* x = fpu_st(0);
  if (x->exponent > EXT_EXP_MAX) {
    if (!ext_nan_kind(x)) {
      fpu_raise(FPU_EX_INVALID);
      return false;
    }
    ExtValue nan = *x;
    fpu_state.top--;
    *fpu_st(0) = nan;
    return true;
  }
  if (x->exponent > 16446) {
    fpu_set_cc(SW_C2);
    return false;
  }
  int q = ext_reduce_quadrant(&ext_fast, x);
  ExtValue sine, cosine;
  ext_sin_cos_series(&ext_fast, x, &sine, &cosine);
  fpu_set_cc(0);
  if (q & 2) sine.sign ^= 1;
  if ((q & 3) == 1 || (q & 3) == 2) cosine.sign ^= 1;
  *x = sine;
  fpu_state.top--;
  *fpu_st(0) = cosine;
  return true;
}
void op_fsincos(FpuCall*) { fsincos(); }

// FPTAN goes on only when FSINCOS produced its pair, so an argument it
// refused leaves the registers as FSINCOS left them.
void op_fptan(FpuCall*) {
  if (!fsincos()) return;
  if (fpu_state.status & SW_C2) return;
  if (!fpu_check(1)) return;
  ext_div(fpu_st(1), fpu_st(0), fpu_st(1));
  *fpu_st(0) = ext_one;
}

static ExtValue with_sign(const ExtValue* v, int sign) {
  ExtValue r = *v;
  r.sign = (int8_t)sign;
  return r;
}

void op_fpatan(FpuCall*) {
  if (!fpu_check(1)) return;
  ExtValue x = *fpu_st(0), y = *fpu_st(1);
  ExtValue* out = fpu_st(1);
  if (ext_nan_kind(&x) || ext_nan_kind(&y)) {
    *out = ext_indefinite;
  } else if (x.tag == TAG_ZERO) {
    *out = with_sign(y.tag == TAG_ZERO ? &ext_pi : &ext_half_pi, y.sign);
  } else if (y.tag == TAG_ZERO) {
    *out = with_sign(x.sign ? &ext_pi : &ext_zero, y.sign);
  } else if (x.tag == TAG_SPECIAL) {
    ExtValue r;
    if (y.tag != TAG_SPECIAL) {
      r = x.sign ? ext_pi : ext_zero;
    } else {
      ExtValue two, quarter;
      ext_from_i32(2, &two);
      ext_div(&ext_half_pi, &two, &quarter);
      if (x.sign) ext_sub(&ext_pi, &quarter, &r);
      else ext_add(&ext_zero, &quarter, &r);
    }
    *out = with_sign(&r, y.sign);
  } else if (y.tag == TAG_SPECIAL) {
    *out = with_sign(&ext_half_pi, y.sign);
  } else {
    ext_atan2_general(&ext_fast, &x, &y, out);
  }
  fpu_pop();
}

void op_f2xm1(FpuCall*) {
  if (!fpu_check(0)) return;
  ext_exp2m1_series(&ext_fast, fpu_st(0), fpu_st(0));
}

static void fyl2x(void) {
  if (!fpu_check(0) || !fpu_check(1)) return;
  ExtValue x = *fpu_st(0), y = *fpu_st(1);
  ExtValue* out = fpu_st(1);
  bool y_inf = ext_is_inf(&y);
  if (ext_is_neg_inf(&x) || (x.sign && x.tag == TAG_VALID) || (x.tag == TAG_ZERO && y.tag == TAG_ZERO) ||
      (ext_is_pos_inf(&x) && y.tag == TAG_ZERO) || (ext_equal(&x, &ext_one) && y_inf)) {
    fpu_raise(FPU_EX_INVALID);
    *out = ext_indefinite;
  } else if (x.tag == TAG_ZERO) {
    fpu_raise(FPU_EX_ZERO_DIVIDE);
    *out = with_sign(&ext_pos_inf, y.sign ^ 1);
  } else if (ext_nan_kind(&x)) {
    *out = x;
  } else if (ext_nan_kind(&y)) {
    // ST(1) stays.
  } else if (ext_is_pos_inf(&x)) {
    *out = with_sign(&ext_pos_inf, y.sign);
  } else {
    ext_ylog2x_general(&ext_fast, &x, &y, out);
  }
  fpu_pop();
}
void op_fyl2x(FpuCall*) { fyl2x(); }
void op_fyl2xp1(FpuCall*) {
  if (!fpu_check(0)) return;
  ext_add(fpu_st(0), &ext_one, fpu_st(0));
  fyl2x();
}

void op_fscale(FpuCall*) {
  if (!fpu_check(1)) return;
  ExtValue* v = fpu_st(0);
  const ExtValue* s = fpu_st(1);
  if (v->exponent > EXT_EXP_MAX || s->exponent > EXT_EXP_MAX) return;
  // The scale truncated to an integer, saturated to 64 bits.
  ExtValue c = *s;
  ext_round_int_mode(&c, RC_CHOP);
  u64 mag = ext_mant(&c);
  i64 n;
  if (!s->sign) n = mag > 0x7FFFFFFFFFFFFFFFull ? INT64_MAX : (i64)mag;
  else n = mag >= 0x8000000000000000ull ? INT64_MIN : -(i64)mag;
  if (v->tag == TAG_ZERO) return;  // a zero scales to itself
  if (n <= (i64)EXT_EXP_MAX - v->exponent) {
    i64 e = v->exponent + n;
    if (e < EXT_EXP_FLOOR) {
      int sign = v->sign;
      *v = ext_zero;
      v->sign = (int8_t)sign;
    } else {
      v->exponent = (int16_t)e;
    }
  } else {
    fpu_raise(FPU_EX_OVERFLOW);
    *v = with_sign(&ext_pos_inf, v->sign);
  }
}

void op_frndint(FpuCall*) {
  if (!fpu_check(0)) return;
  ExtValue* v = fpu_st(0);
  if (v->exponent > 16445) return;
  int sign = v->sign;
  ExtValue c = *v;
  ext_round_int(&c);
  ext_from_magnitude(ext_mant(&c), 0, v);
  v->sign = (int8_t)sign;
}

void op_fxtract(FpuCall*) {
  if (!fpu_check(0) || !fpu_push_check()) return;
  ExtValue v = *fpu_st(0);
  fpu_state.top--;
  *fpu_st(0) = v;
  fpu_st(0)->exponent = EXT_BIAS;
  ext_from_i32(v.exponent - EXT_BIAS, fpu_st(1));
}

static void partial_remainder(u32 rc, bool keep_sign) {
  if (!fpu_check(1)) return;
  ExtValue* x = fpu_st(0);
  int sign = x->sign;
  bool incomplete;
  int n = ext_partial_remainder(&ext_fast, x, fpu_st(1), rc, &incomplete);
  if (keep_sign || x->tag == TAG_ZERO) x->sign = (int8_t)sign;
  if (incomplete) fpu_set_cc(SW_C2);
  else fpu_set_cc(((n & 4) ? SW_C0 : 0) | ((n & 2) ? SW_C3 : 0) | ((n & 1) ? SW_C1 : 0));
}
void op_fprem(FpuCall*) { partial_remainder(RC_CHOP, true); }
void op_fprem1(FpuCall*) { partial_remainder(RC_NEAREST, false); }
