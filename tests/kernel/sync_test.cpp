// Synchronisation handlers on the calling thread: events through the
// event-modify primitive, waits, thread-local storage, critical sections
// on guest records.
#include <gtest/gtest.h>

#include <cstring>

#include "kernel_support.h"
#include "wce/kernel.h"
#include "wce/synch.h"

TEST(EventHandlers, SetAndResetAreTheEventModifyPrimitive) {
  static char name[] = "KernelHandlerEvent";
  u32 event = GuestCall("CreateEventA", {0, 1 /* manual */, 0, guest_addr(name)}).eax();
  ASSERT_NE(event, 0u);
  EXPECT_EQ(GuestCall("WaitForSingleObject", {event, 0}).eax(), WAIT_TIMEOUT);
  EXPECT_EQ(GuestCall("SetEvent", {event}).eax(), 1u);
  EXPECT_EQ(GuestCall("WaitForSingleObject", {event, 0}).eax(), WAIT_OBJECT_0);
  // The name reaches the device: a second creation finds the same event.
  u32 same = GuestCall("CreateEventA", {0, 1, 0, guest_addr(name)}).eax();
  EXPECT_EQ(GuestCall("GetLastError", {}).eax(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(GuestCall("WaitForSingleObject", {same, 0}).eax(), WAIT_OBJECT_0);
  EXPECT_EQ(GuestCall("ResetEvent", {event}).eax(), 1u);
  EXPECT_EQ(GuestCall("WaitForSingleObject", {same, 0}).eax(), WAIT_TIMEOUT);
  GuestCall("CloseHandle", {same});
  GuestCall("CloseHandle", {event});
  EXPECT_EQ(GuestCall("SetEvent", {event}).eax(), 0u);
  EXPECT_EQ(GuestCall("GetLastError", {}).eax(), ERROR_INVALID_HANDLE);
}

TEST(EventHandlers, WaitForMultipleObjectsReadsTheGuestsArray) {
  u32 a = GuestCall("CreateEventA", {0, 0, 0, 0}).eax();
  u32 b = GuestCall("CreateEventA", {0, 0, 1, 0}).eax();
  alignas(4) uint8_t array[12];
  guest_write32(guest_addr(array), a);
  guest_write32(guest_addr(array) + 4, b);
  EXPECT_EQ(GuestCall("WaitForMultipleObjects", {2, guest_addr(array), 0, 0}).eax(), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(GuestCall("WaitForMultipleObjects", {2, guest_addr(array), 0, 10}).eax(), WAIT_TIMEOUT);
  GuestCall("SetEvent", {a});
  GuestCall("SetEvent", {b});
  EXPECT_EQ(GuestCall("WaitForMultipleObjects", {2, guest_addr(array), 1, 0}).eax(), WAIT_OBJECT_0);
  EXPECT_EQ(GuestCall("WaitForMultipleObjects", {2, guest_addr(array), 1, 0}).eax(), WAIT_TIMEOUT);
  GuestCall("CloseHandle", {a});
  GuestCall("CloseHandle", {b});
}

TEST(TlsHandlers, SlotsHoldPerThreadValues) {
  u32 index = GuestCall("TlsAlloc", {}).eax();
  ASSERT_NE(index, TLS_OUT_OF_INDEXES);
  EXPECT_EQ(GuestCall("TlsSetValue", {index, 0xCAFE}).eax(), 1u);
  EXPECT_EQ(GuestCall("TlsGetValue", {index}).eax(), 0xCAFEu);
  TlsFree(index);
}

TEST(SectionHandlers, AGuestRecordIsReentrantForItsOwner) {
  alignas(4) uint8_t record[24];
  memset(record, 0xEE, sizeof record);
  u32 cs = guest_addr(record);
  GuestCall("InitializeCriticalSection", {cs});
  GuestCall("EnterCriticalSection", {cs});
  GuestCall("EnterCriticalSection", {cs});
  EXPECT_EQ(guest_read32(cs + 12), GetCurrentThreadId());  // OwningThread
  EXPECT_EQ(guest_read32(cs + 8), 2u);                      // RecursionCount
  GuestCall("LeaveCriticalSection", {cs});
  GuestCall("LeaveCriticalSection", {cs});
  EXPECT_EQ(guest_read32(cs + 12), 0u);
  GuestCall("DeleteCriticalSection", {cs});
}

TEST(ThreadHandlers, SuspendResumeAndPriorityOnADeviceThread) {
  HANDLE t = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 11; }, nullptr, CREATE_SUSPENDED, nullptr);
  u32 h = guest_addr(t);
  EXPECT_EQ(GuestCall("SuspendThread", {h}).eax(), 1u);
  EXPECT_EQ(GuestCall("SetThreadPriority", {h, 5}).eax(), 1u);
  // The guest's desktop priority values reach the device untranslated.
  EXPECT_EQ(GuestCall("SetThreadPriority", {h, 0xFFFFFFFF /* THREAD_PRIORITY_BELOW_NORMAL */}).eax(), 0u);
  EXPECT_EQ(GuestCall("GetLastError", {}).eax(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GuestCall("ResumeThread", {h}).eax(), 2u);
  EXPECT_EQ(GuestCall("ResumeThread", {h}).eax(), 1u);
  EXPECT_EQ(GuestCall("WaitForSingleObject", {h, 10000}).eax(), WAIT_OBJECT_0);
  GuestCall sleep("Sleep", {1});
  EXPECT_EQ(sleep.eax(), 0xA5A5A5A5u);
  EXPECT_EQ(GuestCall("CloseHandle", {h}).eax(), 1u);
}
