// What presenting a frame costs: the landscape screen (320x240, 16-bit)
// shown at 2x. Prints the drawing thread's cost per frame (the presenter's
// hook, and the frame copy it may have to wait for) and the presenter
// thread's conversion and scaling. Target: the drawing thread pays at most
// 1 ms a frame. Uses the presenter the settings choose (the window when
// DISPLAY is set).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "gdi/gdi.h"
#include "present/presenter.h"
#include "wce/display.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double microseconds_each(int runs, F&& f) {
  Clock::time_point start = Clock::now();
  for (int i = 0; i < runs; ++i) f(i);
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / runs;
}

}  // namespace

int main() {
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  mode.dmFields = DM_DISPLAYORIENTATION;
  mode.dmDisplayOrientation = DMDO_270;
  ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr);
  const Presenter* presenter = device_presenter();
  const int scale = device_present_scale();
  int width, height;
  {
    std::lock_guard<std::mutex> hold(g_gdi_lock);
    width = gdi_screen().width, height = gdi_screen().height;
  }
  printf("presenter %s, screen %dx%d, scale %d\n", presenter->name, width, height, scale);

  const int runs = 2000;
  double hook = microseconds_each(runs, [&](int i) {
    std::lock_guard<std::mutex> hold(g_gdi_lock);
    gdi_screen().bits[size_t(i) % gdi_screen().bits.size()] ^= 0xFF;  // a change to show
    screen_changed();
  });
  std::vector<uint16_t> frame(size_t(width) * height);
  double copy = microseconds_each(runs / 4, [&](int) {
    std::lock_guard<std::mutex> hold(g_gdi_lock);
    memcpy(frame.data(), gdi_screen().bits.data(), frame.size() * 2);
  });
  std::vector<uint32_t> scaled(frame.size() * scale * scale);
  double convert = microseconds_each(runs / 4, [&](int) {
    present_scale_frame(frame.data(), width, height, scale, scaled.data(), width * scale);
  });
  printf("drawing thread, presenter hook per change:   %8.2f us\n", hook);
  printf("drawing thread, longest wait (frame copy):   %8.2f us\n", copy);
  printf("drawing thread per frame, hook + copy:       %8.2f us (target <= 1000 us)\n", hook + copy);
  printf("presenter thread, 5-6-5 to RGB and scaling:  %8.2f us\n", convert);
  return 0;
}
