// Host faults inside guards become Win32 exception records.
#include <gtest/gtest.h>

#include "wce/wce.h"

namespace {

// Addresses come from memory so that the compiler cannot see them.
volatile uintptr_t g_low[3] = {0x10, 0x20, 0x30};
int read_at(int which) { return *reinterpret_cast<volatile int*>(g_low[which]); }
void write_at(int which) { *reinterpret_cast<volatile int*>(g_low[which]) = 1; }

volatile int g_zero = 0;

}  // namespace

TEST(Seh, AccessViolationReachesTheInnermostGuard) {
  SehGuard outer, inner;
  volatile bool inner_caught = false, outer_caught = false;
  if (SEH_TRY(outer)) {
    if (SEH_TRY(inner)) {
      read_at(0);
      seh_pop(&inner);
    } else {
      inner_caught = true;
      EXPECT_EQ(inner.record.ExceptionCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
      EXPECT_EQ(inner.record.NumberParameters, 2u);
      EXPECT_EQ(inner.record.ExceptionInformation[0], 0u);  // a read
      EXPECT_EQ(inner.record.ExceptionInformation[1], 0x10u);
    }
    // The inner guard is gone: the next fault goes to the outer one.
    write_at(1);
    seh_pop(&outer);
  } else {
    outer_caught = true;
    EXPECT_EQ(outer.record.ExceptionInformation[0], 1u);  // a write
    EXPECT_EQ(outer.record.ExceptionInformation[1], 0x20u);
  }
  EXPECT_TRUE(inner_caught);
  EXPECT_TRUE(outer_caught);
}

TEST(Seh, IntegerDivideByZero) {
  SehGuard guard;
  int quotient = 0;
  if (SEH_TRY(guard)) {
    quotient = 7 / g_zero;
    seh_pop(&guard);
    FAIL() << quotient;
  }
  EXPECT_EQ(guard.record.ExceptionCode, static_cast<DWORD>(EXCEPTION_INT_DIVIDE_BY_ZERO));
}

TEST(Seh, RaiseGoesToTheGuardAndGuardsWorkAgainAfterwards) {
  for (int round = 0; round < 3; round++) {
    SehGuard guard;
    if (SEH_TRY(guard)) {
      EXCEPTION_RECORD record = {};
      record.ExceptionCode = 0xE0000001 + round;
      seh_raise(&record);
    }
    EXPECT_EQ(guard.record.ExceptionCode, 0xE0000001u + round);
  }
}

TEST(SehDeathTest, FaultOutsideGuardsKeepsItsDefaultEffect) {
  EXPECT_EXIT(read_at(2), testing::KilledBySignal(SIGSEGV), "");
}
