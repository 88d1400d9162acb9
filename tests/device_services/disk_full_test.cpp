// A full disk, played by the file-size limit (SIGXFSZ ignored, so writes
// past it fail with EFBIG): writers report ERROR_DISK_FULL and acknowledge
// nothing that was not stored. Each case runs in a child process with a
// limit of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "wce/device.h"
#include "wce/file.h"
#include "wce/gdi.h"
#include "wce/kernel.h"
#include "wce/registry.h"
#include "child_process.h"

namespace {

bool limit_file_size(rlim_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit;
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = bytes;
  return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

off_t size_of(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

}  // namespace

TEST(DiskFull, RegistryRefusesWhatDoesNotFitAndStaysReadable) {
  std::string path = device_root() + "/reg-full.dat";
  unlink(path.c_str());
  setenv("DEVICE_REGISTRY", path.c_str(), 1);
  int rc = in_child([&] {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Game", 0, nullptr, 0, 0, nullptr, &key, nullptr)) return 1;
    DWORD level = 3;
    if (RegSetValueExW(key, u"Level", 0, REG_DWORD, reinterpret_cast<BYTE*>(&level), 4)) return 2;
    if (!limit_file_size(static_cast<rlim_t>(size_of(path) + 100))) return 3;
    std::string big(4000, 'b');
    if (RegSetValueExW(key, u"Big", 0, REG_BINARY, reinterpret_cast<const BYTE*>(big.data()), 4000) !=
        ERROR_DISK_FULL)
      return 4;
    HKEY other;
    std::u16string deep(300, u'k');  // a key record that cannot fit either
    deep[150] = u'\\';
    if (RegCreateKeyExW(HKEY_CURRENT_USER, deep.c_str(), 0, nullptr, 0, 0, nullptr, &other, nullptr) !=
        ERROR_DISK_FULL)
      return 5;
    DWORD size = 0;
    if (RegQueryValueExW(key, u"Big", nullptr, nullptr, nullptr, &size) != ERROR_FILE_NOT_FOUND) return 6;
    DWORD got = 0;
    size = 4;
    if (RegQueryValueExW(key, u"Level", nullptr, nullptr, reinterpret_cast<BYTE*>(&got), &size) || got != 3) return 7;
    level = 4;  // a small one still fits
    return RegSetValueExW(key, u"Level", 0, REG_DWORD, reinterpret_cast<BYTE*>(&level), 4) ? 8 : 0;
  });
  ASSERT_EQ(rc, 0);
  // A new start reads what was acknowledged, and nothing else.
  rc = in_child([] {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Game", 0, 0, &key)) return 1;
    DWORD got = 0, size = 4;
    if (RegQueryValueExW(key, u"Level", nullptr, nullptr, reinterpret_cast<BYTE*>(&got), &size) || got != 4) return 2;
    return RegQueryValueExW(key, u"Big", nullptr, nullptr, nullptr, &size) == ERROR_FILE_NOT_FOUND ? 0 : 3;
  });
  EXPECT_EQ(rc, 0);
}

TEST(DiskFull, WriteFileCountsOnlyWhatWasStored) {
  std::string host = device_root() + "/full.bin";
  unlink(host.c_str());
  int rc = in_child([] {
    if (!limit_file_size(100)) return 1;
    HANDLE f = CreateFileW(u"\\full.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 2;
    char data[300] = {};
    DWORD written = 12345;
    if (WriteFile(f, data, sizeof data, &written, nullptr)) return 3;
    if (GetLastError() != ERROR_DISK_FULL) return 4;
    if (written != 100) return 5;
    if (WriteFile(f, data, 1, &written, nullptr) || GetLastError() != ERROR_DISK_FULL || written != 0) return 6;
    return CloseHandle(f) ? 0 : 7;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(size_of(host), 100);
}

TEST(DiskFull, ScreenCaptureFailsWithoutLeavingHalfAPicture) {
  std::string path = device_root() + "/full.bmp";
  unlink(path.c_str());
  int rc = in_child([&] {
    if (!limit_file_size(1000)) return 1;
    if (device_write_screen(path.c_str())) return 2;
    return GetLastError() == ERROR_DISK_FULL ? 0 : 3;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(size_of(path), -1);
}
