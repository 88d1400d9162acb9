// Where windows are on the screen: client origins through the parent
// chain, the stacking order and the window under a point.
#include "wm.h"

namespace {
uint32_t g_next_z = 1;
}

void wm_raise(Window& w) { w.z = g_next_z++; }

POINT wm_client_origin(const Window& w) {
  POINT origin{w.rect.left, w.rect.top};
  // Bounded: a parent chain cannot be longer than the number of windows.
  const Window* at = &w;
  for (size_t depth = 0; wm_is_child(*at) && depth < wm_windows().size(); depth++) {
    at = wm_window(at->parent);
    if (!at) break;
    origin.x += at->rect.left;
    origin.y += at->rect.top;
  }
  return origin;
}

HWND wm_top_level(HWND hwnd) {
  Window* w = wm_window(hwnd);
  for (size_t depth = 0; w && wm_is_child(*w) && depth < wm_windows().size(); depth++) {
    Window* parent = wm_window(w->parent);
    if (!parent) break;
    w = parent;
  }
  return w ? w->hwnd : nullptr;
}

HWND wm_window_at(POINT screen) {
  HWND parent = nullptr;
  POINT local = screen;  // in the parent's client coordinates
  for (;;) {
    const Window* best = nullptr;
    for (auto& [h, w] : wm_windows()) {
      const HWND place = wm_is_child(w) ? w.parent : nullptr;
      if (place != parent || !(w.style & WS_VISIBLE) || (w.style & WS_DISABLED)) continue;
      if (local.x < w.rect.left || local.x >= w.rect.right || local.y < w.rect.top || local.y >= w.rect.bottom)
        continue;
      if (!best || w.z > best->z) best = &w;
    }
    if (!best) return parent;
    parent = best->hwnd;
    local.x -= best->rect.left;
    local.y -= best->rect.top;
  }
}
