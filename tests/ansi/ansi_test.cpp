// Zentrix: conversions, output buffers, pass-through of resource ordinals,
// registry data as stored, and the command-line buffer.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "wce/device.h"
#include "wce/kernel.h"
#include "zentrix.h"

namespace {

LRESULT plain_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

TEST(Zentrix, OutputBuffers) {
  // A null buffer is a size query in wide characters.
  EXPECT_EQ(GetLocaleInfoA(0x409, LOCALE_SENGLANGUAGE, nullptr, 0), 8);
  char out[16];
  memset(out, '#', sizeof out);
  EXPECT_EQ(GetLocaleInfoA(0x409, LOCALE_SENGLANGUAGE, out, 16), 8);
  EXPECT_STREQ(out, "English");
  // A count of -1 is 32,768 characters.
  memset(out, '#', sizeof out);
  EXPECT_EQ(GetLocaleInfoA(0x409, LOCALE_SCOUNTRY, out, -1), 14);
  EXPECT_STREQ(out, "United States");
  // At most count bytes are written; the terminator only where it fits.
  memset(out, '#', sizeof out);
  EXPECT_EQ(LCMapStringA(0x409, LCMAP_UPPERCASE, "abcdef", 6, out, 6), 6);
  EXPECT_EQ(std::string(out, 7), "ABCDEF#");
  memset(out, '#', sizeof out);
  EXPECT_EQ(GetModuleFileNameA(nullptr, out, 4), 3u);
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(out[4], '#');
  char upper[16];
  EXPECT_EQ(LCMapStringA(0x409, LCMAP_UPPERCASE, "abc \xE9", -1, upper, 16), 6);
  EXPECT_STREQ(upper, "ABC \xC9");
  WORD types[3];
  EXPECT_TRUE(GetStringTypeA(0x407, CT_CTYPE1, "a1 ", 3, types));  // the locale is dropped
  EXPECT_EQ(types[1], C1_DIGIT | C1_XDIGIT);
  // Counts shorter than the strings limit the comparison.
  EXPECT_EQ(CompareStringA(0x409, 0, "abcX", 3, "abcY", 3), CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(0x409, 0, "abcX", -1, "abcY", -1), CSTR_LESS_THAN);
}

TEST(Zentrix, ResourceOrdinalsAndWindows) {
  EXPECT_EQ(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(32512)), LoadIconW(nullptr, IDI_APPLICATION));
  EXPECT_EQ(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(0x7F00)), LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(LoadMenuA(nullptr, reinterpret_cast<LPCSTR>(1)), nullptr);
  WNDCLASSA cls = {};
  cls.lpfnWndProc = plain_proc;
  cls.lpszClassName = "AnsiClass";
  cls.lpszMenuName = reinterpret_cast<LPCSTR>(5);
  WORD atom = RegisterClassA(&cls);
  EXPECT_NE(atom, 0);
  HWND hwnd = CreateWindowExA(0, "ansiclass", "Caf\xE9", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  WCHAR title[16];
  GetWindowTextW(hwnd, title, 16);
  EXPECT_EQ(std::u16string(title), u"Caf\u00E9");
  EXPECT_EQ(GetPropW(hwnd, u"AnsiWindow"), reinterpret_cast<HANDLE>(1));
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  // Messages pass unchanged.
  ASSERT_TRUE(PostMessageA(hwnd, WM_USER, 1, 2));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  DestroyWindow(hwnd);
}

TEST(Zentrix, RegistryDataAsStored) {
  setenv("DEVICE_REGISTRY", (device_root() + "/ansi-registry.dat").c_str(), 1);
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Ansi", 0, nullptr, 0, 0, nullptr, &key, nullptr), 0);
  ASSERT_EQ(RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>("hello"), 6), 0);
  BYTE data[32];
  memset(data, '#', sizeof data);
  DWORD size = sizeof data, type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "name", nullptr, &type, data, &size), 0);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 12u);  // twice the caller's count
  EXPECT_STREQ(reinterpret_cast<char*>(data), "hello");
  EXPECT_EQ(data[11], 0);
  DWORD number = 0x01020304;
  ASSERT_EQ(RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), 0);
  size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "Number", nullptr, nullptr, data, &size), 0);  // no type wanted
  EXPECT_EQ(size, 4u);
  HKEY opened;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "ANSI", 0, 0, &opened), 0);
  RegCloseKey(opened);
  RegCloseKey(key);
}

TEST(Zentrix, StringsAndCommandLine) {
  char buffer[16] = "ab";
  EXPECT_EQ(lstrcatA(buffer, "cd"), buffer);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(lstrlenA(buffer), 4);
  EXPECT_EQ(lstrcpyA(buffer, "x"), buffer);
  EXPECT_STREQ(buffer, "x");
  char* line = GetCommandLineA();
  EXPECT_EQ(GetCommandLineA(), line);  // one static buffer
  EXPECT_LT(strlen(line), 1024u);
}

// The command line of a process started with a 2,000-character argument
// comes back cut to 1,023 bytes.
TEST(Zentrix, LongCommandLineIsCut) {
  if (getenv("ZENTRIX_LONG_LINE_CHILD")) {
    size_t n = strlen(GetCommandLineA());
    _exit(n == 1023 && GetCommandLineA()[1023] == 0 ? 0 : 1);
  }
  pid_t pid = fork();
  if (pid == 0) {
    setenv("ZENTRIX_LONG_LINE_CHILD", "1", 1);
    std::string filter = "--gtest_filter=Zentrix.LongCommandLineIsCut";
    std::string arg(2000, 'L');
    char self[4096];
    ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    self[len > 0 ? len : 0] = 0;
    execl(self, self, filter.c_str(), arg.c_str(), static_cast<char*>(nullptr));
    // A kernel that cannot run 32-bit programs runs us under the emulator.
    execlp("qemu-i386", "qemu-i386", "-R", "0x80000000", self, filter.c_str(), arg.c_str(),
           static_cast<char*>(nullptr));
    _exit(2);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
