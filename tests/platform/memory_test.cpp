// Virtual memory and the handle table.
#include <gtest/gtest.h>

#include "handles.h"
#include "wce/wce.h"

TEST(VirtualMemory, FixedAddressIsHonouredOrRefused) {
  void* wanted = reinterpret_cast<void*>(0x36000000);
  void* got = VirtualAlloc(wanted, 0x3000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_EQ(got, wanted);
  static_cast<uint8_t*>(got)[0x2FFF] = 1;
  // The same range again is taken: refused, nothing handed out elsewhere.
  EXPECT_EQ(VirtualAlloc(wanted, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
  DWORD old = 0;
  EXPECT_TRUE(VirtualProtect(got, 0x1000, PAGE_READONLY, &old));
  EXPECT_EQ(old, static_cast<DWORD>(PAGE_READWRITE));
  EXPECT_FALSE(VirtualFree(static_cast<uint8_t*>(got) + 0x1000, 0, MEM_RELEASE));
  EXPECT_TRUE(VirtualFree(got, 0, MEM_RELEASE));
  EXPECT_EQ(VirtualAlloc(wanted, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE), wanted);
}

TEST(VirtualMemory, AnywhereStaysBelowTheTagBit) {
  for (int i = 0; i < 8; i++) {
    void* block = VirtualAlloc(nullptr, 0x100000, MEM_COMMIT | MEM_RESERVE | MEM_TOP_DOWN, PAGE_READWRITE);
    ASSERT_NE(block, nullptr);
    EXPECT_LE(reinterpret_cast<uintptr_t>(block) + 0x100000, 0x80000000u);
  }
  EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

namespace {
int g_destroyed;
void destroy(KObject* object) {
  g_destroyed++;
  delete object;
}
const KObjectOps kOps = {destroy, nullptr, nullptr};
}  // namespace

TEST(Handles, StaleAndForeignValuesAreRefused) {
  HANDLE h = handle_insert(new KObject{KOBJ_EVENT, &kOps, {1}});
  ASSERT_NE(h, nullptr);
  HANDLE copy = handle_duplicate(h);
  EXPECT_NE(copy, h);
  EXPECT_EQ(handle_get(h, KOBJ_FILE), nullptr);  // wrong kind
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(g_destroyed, 0);  // the copy keeps it alive
  EXPECT_FALSE(CloseHandle(h));
  HANDLE reused = handle_insert(new KObject{KOBJ_EVENT, &kOps, {1}});
  EXPECT_NE(reused, h);  // a new generation
  EXPECT_EQ(handle_get(h, KOBJ_ANY), nullptr);
  EXPECT_TRUE(CloseHandle(copy));
  EXPECT_EQ(g_destroyed, 1);
  EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x42)));
  EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x12345679)));
  EXPECT_TRUE(CloseHandle(reused));
}
