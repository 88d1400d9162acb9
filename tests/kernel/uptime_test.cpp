// timeGetTime wraps at 2^32 milliseconds: this program runs with the
// device's uptime setting at 2^32 - 500 ms.
#include <gtest/gtest.h>

#include "kernel_support.h"
#include "wce/kernel.h"
#include "wce/time.h"

TEST(TimeHandlers, TimeGetTimeWrapsAtTwoToTheThirtyTwoMilliseconds) {
  u32 first = GuestCall("timeGetTime", {}).eax();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  // Before the wrap (unless this process started slowly) the answer is
  // near 2^32; count the milliseconds past it from the counter.
  if (counter.QuadPart / 1000 < 4294967296) {
    EXPECT_GT(first, 0xFFFF0000u);
  }
  for (int i = 0; i < 20000 && counter.QuadPart / 1000 < 4294967296 + 5; i++) {
    Sleep(1);
    QueryPerformanceCounter(&counter);
  }
  u32 wrapped = GuestCall("timeGetTime", {}).eax();
  LARGE_INTEGER after;
  QueryPerformanceCounter(&after);
  EXPECT_GE(wrapped, static_cast<u32>(counter.QuadPart / 1000 - 4294967296));
  EXPECT_LE(wrapped, static_cast<u32>(after.QuadPart / 1000 - 4294967296));
  EXPECT_LT(wrapped, 60000u);
}

TEST(TimeHandlers, TimeGetTimeFollowsTheCounter) {
  u32 before = GuestCall("timeGetTime", {}).eax();
  u32 tick = GuestCall("GetTickCount", {}).eax();
  Sleep(5);
  u32 after = GuestCall("timeGetTime", {}).eax();
  EXPECT_GE(after - before, 5u);
  EXPECT_LE(tick - before, after - before);
  LARGE_INTEGER frequency;
  EXPECT_EQ(GuestCall("QueryPerformanceFrequency", {guest_addr(&frequency)}).eax(), 1u);
  EXPECT_EQ(frequency.QuadPart, 1000000);
}
