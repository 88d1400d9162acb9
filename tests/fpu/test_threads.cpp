// Two threads executing x87 instruction streams through Emu87 at once.
// The FPU state is shared, so each stream keeps its values in its own
// memory and uses the stack only within a single instruction's reach:
// every result must land in the thread's own memory, and an unmasked
// exception on one thread must come back to that thread's own call.
#include <thread>

#include "fpu_memory.h"
#include "fpu_test_support.h"

namespace {

class Threads : public Fpu {};

// FILD dword [ESI] / FISTP dword [EDI] pairs would race on the shared
// stack, so each step is a single instruction whose outcome depends only
// on the decoded operand address: FNSTCW, FIST with the stack kept filled
// by the main thread, and unimplemented entries with memory operands.
void worker(u32 id, int rounds, int* failures) {
  alignas(8) u8 area[64] = {};
  Env env = {};
  for (int n = 0; n < rounds; n++) {
    env.ESI = guest_addr(area) + (n % 3);  // unaligned operands too
    env.EDI = env.ESI + 16;
    env.EBX = id;
    // FNSTCW [ESI]
    Outcome r = run_bytes({0xD9, 0x3E}, env);
    if (r.result != 0 || r.advanced != 2 || mem_read16(env.ESI) != (fpu_state.control & 0xFFFF)) ++*failures;
    // FIST dword [EDI + EBX*4] (ST(0) is kept valid by the test)
    r = run_bytes({0xDB, 0x14, 0x9F}, env);
    if (r.result != 0 || r.advanced != 3 || guest_read32(env.EDI + id * 4) != 42) ++*failures;
    // FLDENV [ESI + 0x7F]: unimplemented, must advance by this thread's length
    r = run_bytes({0xD9, 0x66, 0x7F}, env);
    if (r.result != 0 || r.advanced != 3) ++*failures;
    // FNSTSW [EDI+8] with a 32-bit displacement form
    r = run_bytes({0xDD, 0xBF, 0x08, 0x00, 0x00, 0x00}, env);
    if (r.result != 0 || r.advanced != 6) ++*failures;
  }
}

TEST_F(Threads, ConcurrentInstructionsKeepTheirOwnOperands) {
  ExtValue v;
  ext_from_i32(42, &v);
  for (int i = 0; i < 8; i++) fpu_state.regs[i] = v;
  int f1 = 0, f2 = 0;
  std::thread a(worker, 1u, 20000, &f1), b(worker, 2u, 20000, &f2);
  a.join();
  b.join();
  EXPECT_EQ(0, f1);
  EXPECT_EQ(0, f2);
}

// One thread raises unmasked exceptions (its resumption point) while the
// other runs ordinary instructions; each gets its own outcome.
TEST_F(Threads, AbandonedInstructionsReturnToTheirOwnCall) {
  ExtValue v;
  ext_from_i32(42, &v);
  for (int i = 0; i < 8; i++) fpu_state.regs[i] = v;
  fpu_state.control = 0x037E;  // invalid operation unmasked
  int raised = 0, wrong = 0;
  std::thread a([&] {
    for (int n = 0; n < 20000; n++) {
      Outcome r = run_bytes({0xD9, 0xE2});  // unimplemented: an unmasked invalid operation
      if (r.result == 1 && r.advanced == 0) raised++;
      else wrong++;
    }
  });
  std::thread b([&] {
    u8 out[4];
    Env env = {};
    env.EAX = guest_addr(out);
    for (int n = 0; n < 20000; n++) {
      Outcome r = run_bytes({0xDB, 0x10}, env);  // FIST dword [EAX]
      if (r.result != 0 || r.advanced != 2 || guest_read32(guest_addr(out)) != 42) wrong++;
    }
  });
  a.join();
  b.join();
  EXPECT_EQ(20000, raised);
  EXPECT_EQ(0, wrong);
}

}  // namespace
