// Times, in one run: Emu87 per instruction, the step-by-step reference
// routines for the same operations, and the host's own x87 executing the
// same instructions through the same per-instruction call harness.
#include <cstdio>
#include <cstring>
#include <ctime>

#include "ext_series.h"
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

// Calls `steps[i % n]` per instruction; returns ns per call.
double time_steps(const Step* steps, int n, long count, const u8* const* codes) {
  Env env = {};
  env.ESI = guest_addr(&memory64);
  env.EDI = guest_addr(&memory32);
  double t0 = now_ns();
  for (long i = 0; i < count; i++) {
    env.EIP = guest_addr(codes[i % n]);
    steps[i % n](&env);
  }
  return (now_ns() - t0) / (double)count;
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
HOST(host_fistp_m32, "fistpl (%%edi)")
void host_setup(void) { asm volatile("fninit\n\tfld1\n\tfld1" ::: "memory"); }
void host_mul_setup(void) {
  // ST(1) = 1 + 2^-40 keeps repeated products and quotients in range.
  static const u64 near_one = 0x3FF0000000000100ull;
  asm volatile("fninit\n\tfldl %0\n\tfld1" ::"m"(near_one) : "memory");
}

void emu_setup(bool near_one) {
  fpu_reset();
  ExtValue v = ext_one;
  fpu_state.top = 6;
  fpu_state.regs[6] = ext_one;
  if (near_one) ext_set_mant(&v, 0x8000000000800000ull);
  fpu_state.regs[7] = v;
}

// Literal routines in an instruction-sized unit of work.
ExtValue ra, rb = ext_one, rr;
int ref_fadd(Env*) { ref_add(&ra, &rb, &ra); return 0; }
int ref_fmul(Env*) { ref_mul(&ra, &rb, &ra); return 0; }
int ref_fdiv(Env*) { ref_div(&ra, &rb, &ra); return 0; }
int ref_fsqrt(Env*) {
  rr = ra;
  ext_set_mant(&rr, ref_sqrt_mant(ext_mant(&ra) >> 1));
  return 0;
}
int ref_fld_m64(Env* e) {
  u64 w = mem_read64(e->ESI);
  rr.sign = (int8_t)(w >> 63);
  rr.tag = TAG_VALID;
  rr.exponent = (int16_t)(((w >> 52) & 0x7FF) + 0x3C00);
  ext_set_mant(&rr, 0x8000000000000000ull | w << 11);
  ref_normalise(&rr);
  return 0;
}
int ref_fstp_m64(Env* e) {
  mem_write64(e->ESI, ref_store_real8(&rr, RC_NEAREST));
  return 0;
}
int ref_fistp_m32(Env* e) {
  ExtValue c = rr;
  ref_round_int_mode(&c, RC_NEAREST);
  guest_write32(e->EDI, c.mant_lo);
  return 0;
}
int ref_fsin(Env*) {
  ExtValue x = ra, s;
  ext_reduce_quadrant(&ext_reference, &x);
  ext_sin_cos_series(&ext_reference, &x, &s, nullptr);
  return 0;
}
int ref_fpatan(Env*) {
  ExtValue r;
  ext_atan2_general(&ext_reference, &ext_one, &ra, &r);
  return 0;
}

struct Row {
  const char* name;
  double emu, ref, host;
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
  ra = ext_one;
  ra.mant_lo = 0x12345;
  ExtValue near_one = ext_one;
  ext_set_mant(&near_one, 0x8000000000800000ull);

  // FLD/FSTP m64 (per instruction, alternating).
  set_code(0, 0xDD, 0x06);
  set_code(1, 0xDD, 0x1E);
  fpu_reset();
  double e = time_steps(emu, 2, N, c01);
  Step rs[2] = {ref_fld_m64, ref_fstp_m64};
  double r = time_steps(rs, 2, N, c01);
  host_setup();
  Step hs[2] = {host_fld_m64, host_fstp_m64};
  double h = time_steps(hs, 2, N, c01);
  asm volatile("fninit");
  rows[n++] = {"FLD/FSTP m64", e, r, h};

  struct Simple {
    const char* name;
    u8 b0, b1;
    bool mul;
    Step ref, host;
    long count;
  } simple[] = {
      {"FADD", 0xD8, 0xC1, false, ref_fadd, host_fadd, N},
      {"FMUL", 0xD8, 0xC9, true, ref_fmul, host_fmul, N},
      {"FDIV", 0xD8, 0xF1, true, ref_fdiv, host_fdiv, N},
      {"FSQRT", 0xD9, 0xFA, false, ref_fsqrt, host_fsqrt, N},
      {"FSIN", 0xD9, 0xFE, false, ref_fsin, host_fsin, SLOW},
  };
  for (const Simple& s : simple) {
    set_code(0, s.b0, s.b1);
    emu_setup(s.mul);
    e = time_steps(emu, 1, s.count, c0);
    rb = s.mul ? near_one : ext_one;
    ra = ext_one;
    ra.mant_lo = 0x12345;
    Step rs1[1] = {s.ref};
    r = time_steps(rs1, 1, s.count, c0);
    if (s.mul) host_mul_setup();
    else host_setup();
    Step hs1[1] = {s.host};
    h = time_steps(hs1, 1, s.count, c0);
    asm volatile("fninit");
    rows[n++] = {s.name, e, r, h};
  }

  // FISTP m32 of a tiny value (2^-16000: the literal rounding shifts about
  // 16,400 times): FLD m80 + FISTP m32 pairs, less FLD m80 + FSTP ST(0).
  static u8 tiny[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0x7F, 0x00};  // exponent 0x7F
  Env tiny_env = {};
  set_code(0, 0xDB, 0x2E);  // FLD tword [ESI]
  set_code(1, 0xDB, 0x1F);  // FISTP dword [EDI]
  memory64 = 0;
  {
    Env env = {};
    env.ESI = guest_addr(tiny);
    env.EDI = guest_addr(&memory32);
    auto timed = [&](u8 second, long count) {
      set_code(1, second == 0 ? 0xDB : 0xDD, second == 0 ? 0x1F : 0xD8);
      fpu_reset();
      double t0 = now_ns();
      for (long i = 0; i < count; i++) {
        env.EIP = guest_addr(code[i & 1]);
        Emu87(&env);
      }
      return (now_ns() - t0) / (double)count * 2;
    };
    e = timed(0, N) - timed(1, N);
  }
  tiny_env.ESI = guest_addr(tiny);
  load_real10(guest_addr(tiny), &rr);
  Step ri[1] = {ref_fistp_m32};
  r = time_steps(ri, 1, SLOW / 10, c0);
  host_setup();
  {
    long count = N;
    double t0 = now_ns();
    for (long i = 0; i < count; i++) asm volatile("fldt (%0)\n\tfistpl (%1)" ::"r"(tiny), "r"(&memory32) : "memory");
    double pair_host = (now_ns() - t0) / (double)count;
    t0 = now_ns();
    for (long i = 0; i < count; i++) asm volatile("fldt (%0)\n\tfstp %%st(0)" ::"r"(tiny) : "memory");
    h = pair_host - (now_ns() - t0) / (double)count;
  }
  asm volatile("fninit");
  (void)tiny_env;
  rows[n++] = {"FISTP m32", e, r, h};

  // FPATAN: FLD1 + FPATAN pairs, less the FLD1.
  set_code(0, 0xD9, 0xE8);
  set_code(1, 0xD9, 0xF3);
  emu_setup(false);
  Step one[1] = {Emu87};
  e = time_steps(emu, 2, SLOW, c01) * 2;
  emu_setup(false);
  fpu_state.top = 0;
  e -= time_steps(one, 1, 6, c0);
  Step rp[1] = {ref_fpatan};
  r = time_steps(rp, 1, SLOW / 10, c0);
  asm volatile("fninit\n\tfld1" ::: "memory");
  Step ha[2] = {host_fld1, host_fpatan};
  h = time_steps(ha, 2, SLOW, c01) * 2;
  rows[n++] = {"FPATAN", e, r, h};
  asm volatile("fninit");

  printf("%-14s %12s %14s %12s %14s %14s\n", "instruction", "Emu87 ns", "reference ns", "host ns",
         "ref / Emu87", "Emu87 / host");
  for (int i = 0; i < n; i++)
    printf("%-14s %12.1f %14.1f %12.1f %14.1f %14.1f\n", rows[i].name, rows[i].emu, rows[i].ref, rows[i].host,
           rows[i].ref / rows[i].emu, rows[i].emu / rows[i].host);
  return 0;
}
