// Window geometry: showing and hiding, moving and sizing, stacking, the
// coordinate conversions and the relations GetWindow walks.
#include <algorithm>
#include <vector>

#include "wce/kernel.h"
#include "wm.h"

namespace {

LPARAM pair(LONG low, LONG high) {
  return static_cast<LPARAM>((static_cast<DWORD>(low) & 0xFFFF) | (static_cast<DWORD>(high) & 0xFFFF) << 16);
}

// The window's siblings (itself included), top of the stack first.
std::vector<Window*> siblings_of(HWND place) {
  std::vector<Window*> out;
  for (auto& [h, w] : wm_windows())
    if ((wm_is_child(w) ? w.parent : nullptr) == place) out.push_back(&w);
  std::sort(out.begin(), out.end(), [](Window* a, Window* b) { return a->z > b->z; });
  return out;
}

HWND place_of(const Window& w) { return wm_is_child(w) ? w.parent : nullptr; }

// Moves and sizes under the lock; the caller tells the window afterwards.
struct Change {
  bool moved, sized;
};
Change set_rect(Window& w, int x, int y, int width, int height) {
  Change c{x != w.rect.left || y != w.rect.top,
           width != w.rect.right - w.rect.left || height != w.rect.bottom - w.rect.top};
  w.rect = RECT{x, y, x + width, y + height};
  return c;
}

void tell(HWND hwnd, Change c, int x, int y, int width, int height) {
  if (c.moved) SendMessageW(hwnd, WM_MOVE, 0, pair(x, y));
  if (c.sized) SendMessageW(hwnd, WM_SIZE, 0, pair(width, height));
}

}  // namespace

void wm_invalidate_locked(Window& w, const RECT* area) {
  RECT all{0, 0, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
  RECT add = area ? *area : all;
  if (w.needs_paint)
    w.update = RECT{std::min(w.update.left, add.left), std::min(w.update.top, add.top),
                    std::max(w.update.right, add.right), std::max(w.update.bottom, add.bottom)};
  else
    w.update = add;
  w.needs_paint = true;
  wm_queue(w.thread).wake.notify_all();
}

// Answers whether the window was visible before. Showing a top-level
// window activates it, except for the "no activate" commands.
extern "C" BOOL ShowWindow(HWND hwnd, int command) {
  bool was_visible, activate;
  {
    std::lock_guard<std::mutex> hold(wm_lock());
    Window* w = wm_window_checked(hwnd);
    if (!w) return FALSE;
    was_visible = (w->style & WS_VISIBLE) != 0;
    const bool show = command != SW_HIDE && command != SW_MINIMIZE;
    if (show) {
      w->style |= WS_VISIBLE;
      if (!was_visible) wm_invalidate_locked(*w, nullptr);
    } else {
      w->style &= ~DWORD(WS_VISIBLE);
    }
    activate = show && !wm_is_child(*w) && command != SW_SHOWNOACTIVATE && command != SW_SHOWNA;
  }
  const bool now_visible = command != SW_HIDE && command != SW_MINIMIZE;
  if (now_visible != was_visible) SendMessageW(hwnd, WM_SHOWWINDOW, now_visible, 0);
  if (activate) SetForegroundWindow(hwnd);
  return was_visible ? TRUE : FALSE;
}

// Paints at once what waits to be painted.
extern "C" BOOL UpdateWindow(HWND hwnd) {
  bool paint;
  {
    std::lock_guard<std::mutex> hold(wm_lock());
    Window* w = wm_window_checked(hwnd);
    if (!w) return FALSE;
    paint = w->needs_paint && (w->style & WS_VISIBLE);
  }
  if (paint) SendMessageW(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

extern "C" BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  Change c;
  {
    std::lock_guard<std::mutex> hold(wm_lock());
    Window* w = wm_window_checked(hwnd);
    if (!w) return FALSE;
    c = set_rect(*w, x, y, std::max(width, 0), std::max(height, 0));
    if (repaint) wm_invalidate_locked(*w, nullptr);
  }
  tell(hwnd, c, x, y, std::max(width, 0), std::max(height, 0));
  return TRUE;
}

extern "C" BOOL SetWindowPos(HWND hwnd, HWND after, int x, int y, int width, int height, UINT flags) {
  Change c{false, false};
  RECT r;
  {
    std::lock_guard<std::mutex> hold(wm_lock());
    Window* w = wm_window_checked(hwnd);
    if (!w) return FALSE;
    if (!(flags & SWP_NOMOVE)) r.left = x, r.top = y;
    else r.left = w->rect.left, r.top = w->rect.top;
    int new_width = flags & SWP_NOSIZE ? w->rect.right - w->rect.left : std::max(width, 0);
    int new_height = flags & SWP_NOSIZE ? w->rect.bottom - w->rect.top : std::max(height, 0);
    c = set_rect(*w, r.left, r.top, new_width, new_height);
    r.right = new_width, r.bottom = new_height;
    if (!(flags & SWP_NOZORDER)) {
      if (after == HWND_BOTTOM) {
        w->z = 0;
        for (Window* s : siblings_of(place_of(*w)))
          if (s != w) s->z++;  // keeps the order strict above the bottom
      } else if (Window* below = after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST
                                      ? nullptr
                                      : wm_window(after)) {
        // Just under `below`: everything from it up moves one higher.
        const uint32_t at = below->z;
        for (Window* s : siblings_of(place_of(*w)))
          if (s != w && s->z >= at) s->z++;
        w->z = at;
      } else if (after != HWND_NOTOPMOST) {
        wm_raise(*w);
      }
    }
    if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW) w->style &= ~DWORD(WS_VISIBLE);
    if (!(flags & SWP_NOREDRAW) && (c.moved || c.sized || (flags & SWP_SHOWWINDOW))) wm_invalidate_locked(*w, nullptr);
  }
  tell(hwnd, c, r.left, r.top, r.right, r.bottom);
  return TRUE;
}

extern "C" BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
  std::lock_guard<std::mutex> hold(wm_lock());
  if (!hwnd) {
    for (auto& [h, w] : wm_windows()) wm_invalidate_locked(w, nullptr);
    return TRUE;
  }
  Window* w = wm_window_checked(hwnd);
  if (!w) return FALSE;
  wm_invalidate_locked(*w, rect);
  return TRUE;
}

static BOOL convert(HWND hwnd, POINT* point, int sign) {
  std::lock_guard<std::mutex> hold(wm_lock());
  Window* w = wm_window(hwnd);
  if (!w || !point) {
    SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const POINT origin = wm_client_origin(*w);
  point->x += sign * origin.x;
  point->y += sign * origin.y;
  return TRUE;
}

extern "C" BOOL ScreenToClient(HWND hwnd, POINT* point) { return convert(hwnd, point, -1); }
extern "C" BOOL ClientToScreen(HWND hwnd, POINT* point) { return convert(hwnd, point, 1); }

extern "C" HWND GetWindow(HWND hwnd, UINT relation) {
  std::lock_guard<std::mutex> hold(wm_lock());
  Window* w = wm_window_checked(hwnd);
  if (!w) return nullptr;
  if (relation == GW_OWNER) return wm_is_child(*w) ? nullptr : w->parent;
  if (relation == GW_CHILD) {
    std::vector<Window*> children = siblings_of(hwnd);
    return children.empty() ? nullptr : children.front()->hwnd;
  }
  std::vector<Window*> row = siblings_of(place_of(*w));
  const size_t self = static_cast<size_t>(std::find(row.begin(), row.end(), w) - row.begin());
  switch (relation) {
    case GW_HWNDFIRST: return row.front()->hwnd;
    case GW_HWNDLAST: return row.back()->hwnd;
    case GW_HWNDNEXT: return self + 1 < row.size() ? row[self + 1]->hwnd : nullptr;
    case GW_HWNDPREV: return self > 0 ? row[self - 1]->hwnd : nullptr;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}
