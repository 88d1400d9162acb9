// Heaps and the pointer probes.
#include <gtest/gtest.h>

#include <cstring>

#include "wce/heap.h"
#include "wce/kernel.h"

TEST(Heap, BlocksKnowTheirSizeAndZeroingIsAsked) {
  HANDLE heap = HeapCreate(0, 0, 0);
  ASSERT_NE(heap, nullptr);
  auto* zeroed = static_cast<uint8_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 100));
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 100; i++) ASSERT_EQ(zeroed[i], 0) << i;
  EXPECT_EQ(HeapSize(heap, 0, zeroed), 100u);
  memset(zeroed, 0xAB, 100);
  auto* grown = static_cast<uint8_t*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, zeroed, 200));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(HeapSize(heap, 0, grown), 200u);
  EXPECT_EQ(grown[99], 0xAB);
  EXPECT_EQ(grown[100], 0);
  EXPECT_EQ(grown[199], 0);
  void* empty = HeapAlloc(heap, 0, 0);
  EXPECT_NE(empty, nullptr);
  EXPECT_EQ(HeapSize(heap, 0, empty), 0u);
  EXPECT_TRUE(HeapFree(heap, 0, grown));
  EXPECT_TRUE(HeapFree(heap, 0, empty));
  EXPECT_TRUE(HeapDestroy(heap));
}

TEST(Heap, ForeignBlocksAndDeadHeapsAreRefused) {
  HANDLE a = HeapCreate(0, 0, 0);
  HANDLE b = HeapCreate(0, 0, 0);
  void* block = HeapAlloc(a, 0, 16);
  EXPECT_FALSE(HeapFree(b, 0, block));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(HeapSize(b, 0, block), 0xFFFFFFFFu);
  EXPECT_EQ(HeapReAlloc(b, 0, block, 32), nullptr);
  EXPECT_TRUE(HeapFree(a, 0, block));
  EXPECT_FALSE(HeapFree(a, 0, block));  // not twice
  EXPECT_TRUE(HeapFree(a, 0, nullptr));
  EXPECT_TRUE(HeapDestroy(a));
  EXPECT_EQ(HeapAlloc(a, 0, 16), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(HeapDestroy(a));
  EXPECT_TRUE(HeapDestroy(b));
}

TEST(Heap, AFixedHeapHoldsNoMoreThanItsMaximum) {
  HANDLE heap = HeapCreate(0, 0, 1000);
  void* first = HeapAlloc(heap, 0, 600);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(HeapAlloc(heap, 0, 600), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(HeapReAlloc(heap, 0, first, 1200), nullptr);
  void* second = HeapAlloc(heap, 0, 400);
  EXPECT_NE(second, nullptr);
  EXPECT_TRUE(HeapFree(heap, 0, first));
  EXPECT_NE(HeapAlloc(heap, 0, 500), nullptr);
  EXPECT_TRUE(HeapDestroy(heap));
}

TEST(Heap, InPlaceOnlyShrinksButDoesNotMove) {
  HANDLE heap = HeapCreate(0, 0, 0);
  void* block = HeapAlloc(heap, 0, 64);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, block, 32), block);
  EXPECT_EQ(HeapSize(heap, 0, block), 32u);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, block, 4096), nullptr);
  EXPECT_EQ(HeapSize(heap, 0, block), 32u);
  HeapDestroy(heap);
}

TEST(Heap, TheProcessHeapIsOneAndStays) {
  HANDLE heap = GetProcessHeap();
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(GetProcessHeap(), heap);
  void* block = HeapAlloc(heap, 0, 8);
  EXPECT_TRUE(HeapFree(heap, 0, block));
  EXPECT_FALSE(HeapDestroy(heap));
}

TEST(Probe, ReadableWritableAndMissingMemory) {
  static char buffer[64];
  EXPECT_FALSE(IsBadReadPtr(buffer, sizeof buffer));
  EXPECT_FALSE(IsBadWritePtr(buffer, sizeof buffer));
  EXPECT_TRUE(IsBadReadPtr(nullptr, 1));
  EXPECT_FALSE(IsBadReadPtr(nullptr, 0));
  EXPECT_TRUE(IsBadWritePtr(nullptr, 4));
  EXPECT_TRUE(IsBadCodePtr(nullptr));
  EXPECT_FALSE(IsBadCodePtr(reinterpret_cast<const void*>(&IsBadCodePtr)));
  // A range that wraps around the address space is bad.
  EXPECT_TRUE(IsBadReadPtr(buffer, 0xFFFFFFFF));
}

TEST(Probe, PagesAreReallyTouched) {
  // Three pages: readable and writable, read-only, no access.
  auto* base = static_cast<uint8_t*>(VirtualAlloc(nullptr, 3 * 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(base, nullptr);
  base[4096] = 0x5A;
  DWORD old;
  ASSERT_TRUE(VirtualProtect(base + 4096, 4096, PAGE_READONLY, &old));
  ASSERT_TRUE(VirtualProtect(base + 8192, 4096, PAGE_NOACCESS, &old));
  base[10] = 0x77;
  EXPECT_FALSE(IsBadWritePtr(base, 4096));
  EXPECT_EQ(base[10], 0x77);  // written back unchanged
  EXPECT_FALSE(IsBadReadPtr(base, 8192));
  EXPECT_TRUE(IsBadWritePtr(base, 4097));
  EXPECT_FALSE(IsBadReadPtr(base + 4096, 4096));
  EXPECT_TRUE(IsBadWritePtr(base + 4096 + 100, 1));
  EXPECT_EQ(base[4096], 0x5A);
  EXPECT_TRUE(IsBadReadPtr(base + 4095, 8192));
  EXPECT_TRUE(IsBadReadPtr(base + 8192 + 4095, 1));
  EXPECT_TRUE(IsBadCodePtr(base + 8192));
  EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
}
