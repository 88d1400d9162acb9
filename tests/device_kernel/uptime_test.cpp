// The device's uptime setting (DEVICE_UPTIME_MS, given as 2^32 - 500 in
// this program's environment): the tick count starts there and wraps at
// 2^32 milliseconds while the performance counter goes on.
#include <gtest/gtest.h>

#include "wce/kernel.h"
#include "wce/time.h"

TEST(Uptime, TheTickCountStartsAtTheSettingAndWrapsAtTwoToTheThirtyTwo) {
  LARGE_INTEGER counter;
  ASSERT_TRUE(QueryPerformanceCounter(&counter));
  const int64_t start_ms = 4294966796;
  EXPECT_GE(counter.QuadPart / 1000, start_ms);
  EXPECT_LT(counter.QuadPart / 1000, start_ms + 60000);
  // Wait (bounded) until the counter has passed 2^32 ms.
  for (int i = 0; i < 20000 && counter.QuadPart / 1000 < 4294967296 + 5; i++) {
    Sleep(1);
    QueryPerformanceCounter(&counter);
  }
  ASSERT_GE(counter.QuadPart / 1000, 4294967296 + 5);
  DWORD tick = GetTickCount();
  LARGE_INTEGER after;
  QueryPerformanceCounter(&after);
  EXPECT_GE(tick, static_cast<DWORD>(counter.QuadPart / 1000 - 4294967296));
  EXPECT_LE(tick, static_cast<DWORD>(after.QuadPart / 1000 - 4294967296));
  EXPECT_LT(tick, 60000u);
}
