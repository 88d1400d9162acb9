// Times, in one run: Emu87 per instruction, the direct entries that
// translated code calls for the same instructions (decoded ahead of time),
// the step-by-step reference routines for the same operations, and the
// host's own x87 executing the same instructions through the same
// per-instruction call harness.
#include <cstdio>
#include <cstring>
#include <ctime>

#include "ext_series.h"
#include "fpu_direct.h"
#include "fpu_memory.h"
#include "fpu_state.h"
#include "ref_arith.h"
#include "trevik.h"

extern "C" int log_puts(const char*) { return 0; }
extern "C" int log_printf(const char*, ...) { return 0; }

namespace {

double now_ns() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e9 + (double)t.tv_nsec;
}

typedef int (*Step)(Env*);
u8 code[2][16];
u64 memory64 = 0x400921FB54442D18ull;  // pi
u32 memory32;

// Calls `steps[i & mask]` per instruction (n is 1 or 2); returns ns per
// call, the best of five runs (the machine is shared).
double time_steps(const Step* steps, int n, long count, const u8* const* codes, void (*setup)(void) = nullptr) {
  double best = 1e30;
  u32 mask = (u32)n - 1;
  for (int run = 0; run < 5; run++) {
    if (setup) setup();
    Env env = {};
    env.ESI = guest_addr(&memory64);
    env.EDI = guest_addr(&memory32);
    double t0 = now_ns();
    for (long i = 0; i < count; i++) {
      env.EIP = guest_addr(codes[i & mask]);
      steps[i & mask](&env);
    }
    double t = (now_ns() - t0) / (double)count;
    if (t < best) best = t;
  }
  return best;
}

// Host x87: the same instruction, one call each, state kept in the x87.
#define HOST(name, text) \
  int name(Env* e) {     \
    asm volatile(text ::"S"(e->ESI), "D"(e->EDI) : "memory"); \
    e->EIP += 2;         \
    return 0;            \
  }
HOST(host_fadd, "fadd %%st(1), %%st")
HOST(host_fmul, "fmul %%st(1), %%st")
HOST(host_fdiv, ".byte 0xd8, 0xf1")
HOST(host_fsqrt, "fsqrt")
HOST(host_fsin, "fsin")
HOST(host_fpatan, "fpatan")
HOST(host_fld1, "fld1")
HOST(host_fld_m64, "fldl (%%esi)")
HOST(host_fstp_m64, "fstpl (%%esi)")
void host_setup(void) { asm volatile("fninit\n\tfld1\n\tfld1" ::: "memory"); }
void host_mul_setup(void) {
  // ST(1) = 1 + 2^-40 keeps repeated products and quotients in range.
  static const u64 near_one = 0x3FF0000000000100ull;
  asm volatile("fninit\n\tfldl %0\n\tfld1" ::"m"(near_one) : "memory");
}

// The direct entries, in the same harness (the callee advances EIP, as
// the host's instructions do); the operands as the translator decodes them.
#define DIRECT(name, call) \
  int name(Env* e) {       \
    int r = call;          \
    e->EIP += 2;           \
    return r;              \
  }
DIRECT(direct_fadd, X87_D8_0_r(1, X87S))
DIRECT(direct_fmul, X87_D8_1_r(1, X87S))
DIRECT(direct_fdiv, X87_D8_6_r(1, X87S))
DIRECT(direct_fsqrt, X87_D9_7_r(2, X87S))
DIRECT(direct_fsin, X87Exec(e->EIP, 0xD9FE, 0, e))
DIRECT(direct_fpatan, X87Exec(e->EIP, 0xD9F3, 0, e))
DIRECT(direct_fld1, X87_D9_5_r(0, X87S))
DIRECT(direct_fld_m64, X87_DD_0_m(e->ESI, X87S))
DIRECT(direct_fstp_m64, X87_DD_3_m(e->ESI, X87S))

// ST(0) = 1, ST(1) = 1 (or 1 + 2^-40 for products and quotients).
bool setup_near_one;
void emu_setup(void) {
  fpu_reset();
  ExtValue v = ext_one;
  fpu_state.top = 6;
  fpu_state.regs[6] = ext_one;
  if (setup_near_one) ext_set_mant(&v, 0x8000000000800000ull);
  fpu_state.regs[7] = v;
}
void emu_reset(void) { fpu_reset(); }

// The arithmetic cores alone, emulator and literal, on the same operands.
ExtValue ca, cb, cr;
void core_setup(void) {
  ca = ext_one;
  ca.mant_lo = 0x12345;
  cb = ext_one;
  if (setup_near_one) ext_set_mant(&cb, 0x8000000000800000ull);
}
int fast_fadd(Env*) { ext_add(&ca, &cb, &ca); return 0; }
int fast_fmul(Env*) { ext_mul(&ca, &cb, &ca); return 0; }
int fast_fdiv(Env*) { ext_div(&ca, &cb, &ca); return 0; }
int fast_fsqrt(Env*) {
  cr = ca;
  ext_set_mant(&cr, ext_sqrt_mant(ext_mant(&ca) >> 1));
  return 0;
}
int ref_fadd(Env*) { ref_add(&ca, &cb, &ca); return 0; }
int ref_fmul(Env*) { ref_mul(&ca, &cb, &ca); return 0; }
int ref_fdiv(Env*) { ref_div(&ca, &cb, &ca); return 0; }
int ref_fsqrt(Env*) {
  cr = ca;
  ext_set_mant(&cr, ref_sqrt_mant(ext_mant(&ca) >> 1));
  return 0;
}
int fast_fld_m64(Env* e) { load_real8(e->ESI, &cr); return 0; }
int fast_fstp_m64(Env* e) { store_real8(&cr, e->ESI); return 0; }
int ref_fld_m64(Env* e) {
  u64 w = mem_read64(e->ESI);
  cr.sign = (int8_t)(w >> 63);
  cr.tag = TAG_VALID;
  cr.exponent = (int16_t)(((w >> 52) & 0x7FF) + 0x3C00);
  ext_set_mant(&cr, 0x8000000000000000ull | w << 11);
  ref_normalise(&cr);
  return 0;
}
int ref_fstp_m64(Env* e) {
  mem_write64(e->ESI, ref_store_real8(&cr, RC_NEAREST));
  return 0;
}
ExtValue tiny_value;
int fast_fistp_m32(Env* e) { store_int32(&tiny_value, e->EDI); return 0; }
int ref_fistp_m32(Env* e) {
  ExtValue c = tiny_value;
  ref_round_int_mode(&c, RC_NEAREST);
  guest_write32(e->EDI, c.mant_lo);
  return 0;
}
int fast_fsin(Env*) {
  ExtValue x = ca, s;
  ext_reduce_quadrant(&ext_fast, &x);
  ext_sin_cos_series(&ext_fast, &x, &s, nullptr);
  return 0;
}
int ref_fsin(Env*) {
  ExtValue x = ca, s;
  ext_reduce_quadrant(&ext_reference, &x);
  ext_sin_cos_series(&ext_reference, &x, &s, nullptr);
  return 0;
}
int fast_fpatan(Env*) {
  ext_atan2_general(&ext_fast, &ext_one, &ca, &cr);
  return 0;
}
int ref_fpatan(Env*) {
  ext_atan2_general(&ext_reference, &ext_one, &ca, &cr);
  return 0;
}

// Additions whose exponents differ by 0 to 64, the range over which the
// literal algorithm aligns one bit per step (beyond 64 it keeps the larger
// operand at once); random significands and signs, so that subtractions
// with their normalising shifts occur too. Cores only: each call takes the
// next pair from a table.
const int GAP_PAIRS = 4096;
ExtValue gap_a[GAP_PAIRS], gap_b[GAP_PAIRS];
u32 gap_next;
void gap_setup(void) {
  u64 x = 0x9E3779B97F4A7C15ull;
  auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return x;
  };
  for (int k = 0; k < GAP_PAIRS; k++) {
    int e = 0x3FFF + (int)(next() % 2000) - 1000;
    gap_a[k] = ext_one;
    gap_b[k] = ext_one;
    ext_set_mant(&gap_a[k], next() | 0x8000000000000000ull);
    ext_set_mant(&gap_b[k], next() | 0x8000000000000000ull);
    gap_a[k].exponent = (int16_t)e;
    gap_b[k].exponent = (int16_t)(e - (int)(next() % 65));
    gap_a[k].sign = (int8_t)(next() & 1);
    gap_b[k].sign = (int8_t)(next() & 1);
  }
  gap_next = 0;
}
int fast_gap_add(Env*) {
  u32 k = gap_next++ & (GAP_PAIRS - 1);
  ext_add(&gap_a[k], &gap_b[k], &cr);
  return 0;
}
int ref_gap_add(Env*) {
  u32 k = gap_next++ & (GAP_PAIRS - 1);
  ref_add(&gap_a[k], &gap_b[k], &cr);
  return 0;
}

struct Row {
  const char* name;
  double emu, direct, lit, emu_core, lit_core, host;
};

}  // namespace

int main() {
  const long N = 2000000, SLOW = 20000;
  Row rows[8];
  int n = 0;
  const u8* c0[1] = {code[0]};
  const u8* c01[2] = {code[0], code[1]};
  auto set_code = [](int i, u8 a, u8 b) {
    code[i][0] = a;
    code[i][1] = b;
  };
  Step emu[2] = {Emu87, Emu87};
  Step lit[2] = {ref_emu87, ref_emu87};

  // FLD/FSTP m64 (per instruction, alternating).
  set_code(0, 0xDD, 0x06);
  set_code(1, 0xDD, 0x1E);
  Row& ls = rows[n++];
  ls.name = "FLD/FSTP m64";
  ls.emu = time_steps(emu, 2, N, c01, emu_reset);
  Step ds[2] = {direct_fld_m64, direct_fstp_m64};
  ls.direct = time_steps(ds, 2, N, c01, emu_reset);
  ls.lit = time_steps(lit, 2, N, c01, emu_reset);
  Step fc[2] = {fast_fld_m64, fast_fstp_m64}, rc[2] = {ref_fld_m64, ref_fstp_m64};
  ls.emu_core = time_steps(fc, 2, N, c01);
  ls.lit_core = time_steps(rc, 2, N, c01);
  Step hs[2] = {host_fld_m64, host_fstp_m64};
  ls.host = time_steps(hs, 2, N, c01, host_setup);
  asm volatile("fninit");

  struct Simple {
    const char* name;
    u8 b0, b1;
    bool mul;
    Step fast, ref, host, direct;
    long count;
  } simple[] = {
      {"FADD", 0xD8, 0xC1, false, fast_fadd, ref_fadd, host_fadd, direct_fadd, N},
      {"FMUL", 0xD8, 0xC9, true, fast_fmul, ref_fmul, host_fmul, direct_fmul, N},
      {"FDIV", 0xD8, 0xF1, true, fast_fdiv, ref_fdiv, host_fdiv, direct_fdiv, N},
      {"FSQRT", 0xD9, 0xFA, false, fast_fsqrt, ref_fsqrt, host_fsqrt, direct_fsqrt, N},
      {"FSIN", 0xD9, 0xFE, false, fast_fsin, ref_fsin, host_fsin, direct_fsin, SLOW},
  };
  for (const Simple& s : simple) {
    set_code(0, s.b0, s.b1);
    setup_near_one = s.mul;
    Row& r = rows[n++];
    r.name = s.name;
    r.emu = time_steps(emu, 1, s.count, c0, emu_setup);
    Step d[1] = {s.direct};
    r.direct = time_steps(d, 1, s.count, c0, emu_setup);
    r.lit = time_steps(lit, 1, s.count, c0, emu_setup);
    Step f[1] = {s.fast}, l[1] = {s.ref}, h[1] = {s.host};
    r.emu_core = time_steps(f, 1, s.count, c0, core_setup);
    r.lit_core = time_steps(l, 1, s.count, c0, core_setup);
    r.host = time_steps(h, 1, s.count, c0, s.mul ? host_mul_setup : host_setup);
    asm volatile("fninit");
  }

  // FISTP m32 of a tiny value (2^-16000: the literal rounding shifts about
  // 16,400 times): FLD m80 + FISTP m32 pairs, less FLD m80 + FSTP ST(0).
  static u8 tiny[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0x7F, 0x00};  // exponent 0x7F
  Row& fi = rows[n++];
  fi.name = "FISTP m32";
  fi.direct = 0;  // not timed: an entry of its own would add nothing to the rounding
  {
    static u8 buffer[16];
    memcpy(buffer, tiny, 10);
    auto pairs = [&](Step step, u8 second, long count) {
      set_code(0, 0xDB, 0x2E);  // FLD tword [ESI]
      set_code(1, second == 0 ? 0xDB : 0xDD, second == 0 ? 0x1F : 0xD8);  // FISTP dword [EDI] / FSTP ST(0)
      double best = 1e30;
      for (int run = 0; run < 5; run++) {
        fpu_reset();
        Env env = {};
        env.ESI = guest_addr(buffer);
        env.EDI = guest_addr(&memory32);
        double t0 = now_ns();
        for (long i = 0; i < count; i++) {
          env.EIP = guest_addr(code[i & 1]);
          step(&env);
        }
        double t = (now_ns() - t0) / (double)count * 2;
        if (t < best) best = t;
      }
      return best;
    };
    fi.emu = pairs(Emu87, 0, N) - pairs(Emu87, 1, N);
    fi.lit = pairs(ref_emu87, 0, SLOW / 10) - pairs(ref_emu87, 1, SLOW / 10);
    load_real10(guest_addr(buffer), &tiny_value);
  }
  Step ff[1] = {fast_fistp_m32}, rf[1] = {ref_fistp_m32};
  fi.emu_core = time_steps(ff, 1, N, c0);
  fi.lit_core = time_steps(rf, 1, SLOW / 10, c0);
  {
    double best_pair = 1e30, best_load = 1e30;
    for (int run = 0; run < 5; run++) {
      asm volatile("fninit");
      double t0 = now_ns();
      for (long i = 0; i < N; i++) asm volatile("fldt (%0)\n\tfistpl (%1)" ::"r"(tiny), "r"(&memory32) : "memory");
      double pair = (now_ns() - t0) / (double)N;
      t0 = now_ns();
      for (long i = 0; i < N; i++) asm volatile("fldt (%0)\n\tfstp %%st(0)" ::"r"(tiny) : "memory");
      double load = (now_ns() - t0) / (double)N;
      if (pair < best_pair) best_pair = pair;
      if (load < best_load) best_load = load;
    }
    fi.host = best_pair - best_load;
  }
  asm volatile("fninit");

  // FPATAN: FLD1 + FPATAN pairs, less the FLD1 (pushing onto ST(0) = 1).
  set_code(0, 0xD9, 0xE8);
  set_code(1, 0xD9, 0xF3);
  setup_near_one = false;
  Row& pa = rows[n++];
  pa.name = "FPATAN";
  auto less_fld1 = [&](Step step) {
    Step pair[2] = {step, step};
    double t = time_steps(pair, 2, SLOW, c01, emu_setup) * 2;
    Step one[1] = {step};
    auto empty_top = [] { fpu_reset(); };
    return t - time_steps(one, 1, 6, c0, empty_top);
  };
  pa.emu = less_fld1(Emu87);
  {
    Step pair[2] = {direct_fld1, direct_fpatan};
    double t = time_steps(pair, 2, SLOW, c01, emu_setup) * 2;
    Step one[1] = {direct_fld1};
    pa.direct = t - time_steps(one, 1, 6, c0, [] { fpu_reset(); });
  }
  pa.lit = less_fld1(ref_emu87);
  core_setup();
  Step fp[1] = {fast_fpatan}, rp[1] = {ref_fpatan};
  pa.emu_core = time_steps(fp, 1, SLOW, c0);
  pa.lit_core = time_steps(rp, 1, SLOW / 10, c0);
  Step ha[2] = {host_fld1, host_fpatan};
  pa.host = time_steps(ha, 2, SLOW, c01, [] { asm volatile("fninit\n\tfld1" ::: "memory"); }) * 2;
  asm volatile("fninit");

  Step fg[1] = {fast_gap_add}, rg[1] = {ref_gap_add};
  double gap_fast = time_steps(fg, 1, N, c0, gap_setup), gap_ref = time_steps(rg, 1, N / 10, c0, gap_setup);

  printf("%-13s %9s %9s %9s %9s %9s %8s %10s %10s %10s %11s\n", "instruction", "Emu87", "direct", "literal",
         "Emu core", "lit. core", "host", "lit/Emu87", "core ratio", "Emu87/host", "direct/host");
  for (int i = 0; i < n; i++) {
    const Row& r = rows[i];
    printf("%-13s %9.1f %9.1f %9.1f %9.1f %9.1f %8.1f %10.1f %10.1f %10.1f %11.1f\n", r.name, r.emu, r.direct,
           r.lit, r.emu_core, r.lit_core, r.host, r.lit / r.emu, r.lit_core / r.emu_core, r.emu / r.host,
           r.direct / r.host);
  }
  printf("(ns per instruction, best of five runs; Emu87 and literal: the whole instruction through the decoder;\n"
         " direct: the entry translated code calls with the operands decoded ahead of time;\n"
         " cores: the arithmetic routine alone on the same operands)\n");
  printf("\nFADD cores, random operands with exponent gaps 0-64 (the literal alignment loop's range):\n"
         "  Emu core %.1f ns, literal core %.1f ns, core ratio %.1f\n",
         gap_fast, gap_ref, gap_ref / gap_fast);
  return 0;
}
