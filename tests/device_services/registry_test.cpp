// The registry: keys and values, and the journal that keeps them across a
// restart and a process killed while writing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "wce/device.h"
#include "wce/registry.h"
#include "child_process.h"

namespace {

// Each test runs in its own process and gets a store of its own.
std::string use_store(const char* name) {
  std::string path = device_root() + "/" + name;
  unlink(path.c_str());
  unlink((path + ".new").c_str());
  setenv("DEVICE_REGISTRY", path.c_str(), 1);
  return path;
}

DWORD query_dword(HKEY key, const WCHAR* name, LONG* status) {
  DWORD value = 0, size = sizeof value, type = 0;
  *status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  return value;
}

}  // namespace

TEST(Registry, KeysAndValues) {
  use_store("reg-basic.dat");
  HKEY key, again, deep;
  DWORD how = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Game", 0, nullptr, 0, 0, nullptr, &key, &how), 0);
  EXPECT_EQ(how, REG_CREATED_NEW_KEY);
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\game\\", 0, nullptr, 0, 0, nullptr, &again, &how), 0);
  EXPECT_EQ(how, REG_OPENED_EXISTING_KEY);
  DWORD level = 7;
  ASSERT_EQ(RegSetValueExW(key, u"Level", 0, REG_DWORD, reinterpret_cast<BYTE*>(&level), 4), 0);
  LONG status;
  EXPECT_EQ(query_dword(again, u"LEVEL", &status), 7u);
  EXPECT_EQ(status, ERROR_SUCCESS);
  // Size query, too small a buffer, missing value, default value.
  const char16_t name[] = u"Player One";
  ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name), 0);
  DWORD size = 0, type = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, sizeof name);
  EXPECT_EQ(type, REG_SZ);
  BYTE small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof name);
  EXPECT_EQ(RegQueryValueExW(key, u"Nope", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  // Opening needs an existing key; names are checked.
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Other", 0, 0, &deep), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, 0, &deep), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(deep), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(deep), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCreateKeyExW(key, u"\\Lead", 0, nullptr, 0, 0, nullptr, &deep, nullptr), ERROR_BAD_PATHNAME);
  std::u16string long_name(256, u'k');
  EXPECT_EQ(RegCreateKeyExW(key, long_name.c_str(), 0, nullptr, 0, 0, nullptr, &deep, nullptr), ERROR_INVALID_NAME);
  EXPECT_EQ(RegSetValueExW(reinterpret_cast<HKEY>(0x1234), u"x", 0, REG_DWORD, small, 4), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST(Registry, SurvivesRestartAndTornTail) {
  std::string path = use_store("reg-restart.dat");
  int written = in_child([] {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Saves", 0, nullptr, 0, 0, nullptr, &key, nullptr)) return 1;
    for (DWORD i = 0; i < 50; i++)
      if (RegSetValueExW(key, u"Slot", 0, REG_DWORD, reinterpret_cast<BYTE*>(&i), 4)) return 2;
    return 0;
  });
  ASSERT_EQ(written, 0);
  // A torn record at the end (a writer that died mid-append).
  FILE* f = fopen(path.c_str(), "ab");
  ASSERT_TRUE(f);
  fwrite("RGR1\x40\0\0\0garbage", 1, 15, f);
  fclose(f);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"saves", 0, 0, &key), ERROR_SUCCESS);
  LONG status;
  EXPECT_EQ(query_dword(key, u"Slot", &status), 49u);
  // The next write cuts the torn record off and lands where readers see it.
  DWORD fresh = 1234;
  ASSERT_EQ(RegSetValueExW(key, u"After", 0, REG_DWORD, reinterpret_cast<BYTE*>(&fresh), 4), 0);
  int seen = in_child([] {
    HKEY k;
    LONG s;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Saves", 0, 0, &k)) return 1;
    return query_dword(k, u"After", &s) == 1234 && query_dword(k, u"Slot", &s) == 49 ? 0 : 2;
  });
  EXPECT_EQ(seen, 0);
  RegCloseKey(key);
}

// A writer killed at an arbitrary moment loses nothing it was told was
// written, and leaves a store that reads and writes normally.
TEST(Registry, KillDuringWritesLosesNothingAcknowledged) {
  use_store("reg-kill.dat");
  int acks[2];
  ASSERT_EQ(pipe(acks), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(acks[0]);
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Kill", 0, nullptr, 0, 0, nullptr, &key, nullptr)) _exit(1);
    std::string filler(1000, 'f');
    for (DWORD i = 0;; i++) {
      WCHAR name[16];
      for (int k = 0; k < 8; k++) name[k] = static_cast<WCHAR>(u'a' + ((i >> (4 * k)) & 15));
      name[8] = 0;
      RegSetValueExW(key, u"Filler", 0, REG_BINARY, reinterpret_cast<const BYTE*>(filler.data()), 1000);
      if (RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&i), 4)) _exit(2);
      if (write(acks[1], &i, 4) != 4) _exit(3);
    }
  }
  close(acks[1]);
  DWORD last = 0, got;
  // Kill after enough acknowledged writes that compaction has run too.
  while (read(acks[0], &got, 4) == 4) {
    last = got;
    if (got == 600) kill(pid, SIGKILL);
  }
  waitpid(pid, nullptr, 0);
  close(acks[0]);
  ASSERT_GE(last, 600u);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Kill", 0, 0, &key), ERROR_SUCCESS);
  for (DWORD i = 0; i <= last; i++) {
    WCHAR name[16];
    for (int k = 0; k < 8; k++) name[k] = static_cast<WCHAR>(u'a' + ((i >> (4 * k)) & 15));
    name[8] = 0;
    LONG status;
    ASSERT_EQ(query_dword(key, name, &status), i);
    ASSERT_EQ(status, ERROR_SUCCESS) << i;
  }
  DWORD one = 1;
  EXPECT_EQ(RegSetValueExW(key, u"AfterKill", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4), ERROR_SUCCESS);
  RegCloseKey(key);
}
