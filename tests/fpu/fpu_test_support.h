// Shared helpers of the x87 tests: values, random operands, and running
// raw instruction bytes through Emu87.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "fpu_state.h"
#include "guest_word.h"
#include "trevik.h"

inline ExtValue ext(int sign, int exponent, u64 mantissa, int8_t tag = TAG_VALID) {
  ExtValue v;
  v.sign = (int8_t)sign;
  v.tag = tag;
  v.exponent = (int16_t)exponent;
  ext_set_mant(&v, mantissa);
  return v;
}

inline bool same_bits(const ExtValue& a, const ExtValue& b) { return memcmp(&a, &b, sizeof a) == 0; }

inline std::string show(const ExtValue& v) {
  char text[96];
  snprintf(text, sizeof text, "{sign %d tag %d exp 0x%04x mant %08x%08x}", v.sign, v.tag, v.exponent & 0xFFFF,
           v.mant_hi, v.mant_lo);
  return text;
}

#define EXPECT_EXT(expected, actual) \
  EXPECT_TRUE(same_bits(expected, actual)) << "expected " << show(expected) << "\n  actual " << show(actual)

struct Rng {
  u64 state;
  explicit Rng(u64 seed) : state(seed) {}
  u64 next() {  // splitmix64
    u64 z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  u32 below(u32 n) { return (u32)(next() % n); }
};

// A random operand: mostly normal values over the whole exponent range,
// with zeros, infinities, NaNs, unnormals and exponents below zero mixed in.
inline ExtValue random_ext(Rng& rng, int center = -1) {
  u32 kind = rng.below(100);
  int sign = (int)(rng.next() & 1);
  u64 m = rng.next();
  if (rng.below(4) == 0) m &= ~0ull << rng.below(64);  // trailing zeros: exact cases
  if (kind < 3) return ext(sign, 0, 0, TAG_ZERO);
  if (kind < 5) return ext(sign, 0x7FFF, 0x8000000000000000ull, TAG_SPECIAL);
  if (kind < 7) return ext(sign, 0x7FFF, m | 0x8000000000000000ull, TAG_SPECIAL);
  if (kind < 9) {  // unnormal with exponent 0
    ExtValue v = ext(sign, 0, m >> (1 + rng.below(63)));
    ext_normalise(&v);
    return v;
  }
  int e;
  if (kind < 12) e = -(int)rng.below(16000);
  else if (center >= 0 && kind < 80) e = center + (int)rng.below(140) - 70;
  else e = 1 + (int)rng.below(0x7FFE);
  if (e > 0x7FFE) e = 0x7FFE;
  return ext(sign, e, m | 0x8000000000000000ull);
}

// Runs `bytes` (one instruction) through Emu87 from a fresh buffer.
struct Outcome {
  int result;
  u32 advanced;  // EIP after minus EIP before
  Env env;
};
inline Outcome run_bytes(std::initializer_list<u8> bytes, Env env = {}) {
  static thread_local u8 code[64];
  memset(code, 0x90, sizeof code);
  size_t n = 0;
  for (u8 b : bytes) code[n++] = b;
  env.EIP = guest_addr(code);
  Outcome r;
  r.result = Emu87(&env);
  r.advanced = env.EIP - guest_addr(code);
  r.env = env;
  return r;
}

// Little-endian bytes of a 32-bit address, for instruction encodings.
#define ADDR_BYTES(p) (u8)(guest_addr(p)), (u8)(guest_addr(p) >> 8), (u8)(guest_addr(p) >> 16), (u8)(guest_addr(p) >> 24)

// Every test starts from the load-time state.
class Fpu : public ::testing::Test {
 protected:
  void SetUp() override { fpu_reset(); }
  void TearDown() override {
    fpu_set_trace(nullptr);
    fpu_reset();
  }
};

// Instruction tests: values pushed straight onto the register stack, and
// the condition codes checked.
class FpuStack : public Fpu {
 protected:
  void push(const ExtValue& v) {
    fpu_state.top--;
    *fpu_st(0) = v;
  }
  ExtValue num(int v) {
    ExtValue r;
    ext_from_i32(v, &r);
    return r;
  }
  void expect_cc(u32 cc) { EXPECT_EQ(cc, fpu_state.status & SW_CC) << std::hex << fpu_state.status; }
};

const u64 ONE = 0x8000000000000000ull;
