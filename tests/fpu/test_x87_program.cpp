// The x87 test program run both ways: translated (each x87 instruction a
// direct call of its operation, decoded by the translator) and instruction
// by instruction through Emu87 on the same bytes. Buffers (results, status
// words, the final FSAVE image) and AX must be identical.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "guest_call.h"

namespace {

u32 addr(const void* p) { return static_cast<u32>(reinterpret_cast<uintptr_t>(p)); }

struct Result {
  uint8_t buffer[512];
  u32 ax;
};

// Seeds up to this one fill normal operands only.
constexpr uint64_t kPlainSeeds = 24;

void fill(uint8_t* buffer, uint64_t seed) {
  memset(buffer, 0, 512);
  uint64_t s = seed;
  auto next = [&s] {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return s >> 11;
  };
  double d[4];
  for (double& v : d) v = ((double)(next() % 2000000) - 1000000.0) / (double)(1 + next() % 4096);
  memcpy(buffer + 0, &d[0], 8);
  memcpy(buffer + 8, &d[1], 8);
  float f = (float)d[2];
  memcpy(buffer + 16, &f, 4);
  float g = (float)(d[3] / 7.0);
  memcpy(buffer + 20, &g, 4);
  memcpy(buffer + 24, &d[3], 8);
  int32_t n = (int32_t)(next() % 100000) - 50000;
  memcpy(buffer + 32, &n, 4);
  int16_t h = (int16_t)(next() % 2000 - 1000);
  memcpy(buffer + 36, &h, 2);
  double angle = (double)(next() % 20000) / 1000.0 - 10.0, power = (double)(next() % 2000) / 1000.0 - 1.0;
  memcpy(buffer + 40, &angle, 8);
  memcpy(buffer + 48, &power, 8);
  uint16_t control = (uint16_t)(0x037F | (next() % 4) << 10);  // each rounding mode
  memcpy(buffer + 56, &control, 2);
  // The control word of the start: everything masked.
  uint16_t first = 0x037F;
  if (seed > kPlainSeeds) {
    // Operands the translated code's common cases do not take (zeros,
    // denormals, infinities, NaNs, values no single holds), at any place
    // of its runs, and a start with the precision or the denormal
    // exception unmasked (neither is ever raised, but only a masked
    // start keeps a run in locals).
    static const double doubles[] = {0.0, -0.0, 4.9e-324, -1e-310, HUGE_VAL, -HUGE_VAL, NAN, 1e300, -1e-300};
    static const float singles[] = {0.0f, -0.0f, 1e-40f, HUGE_VALF, NAN, 3e38f};
    for (int at : {0, 8, 24})
      if (next() % 2) memcpy(buffer + at, &doubles[next() % 9], 8);
    for (int at : {16, 20})
      if (next() % 2) memcpy(buffer + at, &singles[next() % 6], 4);
    const uint64_t k = next() % 3;
    first = k == 0 ? 0x037F : k == 1 ? 0x035F : 0x037D;
  }
  memcpy(buffer + 58, &first, 2);
}

// Runs the exported function `name` translated and its body `name`_body
// instruction by instruction through Emu87, from the same buffers, and
// compares them and AX.
void agrees_both_ways(ModuleInfo* mi, const std::string& name) {
  const u32 run = export_address(mi, name.c_str()), body = export_address(mi, (name + "_body").c_str());
  ASSERT_NE(run, 0u) << name;
  ASSERT_NE(body, 0u) << name;
  for (uint64_t seed = 1; seed <= 2 * kPlainSeeds; seed++) {
    Result translated, stepped;
    fill(translated.buffer, seed);
    fill(stepped.buffer, seed);
    Env env;
    call_guest(mi, run, {addr(translated.buffer)}, &env);
    translated.ax = env.EAX & 0xFFFF;

    Env e = {};
    e.ECX = addr(stepped.buffer);
    e.EIP = body;
    while (*reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(e.EIP)) != 0xC3) {
      const u32 at = e.EIP;
      ASSERT_EQ(Emu87(&e), 0) << name << std::hex << " at " << at;
      ASSERT_NE(e.EIP, at);
    }
    stepped.ax = e.EAX & 0xFFFF;

    EXPECT_EQ(translated.ax, stepped.ax) << name << " seed " << seed;
    for (int i = 0; i < 512; i++)
      ASSERT_EQ(translated.buffer[i], stepped.buffer[i]) << name << " seed " << seed << " byte " << i;
  }
}

TEST(X87Program, TranslatedAgreesWithEmu87) {
  ModuleInfo* mi = load_translated("X87PROG.em.dll");
  ASSERT_NE(mi, nullptr);
  agrees_both_ways(mi, "x87_run");
}

// Random runs of the instructions the translator holds in locals
// (gen_x87_runs.py): pushes and pops over every register, FXCH, stores
// into registers, popped registers filled again, stack faults.
TEST(X87Program, RandomRunsAgreeWithEmu87) {
  ModuleInfo* mi = load_translated("X87RUNS.em.dll");
  ASSERT_NE(mi, nullptr);
  int functions = 0;
  for (; export_address(mi, ("x87_random_" + std::to_string(functions)).c_str()); functions++)
    agrees_both_ways(mi, "x87_random_" + std::to_string(functions));
  EXPECT_GE(functions, 4);
}

}  // namespace
