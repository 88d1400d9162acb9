// Threads: suspended start, suspension of running threads, identifiers
// that are handles, the current-thread pseudo handle, priorities.
#include <gtest/gtest.h>

#include <atomic>

#include "wce/kernel.h"
#include "wce/synch.h"

namespace {

const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(0x41);

struct Spinner {
  std::atomic<unsigned> count{0};
  std::atomic<bool> stop{false};
};

DWORD spin(LPVOID p) {
  Spinner* s = static_cast<Spinner*>(p);
  while (!s->stop.load()) s->count.fetch_add(1);
  return 7;
}

// Waits (bounded) until the spinner has moved past `from`.
bool moves_past(Spinner& s, unsigned from) {
  for (int i = 0; i < 10000; i++) {
    if (s.count.load() > from) return true;
    Sleep(1);
  }
  return false;
}

}  // namespace

TEST(Thread, ASuspendedStartRunsOnlyAfterResume) {
  Spinner s;
  DWORD id = 0;
  HANDLE t = CreateThread(nullptr, 0, spin, &s, CREATE_SUSPENDED, &id);
  ASSERT_NE(t, nullptr);
  EXPECT_NE(id, 0u);
  Sleep(50);
  EXPECT_EQ(s.count.load(), 0u);
  EXPECT_EQ(SuspendThread(t), 1u);  // counts stack before the start too
  EXPECT_EQ(ResumeThread(t), 2u);
  EXPECT_EQ(s.count.load(), 0u);
  EXPECT_EQ(ResumeThread(t), 1u);
  EXPECT_TRUE(moves_past(s, 0));
  EXPECT_EQ(ResumeThread(t), 0u);
  s.stop = true;
  EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 7u);
  CloseHandle(t);
}

TEST(Thread, SuspendStopsARunningThreadUntilTheLastResume) {
  Spinner s;
  HANDLE t = CreateThread(nullptr, 0, spin, &s, 0, nullptr);
  ASSERT_TRUE(moves_past(s, 0));
  EXPECT_EQ(SuspendThread(t), 0u);
  unsigned frozen = s.count.load();
  EXPECT_EQ(SuspendThread(t), 1u);
  Sleep(50);
  EXPECT_EQ(s.count.load(), frozen);
  EXPECT_EQ(ResumeThread(t), 2u);
  Sleep(50);
  EXPECT_EQ(s.count.load(), frozen);
  EXPECT_EQ(ResumeThread(t), 1u);
  EXPECT_TRUE(moves_past(s, frozen));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  s.stop = true;
  EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
  CloseHandle(t);
}

TEST(Thread, AThreadCanSuspendItselfAndBeResumed) {
  static std::atomic<int> stage{0};
  stage = 0;
  HANDLE t = CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        stage = 1;
        DWORD previous = SuspendThread(kCurrentThread);
        stage = 2;
        return previous + 40;
      },
      nullptr, 0, nullptr);
  for (int i = 0; i < 10000 && stage.load() < 1; i++) Sleep(1);
  // It stays parked until resumed.
  EXPECT_EQ(WaitForSingleObject(t, 100), WAIT_TIMEOUT);
  EXPECT_EQ(stage.load(), 1);
  EXPECT_EQ(ResumeThread(t), 1u);
  EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(code, 40u);
  CloseHandle(t);
}

TEST(Thread, TheIdentifierIsAHandleWhileTheThreadRuns) {
  Spinner s;
  DWORD id = 0;
  HANDLE t = CreateThread(nullptr, 0, spin, &s, 0, &id);
  HANDLE by_id = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(id));
  EXPECT_EQ(WaitForSingleObject(by_id, 0), WAIT_TIMEOUT);
  EXPECT_EQ(SuspendThread(by_id), 0u);
  EXPECT_EQ(ResumeThread(t), 1u);
  EXPECT_TRUE(SetThreadPriority(by_id, THREAD_PRIORITY_LOWEST));
  EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_LOWEST);
  s.stop = true;
  EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
  // The identifier closes with the thread; the handle stays.
  EXPECT_EQ(SuspendThread(by_id), 0xFFFFFFFFu);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 7u);
  CloseHandle(t);
}

TEST(Thread, TheCallingThreadHasAnIdentifierAPseudoHandleAndRealCopies) {
  DWORD self = GetCurrentThreadId();
  EXPECT_EQ(GetCurrentThreadId(), self);
  HANDLE by_id = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(self));
  EXPECT_EQ(WaitForSingleObject(by_id, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(SetThreadPriority(kCurrentThread, THREAD_PRIORITY_ABOVE_NORMAL));
  EXPECT_EQ(GetThreadPriority(by_id), THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_TRUE(SetThreadPriority(kCurrentThread, THREAD_PRIORITY_NORMAL));
  HANDLE copy = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), kCurrentThread, GetCurrentProcess(), &copy, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  EXPECT_NE(copy, kCurrentThread);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(copy, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(GetThreadPriority(copy), THREAD_PRIORITY_NORMAL);
  EXPECT_TRUE(CloseHandle(copy));
  EXPECT_FALSE(DuplicateHandle(reinterpret_cast<HANDLE>(0x99), kCurrentThread, GetCurrentProcess(), &copy, 0,
                               FALSE, DUPLICATE_SAME_ACCESS));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Thread, ThreadsEachHaveTheirOwnIdentifier) {
  static DWORD seen;
  HANDLE t = CreateThread(
      nullptr, 0, [](LPVOID) -> DWORD {
        seen = GetCurrentThreadId();
        return 0;
      },
      nullptr, CREATE_SUSPENDED, nullptr);
  DWORD id_from_create = 0;
  HANDLE t2 = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, &id_from_create);
  ResumeThread(t);
  WaitForSingleObject(t, 10000);
  WaitForSingleObject(t2, 10000);
  EXPECT_NE(seen, GetCurrentThreadId());
  EXPECT_NE(seen, id_from_create);
  EXPECT_NE(seen, 0u);
  CloseHandle(t);
  CloseHandle(t2);
}

TEST(Thread, PrioritiesAreTheDevicesZeroToSeven) {
  for (int p = THREAD_PRIORITY_TIME_CRITICAL; p <= THREAD_PRIORITY_IDLE; p++)
    EXPECT_TRUE(SetThreadPriority(kCurrentThread, p)) << p;
  EXPECT_FALSE(SetThreadPriority(kCurrentThread, -1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(SetThreadPriority(kCurrentThread, 15));
  EXPECT_FALSE(SetThreadPriority(reinterpret_cast<HANDLE>(0x12345678), 3));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SetThreadPriority(kCurrentThread, THREAD_PRIORITY_NORMAL);
}

TEST(Thread, TheSuspendCountHasALimit) {
  HANDLE t = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, CREATE_SUSPENDED, nullptr);
  for (DWORD i = 1; i < 127; i++) ASSERT_EQ(SuspendThread(t), i);
  EXPECT_EQ(SuspendThread(t), 0xFFFFFFFFu);
  EXPECT_EQ(GetLastError(), ERROR_SIGNAL_REFUSED);
  for (DWORD i = 127; i > 0; i--) ASSERT_EQ(ResumeThread(t), i);
  EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
  CloseHandle(t);
}
