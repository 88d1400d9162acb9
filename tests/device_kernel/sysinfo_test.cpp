// What the device tells about itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "wce/kernel.h"
#include "wce/sysinfo.h"

TEST(SystemInfo, AOneProcessorArmHandheld) {
  SYSTEM_INFO info;
  memset(&info, 0xEE, sizeof info);
  GetSystemInfo(&info);
  EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_ARM);
  EXPECT_EQ(info.dwPageSize, 4096u);
  EXPECT_EQ(info.dwAllocationGranularity, 0x10000u);
  EXPECT_EQ(info.dwNumberOfProcessors, 1u);
  EXPECT_EQ(info.dwActiveProcessorMask, 1u);
  EXPECT_LT(reinterpret_cast<uintptr_t>(info.lpMaximumApplicationAddress), 0x80000000u);
  EXPECT_EQ(info.wReserved, 0);
}

TEST(Version, WindowsCe420InTheWholeRecord) {
  OSVERSIONINFOW info;
  memset(&info, 0xEE, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExW(&info));
  EXPECT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.dwMinorVersion, 20u);
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_CE);
  EXPECT_EQ(info.szCSDVersion[0], 0);
  EXPECT_EQ(info.szCSDVersion[127], 0);
}

TEST(Version, AShorterRecordIsWrittenOnlyAsFarAsItGoes) {
  // The 148-byte ANSI record: the text field holds 128 bytes.
  alignas(4) uint8_t memory[300];
  memset(memory, 0xEE, sizeof memory);
  auto* info = reinterpret_cast<OSVERSIONINFOW*>(memory);
  info->dwOSVersionInfoSize = 148;
  ASSERT_TRUE(GetVersionExW(info));
  EXPECT_EQ(info->dwMajorVersion, 4u);
  EXPECT_EQ(memory[147], 0);
  for (size_t i = 148; i < sizeof memory; i++) ASSERT_EQ(memory[i], 0xEE) << i;
  info->dwOSVersionInfoSize = 19;
  EXPECT_FALSE(GetVersionExW(info));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(Process, IdentifierAndModuleNotifications) {
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
  EXPECT_TRUE(DisableThreadLibraryCalls(GetModuleHandleW(nullptr)));
  EXPECT_FALSE(DisableThreadLibraryCalls(reinterpret_cast<HMODULE>(0x1234)));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}
