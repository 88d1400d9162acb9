// Module loading on device paths, names without regard to case.
#include <gtest/gtest.h>

#include <string>

#include "wce/wce.h"

TEST(Modules, LoadLibraryFindsAnyCaseInTheRoot) {
  // A module file in the device root, asked for by a name in other case,
  // bare and as a device path.
  std::string root = device_root();
  ASSERT_EQ(system(("cp '" NO_ENTRY_MODULE "' '" + root + "/MixedCase.Em.Dll'").c_str()), 0);
  HMODULE bare = LoadLibraryW(u"mixedcase.em.dll");
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(LoadLibraryW(u"\\MIXEDCASE.EM.DLL"), bare);  // loaded once, same handle
  EXPECT_NE(GetProcAddressW(bare, u"NotTheEntryPoint"), nullptr);
  EXPECT_EQ(GetProcAddressA(bare, "EntryPoint"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetModuleHandleW(u"MIXEDCASE.EM.DLL"), bare);

  EXPECT_EQ(LoadLibraryW(u"NoSuchModule.em.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(Modules, TheProgramIsTheFirstModule) {
  HMODULE self = GetModuleHandleW(nullptr);
  ASSERT_NE(self, nullptr);
  WCHAR path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  ASSERT_GT(n, 0u);
  std::string name = wstr_to_utf8(path);
  EXPECT_NE(name.find("platform_tests"), std::string::npos);
  EXPECT_EQ(name.find('/'), std::string::npos);  // device paths use backslashes
  EXPECT_EQ(GetModuleHandleW(u"PLATFORM_TESTS"), self);
  // A short buffer is filled and terminated.
  WCHAR small[4];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 3u);
  EXPECT_EQ(small[3], 0);
}

TEST(Modules, SnapshotListsLoadedModulesWithTheirBases) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
  ASSERT_NE(snap, INVALID_HANDLE_VALUE);
  MODULEENTRY32 entry;
  entry.dwSize = sizeof entry;
  bool found_program = false, found_device = false;
  for (BOOL more = Module32First(snap, &entry); more; more = Module32Next(snap, &entry)) {
    EXPECT_EQ(entry.modBaseAddr, reinterpret_cast<BYTE*>(entry.hModule));
    EXPECT_GT(entry.modBaseSize, 0u);
    std::string name = wstr_to_utf8(entry.szModule);
    found_program |= entry.hModule == GetModuleHandleW(nullptr);
    found_device |= name == "libcoredll.so";
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(found_program);
  EXPECT_TRUE(found_device);
  EXPECT_TRUE(CloseToolhelp32Snapshot(snap));
  EXPECT_FALSE(Module32First(snap, &entry));
}

TEST(Paths, DevicePathsMatchExistingNamesInAnyCase) {
  std::string root = device_root();
  ASSERT_EQ(system(("mkdir -p '" + root + "/Games/Data.Dir' && touch '" + root + "/Games/Data.Dir/Save.Bin'").c_str()), 0);
  EXPECT_EQ(device_host_path(u"\\games\\DATA.DIR\\save.bin"), root + "/Games/Data.Dir/Save.Bin");
  EXPECT_EQ(device_host_path(u"games/data.dir/New.txt"), root + "/Games/Data.Dir/New.txt");
  EXPECT_EQ(device_host_path(u"trevik.txt"), root + "/trevik.txt");
  EXPECT_EQ(device_host_path(u"\\..\\..\\etc\\passwd"), root + "/etc/passwd");  // never above the root
  EXPECT_EQ(wstr_to_utf8(device_path_of(root + "/Games/x.dat").c_str()), "\\Games\\x.dat");
}
