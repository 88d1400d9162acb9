// Searches with wildcards: FindFirstFileW / FindNextFileW / FindClose.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "device_kernel_support.h"
#include "wce/file.h"
#include "wce/kernel.h"

namespace {

std::vector<std::u16string> search(const std::u16string& pattern) {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (FindNextFileW(h, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(h));
  return names;
}

std::u16string tree() {
  std::u16string dir = fresh_folder("find_tree");
  put_file(dir + u"\\alpha.txt", "12345");
  put_file(dir + u"\\Beta.TXT", "");
  put_file(dir + u"\\gamma.dat", "");
  put_file(dir + u"\\README", "");
  put_file(dir + u"\\a1.txt", "");
  put_file(dir + u"\\a22.txt", "");
  CreateDirectoryW((dir + u"\\Sub").c_str(), nullptr);
  return dir;
}

typedef std::vector<std::u16string> Names;

}  // namespace

TEST(Find, StarMatchesWithoutRegardToCaseInNameOrder) {
  std::u16string dir = tree();
  EXPECT_EQ(search(dir + u"\\*.txt"), (Names{u"a1.txt", u"a22.txt", u"alpha.txt", u"Beta.TXT"}));
  EXPECT_EQ(search(u"\\FIND_TREE\\*.DAT"), (Names{u"gamma.dat"}));
}

TEST(Find, QuestionMarkIsOneCharacter) {
  std::u16string dir = tree();
  EXPECT_EQ(search(dir + u"\\a?.txt"), (Names{u"a1.txt"}));
  EXPECT_EQ(search(dir + u"\\a??.txt"), (Names{u"a22.txt"}));
}

TEST(Find, StarDotStarTakesEverythingButTheDotEntries) {
  std::u16string dir = tree();
  Names all = search(dir + u"\\*.*");
  EXPECT_EQ(all, (Names{u"a1.txt", u"a22.txt", u"alpha.txt", u"Beta.TXT", u"gamma.dat", u"README", u"Sub"}));
  EXPECT_EQ(search(dir + u"\\*"), all);
  EXPECT_EQ(search(dir + u"\\readme.*"), (Names{u"README"}));
}

TEST(Find, AnExactNameFindsOneEntryWithItsFacts) {
  std::u16string dir = tree();
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW((dir + u"\\ALPHA.TXT").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::u16string(data.cFileName), u"alpha.txt");
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
  EXPECT_FALSE(FindNextFileW(h, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(h));
  EXPECT_FALSE(FindClose(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  h = FindFirstFileW((dir + u"\\sub").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  FindClose(h);
}

TEST(Find, NothingFoundAndNoFolderAreTold) {
  std::u16string dir = tree();
  WIN32_FIND_DATAW data;
  EXPECT_EQ(FindFirstFileW((dir + u"\\*.sav").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFileW((dir + u"\\nowhere\\*.sav").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  // A bare pattern searches the device root.
  put_file(u"\\find_root_probe.xyz", "");
  EXPECT_EQ(search(u"*.xyz"), (Names{u"find_root_probe.xyz"}));
  DeleteFileW(u"\\find_root_probe.xyz");
}

TEST(Find, ASearchIsNotAFileAndAFileIsNotASearch) {
  std::u16string dir = tree();
  WIN32_FIND_DATAW data;
  HANDLE file = CreateFileW((dir + u"\\alpha.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(FindNextFileW(file, &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(FindClose(file));
  CloseHandle(file);
  HANDLE find = FindFirstFileW((dir + u"\\*").c_str(), &data);
  char c;
  DWORD got;
  EXPECT_FALSE(ReadFile(find, &c, 1, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  FindClose(find);
}
