// Memory handlers: heaps (with the logged failure), global memory made of
// the C library's blocks, virtual memory and the pointer probes.
#include <gtest/gtest.h>

#include <cstring>

#include "kernel_support.h"
#include "wce/kernel.h"

TEST(MemoryHandlers, HeapsThroughTheGuest) {
  u32 heap = GuestCall("HeapCreate", {0, 0, 0}).eax();
  ASSERT_NE(heap, 0u);
  u32 block = GuestCall("HeapAlloc", {heap, 8 /* HEAP_ZERO_MEMORY */, 40}).eax();
  ASSERT_NE(block, 0u);
  for (u32 i = 0; i < 40; i += 4) EXPECT_EQ(guest_read32(block + i), 0u);
  EXPECT_EQ(GuestCall("HeapSize", {heap, 0, block}).eax(), 40u);
  u32 grown = GuestCall("HeapReAlloc", {heap, 0, block, 400}).eax();
  ASSERT_NE(grown, 0u);
  EXPECT_EQ(GuestCall("HeapSize", {heap, 0, grown}).eax(), 400u);
  EXPECT_EQ(GuestCall("HeapFree", {heap, 0, grown}).eax(), 1u);
  EXPECT_EQ(GuestCall("HeapFree", {heap, 0, grown}).eax(), 0u);
  EXPECT_EQ(GuestCall("HeapDestroy", {heap}).eax(), 1u);
}

TEST(MemoryHandlers, AFailedHeapAllocationIsLoggedAndAnsweredWithNull) {
  u32 heap = GuestCall("HeapCreate", {0, 0, 1000}).eax();
  GuestCall call("HeapAlloc", {heap, 0, 2000});
  EXPECT_EQ(call.eax(), 0u);
  EXPECT_EQ(call.popped_words(), 4u);
  EXPECT_NE(log_text().find("Out of memory allocating 2000 bytes\n"), std::string::npos);
  GuestCall("HeapDestroy", {heap});
}

static int old_block_marker;

TEST(MemoryHandlers, GlobalHandlesAreTheBlocksThemselves) {
  // A block that held something, freed, comes back cleared when asked.
  u32 dirty = GuestCall("GlobalAlloc", {0, 16}).eax();
  ASSERT_NE(dirty, 0u);
  memset(reinterpret_cast<void*>(static_cast<uintptr_t>(dirty)), 0xAB, 16);
  EXPECT_EQ(GuestCall("GlobalFree", {dirty}).eax(), 0u);
  u32 zeroed = GuestCall("GlobalAlloc", {0x40 /* GMEM_ZEROINIT */, 16}).eax();
  ASSERT_NE(zeroed, 0u);
  for (u32 i = 0; i < 16; i += 4) EXPECT_EQ(guest_read32(zeroed + i), 0u);
  // A movable block is an address too: locking gives it back, unlocking says 1.
  u32 movable = GuestCall("GlobalAlloc", {0x2 /* GMEM_MOVEABLE */, 16}).eax();
  ASSERT_NE(movable, 0u);
  EXPECT_EQ(GuestCall("GlobalLock", {movable}).eax(), movable);
  EXPECT_EQ(GuestCall("GlobalHandle", {movable}).eax(), movable);
  guest_write32(movable + 12, 0x12345678);
  EXPECT_EQ(guest_read32(movable + 12), 0x12345678u);
  EXPECT_EQ(GuestCall("GlobalUnlock", {movable}).eax(), 1u);
  EXPECT_EQ(GuestCall("GlobalFree", {movable}).eax(), 0u);
  EXPECT_EQ(GuestCall("GlobalFree", {zeroed}).eax(), 0u);
  // A value that is no block (freed already, or never handed out) comes
  // back as the failure instead of reaching the allocator.
  EXPECT_EQ(GuestCall("GlobalFree", {zeroed}).eax(), zeroed);
  EXPECT_EQ(GuestCall("GlobalFree", {guest_addr(&old_block_marker) + 1}).eax(), guest_addr(&old_block_marker) + 1);
  EXPECT_EQ(GuestCall("GlobalFree", {0}).eax(), 0u);
}

TEST(MemoryHandlers, VirtualMemoryAndProbes) {
  u32 block = GuestCall("VirtualAlloc", {0, 8192, 0x3000, 4 /* PAGE_READWRITE */}).eax();
  ASSERT_NE(block, 0u);
  EXPECT_EQ(GuestCall("IsBadWritePtr", {block, 8192}).eax(), 0u);
  DWORD old;
  ASSERT_TRUE(VirtualProtect(reinterpret_cast<void*>(static_cast<uintptr_t>(block + 4096)), 4096, PAGE_NOACCESS, &old));
  EXPECT_EQ(GuestCall("IsBadReadPtr", {block + 4000, 200}).eax(), 1u);
  EXPECT_EQ(GuestCall("IsBadReadPtr", {block, 4096}).eax(), 0u);
  EXPECT_EQ(GuestCall("IsBadCodePtr", {block + 4096}).eax(), 1u);
  EXPECT_EQ(GuestCall("IsBadCodePtr", {0}).eax(), 1u);
  EXPECT_EQ(GuestCall("VirtualFree", {block, 0, 0x8000 /* MEM_RELEASE */}).eax(), 1u);
}
