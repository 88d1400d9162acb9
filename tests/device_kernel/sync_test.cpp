// Events, the event-modify primitive, waits on several objects, and
// critical sections in the caller's own record.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "wce/kernel.h"
#include "wce/synch.h"

namespace {

// Runs `fn(arg)` on a device thread.
HANDLE start(LPTHREAD_START_ROUTINE fn, void* arg) {
  HANDLE h = CreateThread(nullptr, 0, fn, arg, 0, nullptr);
  EXPECT_NE(h, nullptr);
  return h;
}

struct Waiter {
  HANDLE event;
  std::atomic<int>* ready;  // raised just before the wait begins
  DWORD timeout;
};

DWORD wait_on_event(LPVOID p) {
  Waiter* w = static_cast<Waiter*>(p);
  w->ready->fetch_add(1);
  return WaitForSingleObject(w->event, w->timeout);
}

// Spins until `count` reaches `value` (bounded).
void await_count(std::atomic<int>& count, int value) {
  for (int i = 0; i < 20000 && count.load() < value; i++) Sleep(1);
  ASSERT_EQ(count.load(), value);
}

// Gives threads that are about to block time to block.
void settle() { Sleep(200); }

}  // namespace

TEST(Event, ManualResetStaysSignalledUntilReset) {
  HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(SetEvent(e));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ResetEvent(e));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  CloseHandle(e);
}

TEST(Event, AutoResetLetsOneWaitThrough) {
  HANDLE e = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(EventModify(e, EVENT_SET));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  CloseHandle(e);
}

TEST(Event, EventModifyRefusesUnknownCodesAndOtherObjects) {
  HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(EventModify(e, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(EventModify(e, 4));
  HANDLE heap_like = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
  EXPECT_FALSE(SetEvent(heap_like));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  WaitForSingleObject(heap_like, INFINITE);
  CloseHandle(heap_like);
  CloseHandle(e);
  EXPECT_FALSE(SetEvent(e));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Event, ANameGivesOneEventPerName) {
  HANDLE a = CreateEventW(nullptr, TRUE, FALSE, u"KernelTestEvent");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  HANDLE b = CreateEventW(nullptr, FALSE, TRUE, u"KernelTestEvent");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  ASSERT_NE(a, b);
  EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT);  // the first creation's state and kind
  SetEvent(a);
  EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);  // manual reset
  CloseHandle(a);
  CloseHandle(b);
  // With every handle closed the name is free again.
  HANDLE c = CreateEventW(nullptr, FALSE, FALSE, u"KernelTestEvent");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(WaitForSingleObject(c, 0), WAIT_TIMEOUT);
  CloseHandle(c);
}

TEST(Event, SetReleasesAThreadThatWaits) {
  HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  std::atomic<int> ready{0};
  Waiter w = {e, &ready, INFINITE};
  HANDLE t = start(wait_on_event, &w);
  await_count(ready, 1);
  EXPECT_TRUE(SetEvent(e));
  EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
  DWORD code = 99;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);  // consumed by the waiter
  CloseHandle(t);
  CloseHandle(e);
}

TEST(Event, PulseWithoutWaitersLeavesTheEventReset) {
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  EXPECT_TRUE(PulseEvent(manual));
  EXPECT_TRUE(PulseEvent(automatic));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
  CloseHandle(manual);
  CloseHandle(automatic);
}

TEST(Event, PulseOfAManualEventReleasesEveryWaiter) {
  HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> ready{0};
  Waiter w = {e, &ready, 20000};
  HANDLE t[3];
  for (HANDLE& h : t) h = start(wait_on_event, &w);
  await_count(ready, 3);
  settle();
  EXPECT_TRUE(PulseEvent(e));
  EXPECT_EQ(WaitForMultipleObjects(3, t, TRUE, 10000), WAIT_OBJECT_0);
  for (HANDLE h : t) {
    DWORD code = 99;
    GetExitCodeThread(h, &code);
    EXPECT_EQ(code, WAIT_OBJECT_0);
    CloseHandle(h);
  }
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  CloseHandle(e);
}

TEST(Event, PulseOfAnAutoEventReleasesOneWaiter) {
  HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  std::atomic<int> ready{0};
  Waiter w = {e, &ready, 20000};
  HANDLE t[2] = {start(wait_on_event, &w), start(wait_on_event, &w)};
  await_count(ready, 2);
  settle();
  EXPECT_TRUE(PulseEvent(e));
  DWORD first = WaitForMultipleObjects(2, t, FALSE, 10000);
  ASSERT_LT(first, 2u);
  // The other one is still waiting; a set lets it go.
  EXPECT_EQ(WaitForSingleObject(t[1 - first], 200), WAIT_TIMEOUT);
  EXPECT_TRUE(SetEvent(e));
  EXPECT_EQ(WaitForSingleObject(t[1 - first], 10000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  CloseHandle(t[0]);
  CloseHandle(t[1]);
  CloseHandle(e);
}

TEST(WaitMultiple, AnyAnswersWithTheFirstSignalledIndex) {
  HANDLE e[3];
  for (HANDLE& h : e) h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_TIMEOUT);
  SetEvent(e[2]);
  EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 2);
  SetEvent(e[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 1);
  for (HANDLE h : e) CloseHandle(h);
}

TEST(WaitMultiple, AllWaitsForEveryObjectAndTakesThemTogether) {
  HANDLE a = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE b = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE both[2] = {a, b};
  SetEvent(a);
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 20), WAIT_TIMEOUT);
  // A wait for all that timed out took nothing.
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);
  SetEvent(a);
  SetEvent(b);
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT);
  CloseHandle(a);
  CloseHandle(b);
}

TEST(WaitMultiple, AThreadEndingCompletesAWaitForAll) {
  HANDLE e = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  HANDLE t = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 5; }, nullptr, CREATE_SUSPENDED, nullptr);
  HANDLE both[2] = {e, t};
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 20), WAIT_TIMEOUT);
  ResumeThread(t);
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10000), WAIT_OBJECT_0);
  CloseHandle(t);
  CloseHandle(e);
}

TEST(WaitMultiple, BadArgumentsFail) {
  HANDLE e = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  HANDLE many[65];
  for (HANDLE& h : many) h = e;
  EXPECT_EQ(WaitForMultipleObjects(0, many, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WaitForMultipleObjects(65, many, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WaitForMultipleObjects(64, many, FALSE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForMultipleObjects(2, many, TRUE, 0), WAIT_FAILED);  // one object twice
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  HANDLE stale[2] = {e, reinterpret_cast<HANDLE>(0x12345678)};
  EXPECT_EQ(WaitForMultipleObjects(2, stale, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(e);
}

namespace {

struct Counting {
  CRITICAL_SECTION* section;
  volatile long* counter;
  int rounds;
};

DWORD count_under_lock(LPVOID p) {
  Counting* c = static_cast<Counting*>(p);
  for (int i = 0; i < c->rounds; i++) {
    EnterCriticalSection(c->section);
    EnterCriticalSection(c->section);  // reentrant for its owner
    long value = *c->counter;
    if (i % 16 == 0) Sleep(0);  // let the others try to get in
    *c->counter = value + 1;
    LeaveCriticalSection(c->section);
    LeaveCriticalSection(c->section);
  }
  return 0;
}

void counter_stays_exact(CRITICAL_SECTION* section) {
  InitializeCriticalSection(section);
  volatile long counter = 0;
  Counting c = {section, &counter, 2000};
  HANDLE t[4];
  for (HANDLE& h : t) h = start(count_under_lock, &c);
  EXPECT_EQ(WaitForMultipleObjects(4, t, TRUE, 60000), WAIT_OBJECT_0);
  for (HANDLE h : t) CloseHandle(h);
  EXPECT_EQ(counter, 8000);
  DeleteCriticalSection(section);
}

}  // namespace

TEST(CriticalSection, TheLockLivesInTheRecordAtTheWin32Places) {
  CRITICAL_SECTION cs;
  memset(&cs, 0xEE, sizeof cs);
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(cs.OwningThread), GetCurrentThreadId());
  EXPECT_EQ(cs.RecursionCount, 2);
  EXPECT_NE(cs.LockCount, 0);
  LeaveCriticalSection(&cs);
  EXPECT_EQ(cs.RecursionCount, 1);
  LeaveCriticalSection(&cs);
  EXPECT_EQ(cs.OwningThread, nullptr);
  EXPECT_EQ(cs.LockCount, 0);
  LeaveCriticalSection(&cs);  // not the owner: nothing happens
  EXPECT_EQ(cs.RecursionCount, 0);
  DeleteCriticalSection(&cs);
}

TEST(CriticalSection, ACounterStaysExactUnderContention) {
  CRITICAL_SECTION cs;
  counter_stays_exact(&cs);
}

TEST(CriticalSection, AnUnalignedRecordWorksWithinItsOwnBytes) {
  alignas(4) uint8_t memory[32];
  memset(memory, 0xCC, sizeof memory);
  auto* cs = reinterpret_cast<CRITICAL_SECTION*>(memory + 1);
  counter_stays_exact(cs);
  // Nothing outside the 24 bytes was touched.
  EXPECT_EQ(memory[0], 0xCC);
  for (size_t i = 25; i < sizeof memory; i++) EXPECT_EQ(memory[i], 0xCC) << i;
}

TEST(CriticalSection, AnotherThreadWaitsForTheOwner) {
  static CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  static std::atomic<int> entered{0};
  entered = 0;
  HANDLE t = start(
      [](LPVOID) -> DWORD {
        EnterCriticalSection(&cs);
        entered = 1;
        LeaveCriticalSection(&cs);
        return 0;
      },
      nullptr);
  EXPECT_EQ(WaitForSingleObject(t, 100), WAIT_TIMEOUT);
  EXPECT_EQ(entered.load(), 0);
  LeaveCriticalSection(&cs);
  EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(entered.load(), 1);
  CloseHandle(t);
  DeleteCriticalSection(&cs);
}
