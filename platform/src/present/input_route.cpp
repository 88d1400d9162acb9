// Input from the presenter: to the window manager, or to the open
// message box while one is showing.
#include <atomic>

#include "device_input.h"
#include "presenter.h"

namespace {
std::atomic<const InputRoute*> g_route{nullptr};
}

void present_route_input(const InputRoute* route) { g_route.store(route); }

void present_pen(int action, int x, int y) {
  if (const InputRoute* r = g_route.load()) return r->pen(action, x, y);
  device_input_pen(action, x, y);
}

void present_key(UINT vk, bool down) {
  if (const InputRoute* r = g_route.load()) return r->key(vk, down);
  device_input_key(vk, down);
}

void present_close(void) {
  if (const InputRoute* r = g_route.load()) return r->close();
  device_input_close();
}
