// How much faster the x87 program of bench_programs could become if the
// translator kept the x87 stack's values in host locals across
// instructions, instead of calling one direct entry per instruction.
//
// Both halves run the particle step of bench/programs/physics.c exactly as
// gcc compiled it for the guest (instruction for instruction, branches
// included), on the same particles:
//   - entries: one call of the direct entry per x87 instruction, as
//     translated code does today (state, TOP and registers in memory);
//   - locals: every value in an ExtValue local, each instruction the same
//     routine its entry's common case runs (so the same bits), the stack
//     moves resolved at compile time, no call per instruction.
// The particles must come out bit for bit the same; the program says so.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ext_core.h"
#include "ext_double.h"
#include "fpu_direct.h"
#include "fpu_state.h"

// The x87 linked alone: its trace of unimplemented opcodes goes nowhere.
extern "C" int log_puts(const char*) { return 0; }

namespace {

struct Particle {
  double x, y, vx, vy, mass;
};
Particle cloud[256];

// The guest's constants: time step, gravity, drag, the wall and the bounce.
const double k_dt = 0.01, k_g = -9.81, k_drag = 0.02, k_bounce = -0.9;
const float k_wall = 200.0f;

u32 at(const void* p) { return static_cast<u32>(reinterpret_cast<uintptr_t>(p)); }

void reset() {
  for (int i = 0; i < 256; i++) {
    cloud[i].x = i * 0.75;
    cloud[i].y = 50.0 + (i % 17) * 2.5;
    cloud[i].vx = (i % 7) - 3.0;
    cloud[i].vy = (i % 5) * 0.5;
    cloud[i].mass = 1.0 + (i % 3);
  }
}

// FCOMIP's EFLAGS: ja is neither CF nor ZF.
constexpr u32 kCF = 0x01, kZF = 0x40;

__attribute__((noinline)) void run_entries(int steps) {
  FpuState* s = X87S;
  X87_DD_0_m(at(&k_drag), s);
  for (int step = 0; step < steps; step++) {
    for (Particle* p = cloud; p != cloud + 256; p++) {
      X87_DD_0_m(at(&p->vx), s);  // fld vx
      X87_D8_1_r(0, s);           // fmul st0, st0
      X87_DD_0_m(at(&p->vy), s);
      X87_D8_1_r(0, s);
      X87_DE_0_r(1, s);           // faddp st1, st0
      X87_D9_7_r(2, s);           // fsqrt
      X87_D8_1_r(1, s);           // fmul st0, st1 (drag)
      X87_DC_6_m(at(&p->mass), s);
      X87_DD_0_m(at(&p->vx), s);
      X87_D8_1_r(1, s);
      X87_DC_1_m(at(&k_dt), s);
      X87_DD_0_m(at(&p->vx), s);
      X87_DE_4_r(1, s);           // st1 = st0 - st1, pop
      X87_DD_2_m(at(&p->vx), s);  // fst vx
      X87_D9_1_r(1, s);           // fxch st1
      X87_DC_1_m(at(&p->vy), s);
      X87_DC_5_m(at(&k_g), s);    // fsubr g
      X87_DC_1_m(at(&k_dt), s);
      X87_DC_0_m(at(&p->vy), s);
      X87_DD_2_m(at(&p->vy), s);
      X87_DD_0_m(at(&k_dt), s);
      X87_D8_1_r(2, s);
      X87_DC_0_m(at(&p->x), s);
      X87_DD_2_m(at(&p->x), s);
      X87_DD_0_m(at(&k_dt), s);
      X87_D8_1_r(2, s);
      X87_DC_0_m(at(&p->y), s);
      X87_D9_5_r(6, s);           // fldz
      if (X87_DF_6_r(1, s) & (kCF | kZF)) {  // 0 <= y
        X87_DD_3_r(2, s);
        X87_D9_1_r(1, s);
        X87_DD_3_m(at(&p->y), s);
      } else {
        X87_D9_4_r(0, s);         // fchs
        X87_DD_3_m(at(&p->y), s);
        X87_D9_1_r(1, s);
        X87_DC_1_m(at(&k_bounce), s);
        X87_DD_3_m(at(&p->vy), s);
      }
      X87_D9_5_r(6, s);
      bool reverse = !(X87_DF_6_r(1, s) & (kCF | kZF));  // 0 > x
      if (reverse) {
        X87_DD_3_r(0, s);
      } else {
        X87_D9_0_m(at(&k_wall), s);
        X87_D9_1_r(1, s);
        reverse = !(X87_DF_6_r(1, s) & (kCF | kZF));  // x > wall
        X87_DD_3_r(0, s);
      }
      if (reverse) {
        X87_D9_4_r(0, s);
        X87_DD_3_m(at(&p->vx), s);
      } else {
        X87_DD_3_r(0, s);
      }
    }
  }
  X87_DD_3_r(0, s);
}

inline bool above(ExtValue* a, ExtValue* b) { return ext_compare_hot(a, b) == CMP_GREATER; }

__attribute__((noinline)) void run_locals(int steps) {
  const u32 rc = fpu_state.control;
  ExtValue drag, zero;
  ext_load_double(at(&k_drag), &drag);
  ext_put(&zero, 0, TAG_ZERO, 0, 0);
  for (int step = 0; step < steps; step++) {
    for (Particle* p = cloud; p != cloud + 256; p++) {
      ExtValue a, b, k, vx, vy, m;
      ext_load_double(at(&p->vx), &a);
      ext_mul_hot(&a, &a, &a);
      ext_load_double(at(&p->vy), &b);
      ext_mul_hot(&b, &b, &b);
      ext_add_hot(&b, &a, &a);
      X87_value_root(&a);  // FSQRT as the entry computes it
      ext_mul_hot(&a, &drag, &k);
      ext_load_double(at(&p->mass), &m);
      ext_div(&k, &m, &k);
      ext_load_double(at(&p->vx), &a);
      ext_mul_hot(&a, &k, &a);
      ext_load_double(at(&k_dt), &m);
      ext_mul_hot(&a, &m, &a);
      ext_load_double(at(&p->vx), &vx);
      ext_sub_hot(&vx, &a, &vx);
      ext_store_double(&vx, at(&p->vx), rc);
      ext_load_double(at(&p->vy), &m);
      ext_mul_hot(&k, &m, &vy);
      ext_load_double(at(&k_g), &m);
      ext_sub_hot(&m, &vy, &vy);
      ext_load_double(at(&k_dt), &m);
      ext_mul_hot(&vy, &m, &vy);
      ext_load_double(at(&p->vy), &m);
      ext_add_hot(&m, &vy, &vy);
      ext_store_double(&vy, at(&p->vy), rc);
      ExtValue x, y;
      ext_load_double(at(&k_dt), &x);
      ext_mul_hot(&x, &vx, &x);
      ext_load_double(at(&p->x), &m);
      ext_add_hot(&m, &x, &x);
      ext_store_double(&x, at(&p->x), rc);
      ext_load_double(at(&k_dt), &y);
      ext_mul_hot(&y, &vy, &y);
      ext_load_double(at(&p->y), &m);
      ext_add_hot(&m, &y, &y);
      if (above(&zero, &y)) {
        y.sign ^= 1;
        ext_store_double(&y, at(&p->y), rc);
        ext_load_double(at(&k_bounce), &m);
        ext_mul_hot(&vy, &m, &vy);
        ext_store_double(&vy, at(&p->vy), rc);
      } else {
        ext_store_double(&y, at(&p->y), rc);
      }
      bool reverse = above(&zero, &x);
      if (!reverse) {
        ext_load_float(at(&k_wall), &m);
        reverse = above(&x, &m);
      }
      if (reverse) {
        vx.sign ^= 1;
        ext_store_double(&vx, at(&p->vx), rc);
      }
    }
  }
}

double seconds(void (*run)(int), int steps) {
  reset();
  auto t = std::chrono::steady_clock::now();
  run(steps);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int steps = argc > 1 ? atoi(argv[1]) : 400;
  if (steps <= 0) {
    fprintf(stderr, "usage: x87_locals_bench [steps]\n");
    return 2;
  }
  double entries = 1e9, locals = 1e9;
  Particle after_entries[256];
  for (int i = 0; i < 5; i++) {
    entries = std::min(entries, seconds(run_entries, steps));
    memcpy(after_entries, cloud, sizeof cloud);
    locals = std::min(locals, seconds(run_locals, steps));
  }
  const bool same = memcmp(after_entries, cloud, sizeof cloud) == 0;
  const double n = 256.0 * steps;
  printf("particle step, best of five (%d steps of 256 particles):\n", steps);
  printf("  direct entries %.1f ns, values in locals %.1f ns, entries / locals %.2f\n", entries / n * 1e9,
         locals / n * 1e9, entries / locals);
  printf("  particles after both: %s\n", same ? "identical" : "DIFFERENT");
  return same ? 0 : 1;
}
