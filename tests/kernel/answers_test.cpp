// The answers the runtime makes up about the emulated machine, and the
// quirks a guest may rely on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "kernel_support.h"
#include "wce/kernel.h"
#include "wce/synch.h"

TEST(Drives, OnlyTheFirstCharacterCounts) {
  static char c[] = "c:\\", d[] = "D:\\", e[] = "E:\\", bare_c[] = "Cxyz";
  EXPECT_EQ(GuestCall("GetDriveTypeA", {guest_addr(c)}).eax(), 3u);       // DRIVE_FIXED
  EXPECT_EQ(GuestCall("GetDriveTypeA", {guest_addr(d)}).eax(), 5u);       // DRIVE_CDROM
  EXPECT_EQ(GuestCall("GetDriveTypeA", {guest_addr(e)}).eax(), 0u);       // DRIVE_UNKNOWN
  EXPECT_EQ(GuestCall("GetDriveTypeA", {guest_addr(bare_c)}).eax(), 3u);
  EXPECT_EQ(GuestCall("GetDriveTypeA", {0}).eax(), 3u);  // the current drive, C:
  EXPECT_EQ(GuestCall("GetLogicalDrives", {}).eax(), 12u);
}

TEST(Directories, TheWindowsDirectoryIsCopiedWithStrncpy) {
  char buffer[16];
  memset(buffer, '#', sizeof buffer);
  GuestCall small("GetWindowsDirectoryA", {guest_addr(buffer), 4});
  EXPECT_EQ(small.eax(), 8u);
  EXPECT_EQ(std::string(buffer, 5), "\\win#");  // four bytes, no terminator
  memset(buffer, '#', sizeof buffer);
  GuestCall whole("GetSystemDirectoryA", {guest_addr(buffer), 12});
  EXPECT_EQ(whole.eax(), 8u);
  EXPECT_EQ(std::string(buffer), "\\windows");
  EXPECT_EQ(buffer[11], 0);  // strncpy fills the rest with zeros
  EXPECT_EQ(buffer[12], '#');
  EXPECT_EQ(GuestCall("GetWindowsDirectoryA", {guest_addr(buffer), 0}).eax(), 8u);
}

TEST(FileType, InvalidHandleIsUnknownEverythingElseADisk) {
  GuestCall bad("GetFileType", {0xFFFFFFFF});
  EXPECT_EQ(bad.eax(), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GuestCall("GetLastError", {}).eax(), 6u);
  EXPECT_EQ(GuestCall("GetFileType", {0}).eax(), 1u);
  EXPECT_EQ(GuestCall("GetFileType", {0x12345}).eax(), 1u);
  EXPECT_EQ(GuestCall("GetStdHandle", {0xFFFFFFF6}).eax(), 0xFFFFFFFFu);
}

TEST(Handles, DuplicatingTheThreadPseudoHandleGivesTheThreadIdentifier) {
  alignas(4) uint8_t out[8];
  memset(out, 0xEE, sizeof out);
  GuestCall call("DuplicateHandle", {0x42, 0x41, 0x42, guest_addr(out + 1), 0, 0, DUPLICATE_SAME_ACCESS});
  EXPECT_EQ(call.eax(), 1u);
  u32 stored = guest_read32(guest_addr(out + 1));
  EXPECT_EQ(stored, GetCurrentThreadId());
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(out[5], 0xEE);
  // On the device the identifier is a handle to the thread.
  EXPECT_EQ(GuestCall("WaitForSingleObject", {stored, 0}).eax(), WAIT_TIMEOUT);
  EXPECT_EQ(GuestCall("SetThreadPriority", {stored, 3}).eax(), 1u);
  EXPECT_EQ(GuestCall("GetCurrentThread", {}).eax(), 0x41u);
  EXPECT_EQ(GuestCall("GetCurrentProcess", {}).eax(), 0x42u);
}

TEST(Handles, OtherHandlesAreDuplicatedByTheDevice) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE copy = nullptr;
  GuestCall call("DuplicateHandle", {0x42, guest_addr(event), 0x42, guest_addr(&copy), 0, 0, DUPLICATE_SAME_ACCESS});
  EXPECT_EQ(call.eax(), 1u);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy, event);
  SetEvent(copy);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  CloseHandle(copy);
  GuestCall stale("DuplicateHandle", {0x42, 0x00ABC000, 0x42, guest_addr(&copy), 0, 0, DUPLICATE_SAME_ACCESS});
  EXPECT_EQ(stale.eax(), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(event);
}

TEST(Environment, OneStaticBlockOfTwoVariables) {
  u32 first = GuestCall("GetEnvironmentStringsW", {}).eax();
  u32 second = GuestCall("GetEnvironmentStringsW", {}).eax();
  EXPECT_EQ(first, second);
  const char16_t* block = reinterpret_cast<const char16_t*>(static_cast<uintptr_t>(first));
  std::u16string one(block);
  std::u16string two(block + one.size() + 1);
  EXPECT_EQ(one, u"windir=\\windows");
  EXPECT_EQ(two, u"ProgramFiles=\\Program Files");
  EXPECT_EQ(block[one.size() + 1 + two.size()], 0);
  EXPECT_EQ(block[one.size() + 1 + two.size() + 1], 0);
  EXPECT_EQ(GuestCall("FreeEnvironmentStringsW", {first}).eax(), 0u);
  EXPECT_EQ(GuestCall("GetEnvironmentStrings", {}).eax(), 0u);
}

TEST(Profile, TheDefaultAnswers) {
  static char fallback[] = "abc";
  char buffer[8];
  memset(buffer, '#', sizeof buffer);
  GuestCall cut("GetProfileStringA", {0, 0, guest_addr(fallback), guest_addr(buffer), 2});
  EXPECT_EQ(cut.eax(), 3u);
  EXPECT_EQ(std::string(buffer, 3), "ab#");
  GuestCall none("GetProfileStringA", {0, 0, 0, guest_addr(buffer), 8});
  EXPECT_EQ(none.eax(), 0u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(GuestCall("GetProfileIntA", {0, 0, 7}).eax(), 7u);
}

TEST(Startup, OnlyTheShowStateIsWritten) {
  alignas(4) uint8_t record[72];
  memset(record, 0xEE, sizeof record);
  GuestCall call("GetStartupInfoA", {guest_addr(record + 1)});  // an odd record
  EXPECT_EQ(call.eax(), 0xA5A5A5A5u);
  for (size_t i = 0; i < sizeof record; i++) {
    if (i == 49)
      EXPECT_EQ(record[i], 5) << i;
    else if (i == 50)
      EXPECT_EQ(record[i], 0) << i;
    else
      EXPECT_EQ(record[i], 0xEE) << i;
  }
}

TEST(Version, TheDevicesNumbersToldAsWindowsNt) {
  EXPECT_EQ(GuestCall("GetVersion", {}).eax(), 0x50000u);
  alignas(4) uint8_t record[160];
  memset(record, 0xEE, sizeof record);
  guest_write32(guest_addr(record), 148);
  GuestCall call("GetVersionExA", {guest_addr(record)});
  EXPECT_EQ(call.eax(), 1u);
  EXPECT_EQ(guest_read32(guest_addr(record) + 4), 4u);
  EXPECT_EQ(guest_read32(guest_addr(record) + 8), 20u);
  EXPECT_EQ(guest_read32(guest_addr(record) + 16), 2u);
  for (size_t i = 148; i < sizeof record; i++) EXPECT_EQ(record[i], 0xEE) << i;
  // A failing call still says Windows NT.
  memset(record, 0, sizeof record);
  GuestCall refused("GetVersionExA", {guest_addr(record)});
  EXPECT_EQ(refused.eax(), 0u);
  EXPECT_EQ(guest_read32(guest_addr(record) + 16), 2u);
}

TEST(Process, IdentifiersAndAffinity) {
  EXPECT_EQ(GuestCall("GetCurrentProcessId", {}).eax(), static_cast<u32>(getpid()));
  EXPECT_EQ(GuestCall("GetCurrentThreadId", {}).eax(), GetCurrentThreadId());
  alignas(4) uint8_t masks[12];
  memset(masks, 0xEE, sizeof masks);
  GuestCall call("GetProcessAffinityMask", {0x42, guest_addr(masks + 1), guest_addr(masks + 6)});
  EXPECT_EQ(call.eax(), 1u);
  EXPECT_EQ(guest_read32(guest_addr(masks + 1)), 1u);
  EXPECT_EQ(guest_read32(guest_addr(masks + 6)), 1u);
  EXPECT_EQ(masks[5], 0xEE);
  EXPECT_EQ(GuestCall("SetThreadAffinityMask", {0x41, 1}).eax(), 1u);
  EXPECT_EQ(GuestCall("SetErrorMode", {1}).eax(), 1024u);
  EXPECT_EQ(GuestCall("SetHandleCount", {20}).eax(), 1024u);
}

TEST(Errors, TheLastErrorIsTheDevicesAndStubsAnswerZero) {
  GuestCall set("SetLastError", {1234});
  EXPECT_EQ(set.eax(), 0xA5A5A5A5u);
  EXPECT_EQ(GetLastError(), 1234u);
  EXPECT_EQ(GuestCall("GetLastError", {}).eax(), 1234u);
  EXPECT_EQ(GuestCall("RaiseException", {0xC0000005, 0, 0, 0}).eax(), 0u);
  EXPECT_EQ(GuestCall("SetUnhandledExceptionFilter", {0x401000}).eax(), 0u);
  EXPECT_EQ(GuestCall("UnhandledExceptionFilter", {0}).eax(), 0u);
}

TEST(CommandLine, TheAnsiCommandLineComesFromZentrix) {
  u32 line = GuestCall("GetCommandLineA", {}).eax();
  ASSERT_NE(line, 0u);
  EXPECT_EQ(GuestCall("GetCommandLineA", {}).eax(), line);
}

TEST(ExitProcessDeathTest, EndsTheProcessWithTheGuestsCode) {
  EXPECT_EXIT(GuestCall("ExitProcess", {3}), testing::ExitedWithCode(3), "");
  EXPECT_EXIT(GuestCall("TerminateProcess", {0x42, 9}), testing::ExitedWithCode(9), "");
}
