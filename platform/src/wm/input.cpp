// Input from the presenter: the pen becomes mouse messages for the window
// under it, hardware keys key messages for the focus window, and closing
// the host window a WM_CLOSE. Messages are posted, never sent: the
// presenter's thread must not wait for the game's.
#include <atomic>
#include <cstdlib>

#include "device_input.h"
#include "wce/kernel.h"
#include "wce/time.h"
#include "wm.h"

namespace {

constexpr WPARAM kPenButton = 0x0001;  // MK_LBUTTON

struct PenState {
  bool down;
  bool gesture;       // the host's right button: held at once
  bool ever_touched;  // the screen has seen the pen since start
  POINT at;           // screen point of the latest press or move
  POINT down_at;
  WmClock::time_point down_time;
  HWND target;  // the window that got the press keeps the stroke
};

PenState g_pen;  // under wm_lock
std::condition_variable g_pen_changed;

// Bit 0x80: down; bit 0x01: toggled (Caps Lock); bit 0x02: pressed since
// GetAsyncKeyState last looked.
std::atomic<uint8_t> g_keys[256];
constexpr uint8_t kDown = 0x80, kToggled = 0x01, kPressedSince = 0x02;

LPARAM point_param(POINT client) {
  return static_cast<LPARAM>((static_cast<DWORD>(client.x) & 0xFFFF) | (static_cast<DWORD>(client.y) & 0xFFFF) << 16);
}

// Posts a pen message to `hwnd` in its client coordinates. Moves coalesce
// as on Windows: a move still waiting in the queue is overwritten.
void post_pen_locked(HWND hwnd, UINT message, WPARAM buttons, POINT screen) {
  Window* w = wm_window(hwnd);
  if (!w) return;
  POINT origin = wm_client_origin(*w);
  MSG msg{hwnd, message, buttons, point_param(POINT{screen.x - origin.x, screen.y - origin.y}), GetTickCount(),
          screen};
  MessageQueue& queue = wm_queue(w->thread);
  if (message == WM_MOUSEMOVE && !queue.posted.empty()) {
    MSG& last = queue.posted.back();
    if (last.hwnd == hwnd && last.message == WM_MOUSEMOVE && last.wParam == buttons) {
      last = msg;
      return;
    }
  }
  wm_post_locked(w->thread, msg);
}

void set_key(UINT vk, bool down) {
  uint8_t state = g_keys[vk].load();
  if (down) {
    if (!(state & kDown)) {
      state |= kPressedSince;
      if (vk == 0x14) state ^= kToggled;  // VK_CAPITAL
    }
    state |= kDown;
  } else {
    state &= static_cast<uint8_t>(~kDown);
  }
  g_keys[vk].store(state);
}

// The left and right forms of Shift, Control and Alt also move the
// general key, as GetAsyncKeyState(VK_SHIFT) expects.
UINT general_key(UINT vk) {
  if (vk == 0xA0 || vk == 0xA1) return 0x10;
  if (vk == 0xA2 || vk == 0xA3) return 0x11;
  if (vk == 0xA4 || vk == 0xA5) return 0x12;
  return 0;
}

}  // namespace

void device_input_pen(int action, int x, int y) {
  const POINT screen{x, y};
  {
    std::lock_guard<std::mutex> hold(wm_lock());
    switch (action) {
      case DEVICE_PEN_DOWN:
      case DEVICE_PEN_GESTURE: {
        if (g_pen.down) {
          // The right button while the pen is down: the press held.
          if (action == DEVICE_PEN_GESTURE) g_pen.gesture = true;
          break;
        }
        HWND capture = wm_capture_locked();
        HWND target = capture && wm_window(capture) ? capture : wm_window_at(screen);
        g_pen = PenState{true, action == DEVICE_PEN_GESTURE, true, screen, screen, WmClock::now(), target};
        if (target) post_pen_locked(target, WM_LBUTTONDOWN, kPenButton, screen);
        break;
      }
      case DEVICE_PEN_MOVE: {
        // A touch screen has no hover: only a stroke moves.
        if (!g_pen.down) break;
        g_pen.at = screen;
        HWND capture = wm_capture_locked();
        HWND target = capture && wm_window(capture) ? capture : g_pen.target;
        if (target) post_pen_locked(target, WM_MOUSEMOVE, kPenButton, screen);
        break;
      }
      case DEVICE_PEN_UP: {
        if (!g_pen.down) break;
        g_pen.down = false;
        g_pen.gesture = false;
        g_pen.at = screen;
        HWND capture = wm_capture_locked();
        HWND target = capture && wm_window(capture) ? capture : g_pen.target;
        if (target) post_pen_locked(target, WM_LBUTTONUP, 0, screen);
        g_pen.target = nullptr;
        break;
      }
      default:
        return;
    }
  }
  g_pen_changed.notify_all();
}

void device_input_key(UINT vk, bool down) {
  vk &= 0xFF;
  const bool was_down = (g_keys[vk].load() & kDown) != 0;
  set_key(vk, down);
  if (UINT general = general_key(vk)) set_key(general, down);
  if (vk == 0x01) return;  // VK_LBUTTON is the pen's
  // Bits 0-15 repeat count, 30 the previous state, 31 the transition.
  DWORD flags = 1;
  if (was_down || !down) flags |= 1u << 30;
  if (!down) flags |= 1u << 31;
  std::lock_guard<std::mutex> hold(wm_lock());
  HWND target = wm_focus_locked();
  if (!target || !wm_window(target)) target = wm_foreground_locked();
  Window* w = target ? wm_window(target) : nullptr;
  if (!w) return;
  wm_post_locked(w->thread, MSG{target, down ? WM_KEYDOWN : WM_KEYUP, vk, static_cast<LPARAM>(flags), GetTickCount(),
                                g_pen.at});
}

void device_input_close() {
  std::lock_guard<std::mutex> hold(wm_lock());
  HWND target = wm_top_level(wm_foreground_locked());
  if (!target) {
    // No foreground window: the topmost top-level window of the program.
    const Window* best = nullptr;
    for (auto& [h, w] : wm_windows())
      if (!w.parent && (!best || w.z > best->z)) best = &w;
    if (best) target = best->hwnd;
  }
  Window* w = target ? wm_window(target) : nullptr;
  if (w) wm_post_locked(w->thread, MSG{target, WM_CLOSE, 0, 0, GetTickCount(), {0, 0}});
}

bool wm_pen_held(unsigned hold_ms, int tolerance, POINT* at) {
  std::unique_lock<std::mutex> hold(wm_lock());
  const WmClock::time_point deadline = g_pen.down_time + std::chrono::milliseconds(hold_ms);
  for (;;) {
    if (at) *at = g_pen.at;
    if (!g_pen.down) return false;
    if (g_pen.gesture) return true;
    if (std::abs(g_pen.at.x - g_pen.down_at.x) > tolerance || std::abs(g_pen.at.y - g_pen.down_at.y) > tolerance)
      return false;
    if (WmClock::now() >= deadline) return true;
    g_pen_changed.wait_until(hold, deadline);
  }
}

// Bit 15: the key is down now; bit 0: it was pressed since the last call.
extern "C" SHORT GetAsyncKeyState(int vk) {
  if (vk < 0 || vk > 0xFF) return 0;
  if (vk == 0x01) {  // VK_LBUTTON: the pen
    std::lock_guard<std::mutex> hold(wm_lock());
    return g_pen.down ? static_cast<SHORT>(0x8000) : 0;
  }
  uint8_t state = g_keys[vk].fetch_and(static_cast<uint8_t>(~kPressedSince));
  SHORT result = 0;
  if (state & kDown) result |= static_cast<SHORT>(0x8000);
  if (state & kPressedSince) result |= 1;
  return result;
}

// The pen's latest point; the device has no cursor of its own, so before
// the pen first touches there is no position to give.
extern "C" BOOL GetCursorPos(POINT* point) {
  std::lock_guard<std::mutex> hold(wm_lock());
  if (!point) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!g_pen.ever_touched) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  *point = g_pen.at;
  return TRUE;
}
