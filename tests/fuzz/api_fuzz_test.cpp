// Hostile guest arguments for every handler: null, unmapped, misaligned and
// near-2-GiB pointers, huge and negative counts, stale and foreign handles.
// Each handler runs from a guest call in a child process under the
// device's exception guard (standing in for the guard of the guest run),
// and each call must end in one of the orderly ways: a return to the
// caller with the stack popped, an access violation for the guest, or the
// fatal path (box, exit code 0xFFFFFFFF). A child that dies otherwise,
// hangs, or writes past a guest buffer fails the test with its seed.
// API_FUZZ_SEED and API_FUZZ_ROUNDS repeat or widen a run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "guest_call.h"
#include "wce/kernel.h"
#include "wce/seh.h"
#include "wce/synch.h"

namespace {

constexpr size_t kArgs = 14;          // more than any handler takes
constexpr size_t kBuffer = 2048;      // a guest buffer: larger than any fixed record a handler fills
constexpr size_t kCanary = 256;       // after it, checked; then a page nobody may touch
constexpr uint8_t kCanaryByte = 0xC5;
constexpr int kCallTimeoutMs = 10000;  // a call that fills a huge block may take seconds under load

// Handlers whose defined behaviour ends the process or blocks until
// something happens: not for a blind loop.
// (EnterCriticalSection waits for whoever holds the section a hostile
// pointer names.)
const std::set<std::string> kExcluded = {"ExitProcess", "TerminateProcess", "GetMessageA", "WaitMessage",
                                         "EnterCriticalSection"};
// Handlers that wait as long as an argument says: that argument bounded.
const std::map<std::string, std::pair<size_t, u32>> kBounded = {
    {"Sleep", {0, 1}}, {"WaitForSingleObject", {1, 0}}, {"WaitForMultipleObjects", {3, 0}}};

struct Target {
  std::string name;
  u32 address;  // what an import slot holds for it
};

enum Outcome : uint8_t { STARTED, RETURNED, GUEST_FAULT, OTHER_EXCEPTION, BAD_RETURN, WROTE_PAST_BUFFER };

struct Report {
  uint32_t round;
  uint8_t outcome;
  uint32_t detail;
};

struct Arena {
  uint8_t* buffer;   // kBuffer bytes, then the canary, then a guard page
  char* text;        // "abc"
  char16_t* wide;    // u"abc"
  HANDLE event;      // a live handle of a kind most calls do not take
  HANDLE stale;      // a handle closed before the run
};

Arena make_arena() {
  Arena a;
  size_t page = 4096;
  size_t span = (kBuffer + kCanary + page - 1) / page * page;
  uint8_t* base = static_cast<uint8_t*>(mmap(nullptr, span + page, PROT_READ | PROT_WRITE,
                                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  mprotect(base + span, page, PROT_NONE);
  a.buffer = base + span - kBuffer - kCanary;
  static char text[] = "abc";
  static char16_t wide[] = u"abc";
  a.text = text;
  a.wide = wide;
  a.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  a.stale = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(a.stale);
  return a;
}

u32 word(const void* p) { return guest_addr(p); }

// The hostile values; the huge ones also make the canary check moot.
std::vector<u32> pointers(const Arena& a) {
  return {0, 0x10, 0x7FFF0000, 0x7FFFFFF8, word(a.buffer), word(a.buffer) + 1, word(a.buffer) + 3,
          word(a.text), word(a.wide)};
}
const u32 kSmall[] = {0, 1, 2, 4, 16, 64, 0x80000001u /* HKEY_CURRENT_USER */};
const u32 kHuge[] = {0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF0, 0x10000000};

bool is_huge(u32 v) {
  for (u32 h : kHuge)
    if (v == h) return true;
  return false;
}

std::vector<u32> hostile_args(const std::string& name, uint32_t seed, uint32_t round, const Arena& a) {
  std::mt19937 rng(seed ^ (round * 0x9E3779B9u));
  std::vector<u32> pool = pointers(a);
  pool.insert(pool.end(), std::begin(kSmall), std::end(kSmall));
  pool.insert(pool.end(), std::begin(kHuge), std::end(kHuge));
  pool.push_back(word(a.event));
  pool.push_back(word(a.stale));
  pool.push_back(0xFFFFFFFE);  // the current thread's pseudo handle
  std::vector<u32> args(kArgs);
  for (u32& v : args) v = pool[rng() % pool.size()];
  auto bound = kBounded.find(name);
  if (bound != kBounded.end()) args[bound->second.first] = bound->second.second;
  return args;
}

void send_report(int fd, const Report& r) {
  ssize_t put = write(fd, &r, sizeof r);
  (void)put;
}

// One call under the guard. A guest fault ends the child as it ends the
// guest's process.
Report guarded_call(const Target& t, const Arena& a, const std::vector<u32>& args, uint32_t round, int out) {
  // Room for the call, made under the guard.
  GuestCall* call = static_cast<GuestCall*>(operator new(sizeof(GuestCall)));
  SehGuard guard;
  if (!SEH_TRY(guard)) {
    u32 code = guard.record.ExceptionCode;
    send_report(out, {round, static_cast<uint8_t>(code == EXCEPTION_ACCESS_VIOLATION ? GUEST_FAULT : OTHER_EXCEPTION),
                      code});
    _exit(0);
  }
  new (call) GuestCall(t.address, args);
  seh_pop(&guard);
  if (call->env.EIP != kReturnAddress || call->popped() > 4 + 4 * kArgs || call->popped() % 4)
    return {round, BAD_RETURN, call->env.EIP};
  for (u32 v : args)
    if (is_huge(v)) return {round, RETURNED, 0};  // the guest described a huge buffer
  for (size_t i = 0; i < kCanary; i++)
    if (a.buffer[kBuffer + i] != kCanaryByte) return {round, WROTE_PAST_BUFFER, static_cast<u32>(i)};
  return {round, RETURNED, 0};
}

// The child: rounds `first`.. of one target.
[[noreturn]] void run_rounds(const Target& t, const Arena& a, uint32_t seed, uint32_t first, uint32_t rounds, int out) {
  if (!getenv("API_FUZZ_VERBOSE")) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
  }
  for (uint32_t round = first; round < rounds; round++) {
    std::vector<u32> args = hostile_args(t.name, seed, round, a);
    memset(a.buffer, 0x5A, kBuffer);
    memset(a.buffer + kBuffer, kCanaryByte, kCanary);
    send_report(out, {round, STARTED, 0});
    send_report(out, guarded_call(t, a, args, round, out));
  }
  _exit(0);
}

std::string args_text(const std::string& name, const Arena& a, uint32_t seed, uint32_t round) {
  char text[16];
  std::string s;
  for (u32 v : hostile_args(name, seed, round, a)) {
    snprintf(text, sizeof text, " %08X", v);
    s += text;
  }
  return s;
}

// Runs every round of `t`, a fresh child after each one that ended its
// process. Failures go to `failures`.
struct Tally {
  unsigned calls = 0, returned = 0, guest_faults = 0, fatal_exits = 0;
};

void fuzz_target(const Target& t, const Arena& a, uint32_t seed, uint32_t rounds, std::vector<std::string>* failures,
                 Tally* tally) {
  uint32_t next = 0;
  while (next < rounds) {
    int channel[2];
    if (pipe(channel) != 0) return;
    pid_t pid = fork();
    if (pid == 0) {
      close(channel[0]);
      run_rounds(t, a, seed, next, rounds, channel[1]);
    }
    close(channel[1]);
    Report last = {next, STARTED, 0};
    bool open_call = false, hung = false;
    for (;;) {
      pollfd p = {channel[0], POLLIN, 0};
      if (poll(&p, 1, kCallTimeoutMs) == 0) {
        hung = true;
        kill(pid, SIGKILL);
        break;
      }
      Report r;
      if (read(channel[0], &r, sizeof r) != sizeof r) break;
      last = r;
      open_call = r.outcome == STARTED;
      if (r.outcome == STARTED) tally->calls++;
      if (r.outcome == RETURNED) tally->returned++;
      if (r.outcome == GUEST_FAULT) tally->guest_faults++;
      if (r.outcome == OTHER_EXCEPTION || r.outcome == BAD_RETURN || r.outcome == WROTE_PAST_BUFFER) {
        static const char* const kWhat[] = {"", "", "", "an exception other than an access violation",
                                            "a return elsewhere than to its caller", "a write past the guest's buffer"};
        char detail[16];
        snprintf(detail, sizeof detail, "%08X", r.detail);
        failures->push_back(t.name + ": " + kWhat[r.outcome] + " (" + detail + "), seed " + std::to_string(seed) +
                            " round " + std::to_string(r.round) + ", args" + args_text(t.name, a, seed, r.round));
      }
    }
    close(channel[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (hung) {
      failures->push_back(t.name + ": no answer within " + std::to_string(kCallTimeoutMs) + " ms, seed " +
                          std::to_string(seed) + " round " + std::to_string(last.round) + ", args" +
                          args_text(t.name, a, seed, last.round));
    } else if (open_call) {
      // The call ended the process: only the fatal path (exit code -1) may.
      bool fatal_path = WIFEXITED(status) && WEXITSTATUS(status) == 0xFF;
      if (fatal_path) tally->fatal_exits++;
      if (!fatal_path) {
        std::string how = WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                              : "exit code " + std::to_string(WEXITSTATUS(status));
        failures->push_back(t.name + ": the process died (" + how + "), seed " + std::to_string(seed) + " round " +
                            std::to_string(last.round) + ", args" + args_text(t.name, a, seed, last.round));
      }
    }
    next = last.round + 1;
  }
}

// Every row of the API table, bound through a guest module's imports.
std::vector<Target> table_targets() {
  static const char* const kNames[] = {
#include "api_names.inc"
  };
  static GuestApi table("FUZZAPI", 0x39000000, std::vector<const char*>(std::begin(kNames), std::end(kNames)));
  std::vector<Target> targets;
  for (const char* name : kNames) {
    u32 slot = table(name);
    if (slot != NATIVE_TAG) targets.push_back({name, slot});  // a name of the sources that is no row
  }
  return targets;
}

// The named exports of a native module, loaded through a guest import.
std::vector<Target> module_targets(const char* module, const char* dll, const char* one_export, u32 base) {
  static std::vector<GuestApi*> binders;
  GuestApi* binder = new GuestApi(module, base, {one_export}, dll);
  binders.push_back(binder);
  (*binder)(one_export);
  std::vector<Target> targets;
  std::string name = dll;
  name = name.substr(0, name.find('.'));
  for (char& c : name) c = static_cast<char>(toupper(c));
  ModuleInfo* mi = FindModuleByNameA(name.c_str());
  if (!mi) return targets;
  for (const ExportEntry* e = mi->Exports; e->Name; e++)
    if (e->Name >= 0x10000) targets.push_back({reinterpret_cast<const char*>(static_cast<uintptr_t>(e->Name)), e->Address});
  return targets;
}

uint32_t setting(const char* name, uint32_t fallback) {
  const char* text = getenv(name);
  return text && *text ? static_cast<uint32_t>(strtoul(text, nullptr, 0)) : fallback;
}

void fuzz_all(const std::vector<Target>& targets, uint32_t rounds) {
  Arena arena = make_arena();
  uint32_t seed = setting("API_FUZZ_SEED", static_cast<uint32_t>(time(nullptr)));
  std::vector<std::string> failures;
  Tally tally;
  unsigned fuzzed = 0;
  for (const Target& t : targets) {
    if (kExcluded.count(t.name)) continue;
    fuzz_target(t, arena, seed, rounds, &failures, &tally);
    fuzzed++;
  }
  printf("%u functions, %u calls (%u returned, %u guest faults, %u fatal exits), seed %u\n", fuzzed, tally.calls,
         tally.returned, tally.guest_faults, tally.fatal_exits, seed);
  for (const std::string& f : failures) ADD_FAILURE() << f;
  EXPECT_GT(fuzzed, 0u);
}

}  // namespace

u32 api(const char* name) {
  static GuestApi table("FUZZ", 0x35000000, {"GetLastError"});
  return table(name);
}

TEST(ApiFuzz, TableHandlersEndOrderly) {
  setenv("DEVICE_REGISTRY", (std::string(getenv("DEVICE_ROOT") ? getenv("DEVICE_ROOT") : ".") + "/fuzz.dat").c_str(), 1);
  fuzz_all(table_targets(), setting("API_FUZZ_ROUNDS", 4));
}

TEST(ApiFuzz, NativeModuleExportsEndOrderly) {
  std::vector<Target> targets = module_targets("FUZZSOCK", "plinth32.dll", "socket", 0x36000000);
  for (const Target& t : module_targets("FUZZWING", "quav32.dll", "WinGCreateDC", 0x37000000)) targets.push_back(t);
  for (const Target& t : module_targets("FUZZDDRAW", "pixly.dll", "DirectDrawCreate", 0x38000000)) targets.push_back(t);
  EXPECT_GT(targets.size(), 60u);
  // With the library started, socket calls get past their first check.
  static uint8_t data[512];
  for (const Target& t : targets)
    if (t.name == "WSAStartup") GuestCall(t.address, {0x0202, word(data)});
  fuzz_all(targets, setting("API_FUZZ_ROUNDS", 4));
}
