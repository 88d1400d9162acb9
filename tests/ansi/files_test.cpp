// CreateFileA and FindFirstFileA: the drive prefix, the retry in the
// program's folder, the bounded composition, and find records.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "wce/device.h"
#include "wce/file.h"
#include "wce/kernel.h"
#include "zentrix.h"

namespace {

// The program's folder as a device path, and the host folder it maps to.
std::string program_folder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
  *strrchr(path, '\\') = 0;
  return path;
}

void make_file(const std::string& device_path) {
  std::string host = device_host_path8(device_path.c_str());
  std::string folder = host.substr(0, host.rfind('/'));
  std::string made;
  for (size_t at = 1; at != std::string::npos; at = folder.find('/', at + 1)) {
    made = folder.substr(0, at == 0 ? 1 : at);
    mkdir(made.c_str(), 0755);
  }
  mkdir(folder.c_str(), 0755);
  FILE* f = fopen(host.c_str(), "wb");
  ASSERT_NE(f, nullptr) << host;
  fputs("x", f);
  fclose(f);
}

HANDLE open_a(const char* name) {
  return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

TEST(ZentrixFiles, DrivePrefixRetryAndProgramFolder) {
  make_file("\\ZSVC\\ROOT.BIN");
  make_file(program_folder() + "\\ZSVC\\PROG.BIN");
  make_file(program_folder() + "\\REL.BIN");
  HANDLE root = open_a("C:\\ZSVC\\ROOT.BIN");  // drive dropped, found in the root
  EXPECT_NE(root, INVALID_HANDLE_VALUE);
  CloseHandle(root);
  HANDLE retried = open_a("D:\\ZSVC\\PROG.BIN");  // not in the root: the program folder
  EXPECT_NE(retried, INVALID_HANDLE_VALUE);
  CloseHandle(retried);
  HANDLE relative = open_a("REL.BIN");
  EXPECT_NE(relative, INVALID_HANDLE_VALUE);
  CloseHandle(relative);
  EXPECT_EQ(open_a("ZSVC\\ROOT.BIN"), INVALID_HANDLE_VALUE);  // relative: the program folder only
}

// A name that does not fit the 260-byte composition fails like a missing
// file instead of running past the buffer.
TEST(ZentrixFiles, CompositionThatDoesNotFit) {
  std::string name(400, 'n');
  EXPECT_EQ(open_a(name.c_str()), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  WIN32_FIND_DATAA data;
  memset(&data, '#', sizeof data);
  EXPECT_EQ(FindFirstFileA(name.c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(data.cFileName[0], 0);
  EXPECT_EQ(data.cAlternateFileName[0], 0);
}

TEST(ZentrixFiles, FindRecordsCarryLongNames) {
  make_file("\\ZFIND\\averyveryverylongname.sav");
  WIN32_FIND_DATAA data;
  memset(&data, '#', sizeof data);
  HANDLE find = FindFirstFileA("\\ZFIND\\*.SAV", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "averyveryverylongname.sav");
  EXPECT_EQ(std::string(data.cAlternateFileName), "averyveryvery");  // 13 characters and a 0
  EXPECT_EQ(data.dwReserved0, 0u);
  EXPECT_EQ(data.dwReserved1, 0u);
  EXPECT_EQ(data.nFileSizeLow, 1u);
  EXPECT_FALSE(FindNextFileA(find, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  FindClose(find);
  EXPECT_EQ(FindFirstFileA("\\ZFIND\\*.NONE", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.cFileName[0], 0);
}
