// File handlers end to end: the guest's ANSI calls through Zentrix and the
// device, and the pass-through file functions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel_support.h"
#include "wce/device.h"
#include "wce/file.h"
#include "wce/kernel.h"
#include "zentrix.h"

namespace {

void fresh(const char* folder) {
  std::string host = device_root() + "/" + folder;
  std::string command = "rm -rf '" + host + "'";
  ASSERT_EQ(system(command.c_str()), 0);
}

}  // namespace

TEST(FileHandlers, WriteSeekReadSizeAndTruncate) {
  fresh("kfiles");
  static char folder[] = "\\kfiles";
  static char name[] = "\\KFILES\\Data.bin";
  EXPECT_EQ(GuestCall("CreateDirectoryA", {guest_addr(folder), 0}).eax(), 1u);
  EXPECT_EQ(GuestCall("GetFileAttributesA", {guest_addr(folder)}).eax(), 0x10u);
  u32 h = GuestCall("CreateFileA", {guest_addr(name), 0xC0000000, 0, 0, 2 /* CREATE_ALWAYS */, 0x80, 0}).eax();
  ASSERT_NE(h, 0xFFFFFFFFu);
  static const char text[] = "0123456789";
  u32 done = 0;
  EXPECT_EQ(GuestCall("WriteFile", {h, guest_addr(text), 10, guest_addr(&done), 0}).eax(), 1u);
  EXPECT_EQ(done, 10u);
  EXPECT_EQ(GuestCall("FlushFileBuffers", {h}).eax(), 1u);
  EXPECT_EQ(GuestCall("SetFilePointer", {h, 4, 0, 0}).eax(), 4u);
  char buffer[16] = {0};
  EXPECT_EQ(GuestCall("ReadFile", {h, guest_addr(buffer), 3, guest_addr(&done), 0}).eax(), 1u);
  EXPECT_EQ(done, 3u);
  EXPECT_EQ(std::string(buffer), "456");
  u32 high = 0xEEEE;
  EXPECT_EQ(GuestCall("GetFileSize", {h, guest_addr(&high)}).eax(), 10u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(GuestCall("SetEndOfFile", {h}).eax(), 1u);
  EXPECT_EQ(GuestCall("GetFileSize", {h, 0}).eax(), 7u);
  // A 64-bit place through the guest's high word.
  int32_t distance_high = -1;
  EXPECT_EQ(GuestCall("SetFilePointer", {h, 0xFFFFFFFE, guest_addr(&distance_high), 2 /* FILE_END */}).eax(), 5u);
  EXPECT_EQ(distance_high, 0);
  EXPECT_EQ(GuestCall("CloseHandle", {h}).eax(), 1u);
  EXPECT_EQ(GuestCall("CloseHandle", {h}).eax(), 0u);
  EXPECT_EQ(GuestCall("GetLastError", {}).eax(), 6u);
}

TEST(FileHandlers, SharingAndDispositionsReachTheGuest) {
  fresh("kshare");
  static char folder[] = "\\kshare";
  static char name[] = "\\kshare\\s.txt";
  GuestCall("CreateDirectoryA", {guest_addr(folder), 0});
  u32 first = GuestCall("CreateFileA", {guest_addr(name), 0x40000000, 0, 0, 1 /* CREATE_NEW */, 0, 0}).eax();
  ASSERT_NE(first, 0xFFFFFFFFu);
  // Refused by the sharing rules, then by the existing file. Zentrix tries
  // an absolute name that fails again under the program's folder, which
  // lies outside this test's device root, so the guest is told that
  // retry's error.
  EXPECT_EQ(GuestCall("CreateFileA", {guest_addr(name), 0x80000000, 3, 0, 3, 0, 0}).eax(), 0xFFFFFFFFu);
  EXPECT_EQ(GuestCall("GetLastError", {}).eax(), 3u);  // ERROR_PATH_NOT_FOUND
  EXPECT_EQ(GuestCall("CreateFileA", {guest_addr(name), 0x40000000, 0, 0, 1, 0, 0}).eax(), 0xFFFFFFFFu);
  EXPECT_EQ(GuestCall("GetLastError", {}).eax(), 3u);
  EXPECT_EQ(GetFileAttributesW(u"\\kshare\\s.txt"), 0x20u);  // the refusals left the file alone
  GuestCall("CloseHandle", {first});
  u32 again = GuestCall("CreateFileA", {guest_addr(name), 0x80000000, 1, 0, 4 /* OPEN_ALWAYS */, 0, 0}).eax();
  ASSERT_NE(again, 0xFFFFFFFFu);
  EXPECT_EQ(GuestCall("GetLastError", {}).eax(), 183u);  // ERROR_ALREADY_EXISTS
  GuestCall("CloseHandle", {again});
  EXPECT_EQ(GuestCall("DeleteFileA", {guest_addr(name)}).eax(), 1u);
  EXPECT_EQ(GuestCall("GetFileAttributesA", {guest_addr(name)}).eax(), 0xFFFFFFFFu);
  EXPECT_EQ(GuestCall("GetLastError", {}).eax(), 2u);
}

TEST(FileHandlers, SearchesListTheFolder) {
  fresh("kfind");
  static char folder[] = "\\kfind";
  GuestCall("CreateDirectoryA", {guest_addr(folder), 0});
  for (const char* n : {"\\kfind\\one.sav", "\\kfind\\TWO.SAV", "\\kfind\\three.txt"}) {
    u32 h = GuestCall("CreateFileA", {guest_addr(n), 0x40000000, 0, 0, 2, 0, 0}).eax();
    GuestCall("CloseHandle", {h});
  }
  static char pattern[] = "\\kfind\\*.sav";
  WIN32_FIND_DATAA data;
  u32 find = GuestCall("FindFirstFileA", {guest_addr(pattern), guest_addr(&data)}).eax();
  ASSERT_NE(find, 0xFFFFFFFFu);
  std::string names = data.cFileName;
  while (GuestCall("FindNextFileA", {find, guest_addr(&data)}).eax()) names += std::string(",") + data.cFileName;
  EXPECT_EQ(GuestCall("GetLastError", {}).eax(), 18u);  // ERROR_NO_MORE_FILES
  EXPECT_EQ(names, "one.sav,TWO.SAV");
  EXPECT_EQ(GuestCall("FindClose", {find}).eax(), 1u);
  EXPECT_EQ(GuestCall("FindClose", {find}).eax(), 0u);
}

TEST(FileHandlers, TheTemporaryPath) {
  char buffer[64];
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GuestCall("GetTempPathA", {sizeof buffer, guest_addr(buffer)}).eax(), 6u);
  EXPECT_EQ(std::string(buffer), "\\Temp\\");
}
