// A damaged registry store: whatever happened to the file, the store opens,
// every record the damage did not touch reads back, and new writes land and
// survive a restart. Every case works in child processes, each a fresh
// start of the device.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "wce/device.h"
#include "wce/registry.h"
#include "child_process.h"

namespace {

constexpr int kValues = 24;

std::string use_store(const char* name) {
  std::string path = device_root() + "/" + name;
  unlink(path.c_str());
  unlink((path + ".new").c_str());
  setenv("DEVICE_REGISTRY", path.c_str(), 1);
  return path;
}

void drop_set_aside(const std::string& path) {
  unlink((path + ".damaged").c_str());
  for (int n = 2; n < 10; n++) unlink((path + ".damaged." + std::to_string(n)).c_str());
}

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_all(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::u16string value_name(int i) { return u"Value" + std::u16string(1, char16_t(u'A' + i)); }

HKEY open_game() {
  HKEY key = nullptr;
  return RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Game", 0, nullptr, 0, 0, nullptr, &key, nullptr) ? nullptr
                                                                                                          : key;
}

bool has_value(HKEY key, const char16_t* name, DWORD expected) {
  DWORD value = 0, size = sizeof value;
  return RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
         value == expected;
}

// The known store: one key, then kValues values 1000 + i, one record each.
std::string make_store(const std::string& path) {
  int rc = in_child([] {
    HKEY key = open_game();
    if (!key) return 1;
    for (int i = 0; i < kValues; i++) {
      DWORD v = 1000 + i;
      if (RegSetValueExW(key, value_name(i).c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4)) return 2;
    }
    return 0;
  });
  EXPECT_EQ(rc, 0);
  return read_all(path);
}

// Where each record lies: [start, end) byte spans after the file magic.
std::vector<std::pair<size_t, size_t>> record_spans(const std::string& bytes) {
  std::vector<std::pair<size_t, size_t>> spans;
  for (size_t at = 8; at + 12 <= bytes.size();) {
    uint32_t length;
    memcpy(&length, bytes.data() + at + 4, 4);
    spans.push_back({at, at + 12 + length});
    at += 12 + length;
  }
  return spans;
}

// Opens the damaged store, checks the values in `intact` (bit i: value i),
// writes a value of its own; then a second start finds all of them.
int check_store(uint32_t intact) {
  int first = in_child([intact] {
    HKEY key = open_game();
    if (!key) return 10;
    for (int i = 0; i < kValues; i++)
      if ((intact >> i & 1) && !has_value(key, value_name(i).c_str(), 1000 + i)) return 20 + i;
    DWORD fresh = 77;
    return RegSetValueExW(key, u"After", 0, REG_DWORD, reinterpret_cast<BYTE*>(&fresh), 4) ? 11 : 0;
  });
  if (first) return first;
  return in_child([intact] {
    HKEY key = open_game();
    if (!key) return 50;
    if (!has_value(key, u"After", 77)) return 51;
    for (int i = 0; i < kValues; i++)
      if ((intact >> i & 1) && !has_value(key, value_name(i).c_str(), 1000 + i)) return 60 + i;
    return 0;
  });
}

}  // namespace

// Random flips, truncations and splices over a store of known values.
TEST(RegistryDamage, FuzzedStoresKeepEveryUntouchedRecord) {
  std::string path = use_store("reg-fuzz.dat");
  const std::string pristine = make_store(path);
  auto spans = record_spans(pristine);
  ASSERT_EQ(spans.size(), size_t(kValues + 1));  // the key, then the values
  const char* seed_text = getenv("REGISTRY_FUZZ_SEED");
  uint32_t seed = seed_text ? static_cast<uint32_t>(strtoul(seed_text, nullptr, 0)) : static_cast<uint32_t>(time(nullptr));
  std::mt19937 rng(seed);
  const int rounds = 48;
  for (int round = 0; round < rounds; round++) {
    std::string bytes = pristine;
    size_t from = rng() % bytes.size(), to = from;  // the damaged bytes, [from, to)
    std::string what;
    switch (round % 4) {
      case 0: {  // flipped bits in a few neighbouring bytes
        to = std::min(bytes.size(), from + 1 + rng() % 8);
        for (size_t i = from; i < to; i++) bytes[i] = static_cast<char>(bytes[i] ^ (1 + rng() % 255));
        what = "flip";
        break;
      }
      case 1:  // cut short
        bytes.resize(from);
        to = pristine.size();
        what = "cut";
        break;
      case 2: {  // a piece of the file copied over another place
        size_t length = 1 + rng() % 40, source = rng() % bytes.size();
        to = std::min(bytes.size(), from + length);
        for (size_t i = from; i < to; i++) bytes[i] = pristine[(source + i - from) % pristine.size()];
        if (bytes == pristine) to = from;
        what = "splice";
        break;
      }
      default: {  // foreign bytes inserted
        std::string junk(1 + rng() % 30, '\0');
        for (char& c : junk) c = static_cast<char>(rng());
        bytes.insert(from, junk);
        to = from;  // nothing overwritten; records around the cut stay whole
        what = "insert";
        break;
      }
    }
    // A value is untouched when its record lies wholly outside the damage.
    uint32_t intact = 0;
    for (int i = 0; i < kValues; i++) {
      auto [start, end] = spans[i + 1];
      bool untouched = what == "insert" ? (from <= start || from >= end) : (to <= start || from >= end);
      if (untouched) intact |= 1u << i;
    }
    write_all(path, bytes);
    drop_set_aside(path);
    int rc = check_store(intact);
    ASSERT_EQ(rc, 0) << "seed " << seed << " round " << round << ": " << what << " of bytes " << from << ".." << to;
  }
  printf("%d damaged stores, seed %u\n", rounds, seed);
}

TEST(RegistryDamage, DamageInTheMiddleIsSetAsideAndReported) {
  std::string path = use_store("reg-middle.dat");
  std::string bytes = make_store(path);
  auto spans = record_spans(bytes);
  bytes[spans[5].first + 14] ^= 0x40;  // the payload of value 4
  bytes[spans[9].first + 7] = '\x7F';  // the length of value 8: past any record
  write_all(path, bytes);
  drop_set_aside(path);
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], 2);
    // A reader comes first: it too mends the store before it answers.
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Game", 0, 0, &key);
    _exit(key && has_value(key, u"ValueA", 1000) && has_value(key, u"ValueX", 1023) &&
                  !has_value(key, u"ValueE", 1004)
              ? 0
              : 1);
  }
  close(pipe_fds[1]);
  char line[512] = {};
  ssize_t got = read(pipe_fds[0], line, sizeof line - 1);
  close(pipe_fds[0]);
  int status;
  waitpid(pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ASSERT_GT(got, 0);
  EXPECT_NE(std::string(line).find("was damaged; kept 23 records"), std::string::npos) << line;
  EXPECT_EQ(read_all(path + ".damaged"), bytes);
  // The rewritten store is whole: opening it again finds nothing to mend.
  EXPECT_EQ(check_store(~0u & ~(1u << 4) & ~(1u << 8) & ((1u << kValues) - 1)), 0);
  struct stat st;
  EXPECT_NE(stat((path + ".damaged.2").c_str(), &st), 0);
}

TEST(RegistryDamage, EmptyAndRandomFilesStartAFreshStore) {
  std::string path = use_store("reg-random.dat");
  write_all(path, "");
  EXPECT_EQ(check_store(0), 0);
  std::string noise(3000, '\0');
  std::mt19937 rng(7);
  for (char& c : noise) c = static_cast<char>(rng());
  write_all(path, noise);
  drop_set_aside(path);
  EXPECT_EQ(check_store(0), 0);
  EXPECT_EQ(read_all(path + ".damaged"), noise);
}

// A directory where the file should be: the registry works in memory and
// every write says it was not saved.
TEST(RegistryDamage, UnusableStoreWorksInMemoryAndWritesReportIt) {
  std::string path = use_store("reg-folder.dat");
  rmdir(path.c_str());
  ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
  int rc = in_child([] {
    HKEY key = nullptr, root = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, 0, &root) != ERROR_SUCCESS) return 1;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Game", 0, nullptr, 0, 0, nullptr, &key, nullptr) !=
        ERROR_REGISTRY_IO_FAILED)
      return 2;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Game", 0, 0, &key) != ERROR_SUCCESS) return 3;
    DWORD v = 5;
    if (RegSetValueExW(key, u"Level", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4) != ERROR_REGISTRY_IO_FAILED)
      return 4;
    return has_value(key, u"Level", 5) ? 0 : 5;
  });
  EXPECT_EQ(rc, 0);
  rmdir(path.c_str());
}
