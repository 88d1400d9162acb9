// Which presenter the device uses: the settings DEVICE_PRESENTER and
// DEVICE_SCALE, read once.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "presenter.h"

int device_present_scale(void) {
  static const int scale = [] {
    const char* s = getenv("DEVICE_SCALE");
    if (!s || !*s) return 2;
    char* end = nullptr;
    long v = strtol(s, &end, 10);
    if (*end || v < 1 || v > 8) {
      fprintf(stderr, "device: DEVICE_SCALE=%s is not 1 to 8; using 2\n", s);
      return 2;
    }
    return int(v);
  }();
  return scale;
}

const Presenter* device_presenter(void) {
  static const Presenter* chosen;
  static std::once_flag once;
  std::call_once(once, [] {
    const char* want = getenv("DEVICE_PRESENTER");
    const char* display = getenv("DISPLAY");
    bool try_sdl;
    if (want && !strcmp(want, "headless")) {
      try_sdl = false;
    } else if (want && !strcmp(want, "sdl")) {
      try_sdl = true;
    } else {
      if (want && *want) fprintf(stderr, "device: unknown DEVICE_PRESENTER=%s\n", want);
      try_sdl = display && *display;
    }
    chosen = try_sdl ? sdl_presenter_start(device_present_scale()) : nullptr;
    if (try_sdl && !chosen) fprintf(stderr, "device: no display window could open; running headless\n");
    if (!chosen) chosen = headless_presenter();
  });
  return chosen;
}
