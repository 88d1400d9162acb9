// Device settings, the program's command line and program start.
#include "wce/device.h"
#include "wce/display.h"

#include <pthread.h>
#include <sys/mman.h>
#include <sys/personality.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wce/kernel.h"
#include "wce/wstr.h"

namespace {

// The command line without the program's name, as the device gives it,
// taken when the library starts: the program may rearrange argv later.
char* g_command_line8;

// glibc hands every initialiser the program's arguments. Only plain C
// storage is used here: this runs before the library's own objects exist.
__attribute__((constructor)) void capture_arguments(int argc, char** argv, char**) {
  size_t size = 1;
  for (int i = 1; i < argc; i++) size += std::strlen(argv[i]) + 3;
  g_command_line8 = static_cast<char*>(std::malloc(size));
  if (!g_command_line8) return;
  char* out = g_command_line8;
  for (int i = 1; i < argc; i++) {
    if (i > 1) *out++ = ' ';
    bool quote = std::strchr(argv[i], ' ') != nullptr || argv[i][0] == 0;
    if (quote) *out++ = '"';
    out = stpcpy(out, argv[i]);
    if (quote) *out++ = '"';
  }
  *out = 0;
}

std::string dir_of(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string strip_trailing_slash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool high(const void* p) { return reinterpret_cast<uintptr_t>(p) >= 0x80000000u; }

struct ProgramRun {
  WinMainFn winmain;
  int result;
};

void* run_winmain(void* arg) {
  ProgramRun* run = static_cast<ProgramRun*>(arg);
  run->result = run->winmain(reinterpret_cast<HINSTANCE>(GetModuleHandleW(nullptr)), nullptr,
                             GetCommandLineW(), 1);
  return nullptr;
}

// Returning from WinMain ends the process with every thread in it, as on
// the device; no static object is torn down under a thread still running.
[[noreturn]] void end_program(int result) {
  fflush(nullptr);
  _exit(result);
}

}  // namespace

const std::string& device_program_dir() {
  static const std::string dir = [] {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string(".");
    buffer[n] = 0;
    return dir_of(buffer);
  }();
  return dir;
}

const std::string& device_root() {
  static const std::string root = [] {
    const char* setting = getenv("DEVICE_ROOT");
    if (setting && *setting) return strip_trailing_slash(setting);
    return device_program_dir();
  }();
  return root;
}

static int screen_dimension(int which) {
  static int size[2] = {0, 0};
  if (!size[0]) {
    int w = 240, h = 320;
    const char* setting = getenv("DEVICE_SCREEN");
    if (setting && sscanf(setting, "%dx%d", &w, &h) != 2) w = 240, h = 320;
    if (w < 1 || h < 1) w = 240, h = 320;
    size[1] = h;
    size[0] = w;
  }
  return size[which];
}

// The panel is portrait (the DEVICE_SCREEN setting); a quarter turn of the
// display exchanges the screen's width and height.
static bool display_turned() {
  DWORD o = device_display_orientation();
  return o == DMDO_90 || o == DMDO_270;
}
int device_screen_width() { return screen_dimension(display_turned() ? 1 : 0); }
int device_screen_height() { return screen_dimension(display_turned() ? 0 : 1); }

extern "C" LPWSTR GetCommandLineW(void) {
  static std::u16string line = utf8_to_wstr(g_command_line8 ? g_command_line8 : "");
  return const_cast<LPWSTR>(line.c_str());
}

extern "C" int device_run_program(int argc, char** argv, WinMainFn winmain) {
  // Every address the guest can see must lie below 0x80000000 (bit 31 tags
  // native handlers). A 64-bit kernel running us directly lays libraries out
  // top-down near 4 GiB; start again with the legacy bottom-up layout.
  if (high(reinterpret_cast<const void*>(&device_run_program))) {
    int persona = personality(0xFFFFFFFF);
    if (persona != -1 && !(persona & ADDR_COMPAT_LAYOUT)) {
      personality(persona | ADDR_COMPAT_LAYOUT);
      execv("/proc/self/exe", argv);
    }
    fprintf(stderr, "device: cannot place the program below 0x80000000; start it through qemu-i386 -R 0x80000000\n");
    return -1;
  }
  ProgramRun run = {winmain, -1};
  int local = 0;
  if (!high(&local)) {
    run_winmain(&run);
    end_program(run.result);
  }
  // The main stack stays at the top of the address space: run the program
  // on a thread whose stack lies low.
  const size_t stack_size = 16u << 20;
  void* stack = mmap(nullptr, stack_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  pthread_attr_t attr;
  pthread_t thread;
  if (stack == MAP_FAILED || high(stack) || pthread_attr_init(&attr) != 0 ||
      pthread_attr_setstack(&attr, stack, stack_size) != 0 ||
      pthread_create(&thread, &attr, run_winmain, &run) != 0) {
    fprintf(stderr, "device: cannot start the program on a low stack\n");
    return -1;
  }
  pthread_join(thread, nullptr);
  end_program(run.result);
}
