// Files on device paths: creation dispositions, sharing, reads and
// writes, 64-bit file pointers, end of file, folders and attributes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "device_kernel_support.h"
#include "wce/device.h"
#include "wce/file.h"
#include "wce/kernel.h"
#include "wce/synch.h"

namespace {

HANDLE open_file(const std::u16string& name, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0) {
  return CreateFileW(name.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

const DWORD kRW = GENERIC_READ | GENERIC_WRITE;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

std::string read_all(HANDLE h) {
  char buffer[256];
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
  return std::string(buffer, got);
}

void write_text(HANDLE h, const std::string& text) {
  DWORD done = 0;
  EXPECT_TRUE(WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr));
  EXPECT_EQ(done, text.size());
}

}  // namespace

TEST(CreateFile, CreateNewMakesAFileAndRefusesAnExistingOne) {
  std::u16string dir = fresh_folder("cf_new");
  std::u16string name = dir + u"\\a.bin";
  HANDLE h = open_file(name, kRW, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  write_text(h, "abc");
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(file_content(name), "abc");

  SetLastError(0);
  EXPECT_EQ(open_file(name, kRW, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(file_content(name), "abc");
}

TEST(CreateFile, CreateAlwaysTruncatesAnExistingFileAndSaysSo) {
  std::u16string dir = fresh_folder("cf_always");
  std::u16string name = dir + u"\\b.bin";
  HANDLE h = open_file(name, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  write_text(h, "0123456789");
  CloseHandle(h);

  h = open_file(name, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(GetFileSize(h, nullptr), 0u);
  CloseHandle(h);
  EXPECT_EQ(file_content(name), "");
}

TEST(CreateFile, OpenAlwaysKeepsTheContentAndCreatesWhenMissing) {
  std::u16string dir = fresh_folder("cf_open_always");
  std::u16string name = dir + u"\\c.txt";
  HANDLE h = open_file(name, kRW, 0, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  write_text(h, "kept");
  CloseHandle(h);

  h = open_file(name, kRW, 0, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(read_all(h), "kept");
  CloseHandle(h);
}

TEST(CreateFile, OpenExistingTellsAMissingFileFromAMissingFolder) {
  std::u16string dir = fresh_folder("cf_missing");
  EXPECT_EQ(open_file(dir + u"\\none.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(open_file(dir + u"\\nodir\\none.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(open_file(dir + u"\\nodir\\new.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(CreateFile, TruncateExistingNeedsWriteAccessAndAnExistingFile) {
  std::u16string dir = fresh_folder("cf_truncate");
  std::u16string name = dir + u"\\t.txt";
  EXPECT_EQ(open_file(name, GENERIC_WRITE, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  put_file(name, "some text");
  EXPECT_EQ(open_file(name, GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(file_content(name), "some text");
  HANDLE h = open_file(name, GENERIC_WRITE, 0, TRUNCATE_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(file_content(name), "");
}

TEST(CreateFile, AnUnknownDispositionIsRefused) {
  std::u16string dir = fresh_folder("cf_disposition");
  EXPECT_EQ(open_file(dir + u"\\x", GENERIC_WRITE, 0, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(open_file(dir + u"\\x", GENERIC_WRITE, 0, 6), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(CreateFile, NamesAreMatchedWithoutRegardToCase) {
  std::u16string dir = fresh_folder("cf_Case");
  put_file(dir + u"\\Data.Bin", "case");
  HANDLE h = open_file(u"\\CF_CASE\\dATA.bIN", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(read_all(h), "case");
  CloseHandle(h);
  // Opening an existing file under another spelling does not make a twin.
  h = open_file(u"\\cf_case\\DATA.BIN", GENERIC_WRITE, 0, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  CloseHandle(h);
}

TEST(CreateFile, FoldersWildcardsAndReadOnlyFilesAreRefused) {
  std::u16string dir = fresh_folder("cf_refusals");
  EXPECT_EQ(open_file(dir, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(open_file(dir + u"\\*.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);

  std::u16string name = dir + u"\\ro.txt";
  HANDLE h = open_file(name, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  write_text(h, "fixed");  // the creating handle may still write
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(name.c_str()) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(open_file(name, GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(open_file(name, GENERIC_READ, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  h = open_file(name, GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(read_all(h), "fixed");
  CloseHandle(h);
  chmod(host_of(name).c_str(), 0644);
}

TEST(Sharing, AnOpenThatDoesNotShareRefusesLaterOpens) {
  std::u16string dir = fresh_folder("share_none");
  std::u16string name = dir + u"\\s.txt";
  put_file(name, "x");
  HANDLE first = open_file(name, GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  EXPECT_EQ(open_file(name, GENERIC_READ, kShareAll, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  // Truncation waits for the sharing rules: the file keeps its content.
  EXPECT_EQ(open_file(name, GENERIC_WRITE, kShareAll, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(file_content(name), "x");
  // An open for neither reading nor writing does not conflict.
  HANDLE query = open_file(name, 0, kShareAll, OPEN_EXISTING);
  EXPECT_NE(query, INVALID_HANDLE_VALUE);
  CloseHandle(query);
  CloseHandle(first);
  HANDLE again = open_file(name, kRW, 0, OPEN_EXISTING);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

TEST(Sharing, ReadersThatShareReadingCoexistButAWriterNeedsTheirLeave) {
  std::u16string dir = fresh_folder("share_read");
  std::u16string name = dir + u"\\r.txt";
  put_file(name, "shared");
  HANDLE a = open_file(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  HANDLE b = open_file(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  ASSERT_NE(b, INVALID_HANDLE_VALUE);
  EXPECT_EQ(open_file(name, GENERIC_WRITE, kShareAll, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  // A reader that does not share writing with the earlier ones, although
  // they only read, is fine; one that refuses to share reading is not.
  HANDLE c = open_file(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(c, INVALID_HANDLE_VALUE);
  EXPECT_EQ(open_file(name, GENERIC_READ, FILE_SHARE_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(a);
  CloseHandle(b);
  CloseHandle(c);

  HANDLE writer = open_file(name, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(open_file(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  HANDLE reader = open_file(name, GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  CloseHandle(writer);
}

TEST(Sharing, ADuplicateKeepsTheFileOpenUntilItIsClosedToo) {
  std::u16string dir = fresh_folder("share_dup");
  std::u16string name = dir + u"\\d.txt";
  put_file(name, "0123456789");
  HANDLE h = open_file(name, GENERIC_READ, 0, OPEN_EXISTING);
  HANDLE copy = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
  ASSERT_NE(copy, h);
  // One file object: the file pointer is shared.
  char c;
  DWORD got;
  ASSERT_TRUE(ReadFile(h, &c, 1, &got, nullptr));
  ASSERT_TRUE(ReadFile(copy, &c, 1, &got, nullptr));
  EXPECT_EQ(c, '1');
  CloseHandle(h);
  EXPECT_EQ(open_file(name, GENERIC_READ, kShareAll, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(copy);
  HANDLE later = open_file(name, GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_NE(later, INVALID_HANDLE_VALUE);
  CloseHandle(later);
}

TEST(ReadWrite, AccessIsCheckedAndEndOfFileReadsNothing) {
  std::u16string dir = fresh_folder("rw_access");
  std::u16string name = dir + u"\\w.txt";
  HANDLE w = open_file(name, GENERIC_WRITE, kShareAll, CREATE_ALWAYS);
  char buffer[8];
  DWORD got = 77;
  EXPECT_FALSE(ReadFile(w, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(got, 0u);
  write_text(w, "hello");
  HANDLE r = open_file(name, GENERIC_READ, kShareAll, OPEN_EXISTING);
  DWORD done = 77;
  EXPECT_FALSE(WriteFile(r, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(read_all(r), "hello");
  got = 77;
  EXPECT_TRUE(ReadFile(r, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, 0u);
  CloseHandle(r);
  CloseHandle(w);
}

TEST(ReadWrite, StaleAndForeignHandlesFail) {
  std::u16string dir = fresh_folder("rw_stale");
  HANDLE h = open_file(dir + u"\\s.txt", kRW, 0, CREATE_ALWAYS);
  ASSERT_TRUE(CloseHandle(h));
  char c;
  DWORD got;
  EXPECT_FALSE(ReadFile(h, &c, 1, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(WriteFile(event, "x", 1, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetFileSize(event, nullptr), INVALID_FILE_SIZE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(event);
}

TEST(FilePointer, MovesFromTheThreeOriginsAndRefusesNegativePlaces) {
  std::u16string dir = fresh_folder("fp_origins");
  HANDLE h = open_file(dir + u"\\p.txt", kRW, 0, CREATE_ALWAYS);
  write_text(h, "0123456789");
  EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);
  EXPECT_EQ(SetFilePointer(h, 3, nullptr, FILE_CURRENT), 5u);
  EXPECT_EQ(SetFilePointer(h, -4, nullptr, FILE_END), 6u);
  EXPECT_EQ(read_all(h), "6789");
  EXPECT_EQ(SetFilePointer(h, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 10u);  // unmoved
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, 3), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // Beyond the end is allowed; a write there fills the gap with zeros.
  EXPECT_EQ(SetFilePointer(h, 12, nullptr, FILE_BEGIN), 12u);
  write_text(h, "Z");
  EXPECT_EQ(GetFileSize(h, nullptr), 13u);
  CloseHandle(h);
}

TEST(FilePointer, HighWordsMakeSixtyFourBitPlaces) {
  std::u16string dir = fresh_folder("fp_large");
  HANDLE h = open_file(dir + u"\\big.bin", kRW, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  // 5 GiB + 3: high word 1, low word 0x40000003.
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(h, 0x40000003, &high, FILE_BEGIN), 0x40000003u);
  EXPECT_EQ(high, 1);
  ASSERT_TRUE(SetEndOfFile(h));
  DWORD size_high = 0;
  EXPECT_EQ(GetFileSize(h, &size_high), 0x40000003u);
  EXPECT_EQ(size_high, 1u);
  // Back by a negative 64-bit distance: -0x100000000 is high -1, low 0.
  high = -1;
  EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), 0x40000003u);
  EXPECT_EQ(high, 0);
  // Without a high word the place must fit in 32 bits.
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // 0xFFFFFFFF is a place too: success is told by a clear last error.
  SetLastError(12345);
  high = 0;
  EXPECT_EQ(SetFilePointer(h, -1, &high, FILE_BEGIN), 0xFFFFFFFFu);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(high, 0);
  // A small place again, and the end of file brought back.
  EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
  ASSERT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(GetFileSize(h, &size_high), 4u);
  EXPECT_EQ(size_high, 0u);
  CloseHandle(h);
}

TEST(EndOfFile, SetEndOfFileCutsAtThePointerAndNeedsWriteAccess) {
  std::u16string dir = fresh_folder("eof");
  std::u16string name = dir + u"\\e.txt";
  HANDLE h = open_file(name, kRW, FILE_SHARE_READ, CREATE_ALWAYS);
  write_text(h, "abcdefgh");
  SetFilePointer(h, 3, nullptr, FILE_BEGIN);
  EXPECT_TRUE(SetEndOfFile(h));
  EXPECT_TRUE(FlushFileBuffers(h));
  EXPECT_EQ(file_content(name), "abc");
  HANDLE r = open_file(name, GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_FALSE(SetEndOfFile(r));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(FlushFileBuffers(r));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(r);
  CloseHandle(h);
}

TEST(Folders, CreateDirectoryAndAttributes) {
  std::u16string dir = fresh_folder("folders");
  std::u16string sub = dir + u"\\Sub";
  EXPECT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
  EXPECT_FALSE(CreateDirectoryW((dir + u"\\SUB").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryW((dir + u"\\none\\deeper").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(sub.c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(u"\\"), FILE_ATTRIBUTE_DIRECTORY);
  put_file(sub + u"\\f.txt", "f");
  EXPECT_EQ(GetFileAttributesW((dir + u"\\sub\\F.TXT").c_str()), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFileAttributesW((dir + u"\\sub\\g.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW((dir + u"\\gone\\g.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(Folders, TheTemporaryFolderExistsAndSizeQueriesCountTheTerminator) {
  WCHAR buffer[MAX_PATH];
  EXPECT_EQ(GetTempPathW(MAX_PATH, buffer), 6u);
  EXPECT_EQ(std::u16string(buffer), u"\\Temp\\");
  EXPECT_EQ(GetFileAttributesW(u"\\Temp"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetTempPathW(0, nullptr), 7u);
  buffer[0] = u'?';
  EXPECT_EQ(GetTempPathW(6, buffer), 7u);
  EXPECT_EQ(buffer[0], u'?');
  HANDLE h = open_file(u"\\Temp\\t.tmp", kRW, 0, CREATE_ALWAYS);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(DeleteFileW(u"\\Temp\\t.tmp"));
}

TEST(DeleteFile, OpenAndReadOnlyFilesStay) {
  std::u16string dir = fresh_folder("del");
  std::u16string name = dir + u"\\kept.bin";
  HANDLE h = open_file(name, GENERIC_READ, kShareAll, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileW(name.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(h);
  EXPECT_TRUE(DeleteFileW(name.c_str()));
  EXPECT_FALSE(DeleteFileW(name.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(DeleteFileW((dir + u"\\nowhere\\x").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  std::string host = device_host_path((dir + u"\\ro.bin").c_str());
  CloseHandle(open_file(dir + u"\\ro.bin", kRW, 0, CREATE_NEW));
  chmod(host.c_str(), 0444);
  EXPECT_FALSE(DeleteFileW((dir + u"\\ro.bin").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}
