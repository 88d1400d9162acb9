// The SDL2 window presenter. One thread of its own owns the window: it
// pumps the host's events (mouse as the pen, keys, closing) and shows the
// latest screen at most once per display refresh. The drawing threads
// only mark the frame changed: no other thread may call SDL's video
// functions (even SDL_PushEvent wakes the waiting thread through the X
// connection, which Xlib does not allow from two threads at once), so the
// presenter looks at the mark once per refresh.
#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "device_input.h"
#include "gdi/gdi.h"
#include "presenter.h"
#include "sdl_init.h"
#include "wce/device.h"

namespace {

using Clock = std::chrono::steady_clock;

struct SdlPresenter {
  int scale;
  std::atomic<bool> dirty{false};
  SDL_Window* window = nullptr;
  int width = 0, height = 0;  // screen size the window shows
  std::vector<uint16_t> frame;
  std::vector<uint32_t> scaled;
  Uint8 pen_button = 0;  // the mouse button holding the pen down, 0 when up

  std::mutex overlay_lock;  // guards the overlay
  std::vector<uint16_t> overlay;
  int overlay_x = 0, overlay_y = 0, overlay_w = 0, overlay_h = 0;
};

SdlPresenter* g_sdl;

void mark_dirty(void) { g_sdl->dirty.store(true); }

void show_overlay(const uint16_t* pixels, int x, int y, int width, int height) {
  {
    std::lock_guard<std::mutex> hold(g_sdl->overlay_lock);
    if (pixels && width > 0 && height > 0) {
      g_sdl->overlay.assign(pixels, pixels + size_t(width) * height);
      g_sdl->overlay_x = x, g_sdl->overlay_y = y, g_sdl->overlay_w = width, g_sdl->overlay_h = height;
    } else {
      g_sdl->overlay.clear();
    }
  }
  mark_dirty();
}

const Presenter kSdl = {"sdl", true, mark_dirty, show_overlay};

// Copies the screen (the one moment the drawing threads wait for us),
// lays the overlay on it and shows it scaled.
void present(SdlPresenter& p) {
  p.dirty.store(false);
  int width, height;
  {
    std::lock_guard<std::mutex> hold(g_gdi_lock);
    const Surface& s = gdi_screen();
    width = s.width, height = s.height;
    p.frame.resize(size_t(width) * height);
    for (int y = 0; y < height; ++y)
      memcpy(p.frame.data() + size_t(y) * width, s.bits.data() + size_t(y) * s.stride, size_t(width) * 2);
  }
  {
    std::lock_guard<std::mutex> hold(p.overlay_lock);
    if (!p.overlay.empty())
      present_overlay_frame(p.frame.data(), width, height, p.overlay.data(), p.overlay_x, p.overlay_y, p.overlay_w,
                            p.overlay_h);
  }
  if (width != p.width || height != p.height) {
    // The display turned: the window takes the screen's new shape.
    p.width = width, p.height = height;
    SDL_SetWindowSize(p.window, width * p.scale, height * p.scale);
  }
  const int host_w = width * p.scale, host_h = height * p.scale;
  p.scaled.resize(size_t(host_w) * host_h);
  present_scale_frame(p.frame.data(), width, height, p.scale, p.scaled.data(), host_w);
  SDL_Surface* target = SDL_GetWindowSurface(p.window);
  SDL_Surface* source =
      SDL_CreateRGBSurfaceWithFormatFrom(p.scaled.data(), host_w, host_h, 32, host_w * 4, SDL_PIXELFORMAT_RGB888);
  if (target && source) {
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_UpdateWindowSurface(p.window);
  }
  SDL_FreeSurface(source);
}

void handle(SdlPresenter& p, const SDL_Event& e) {
  int x, y;
  switch (e.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const Uint8 button = e.button.button;
      if (button != SDL_BUTTON_LEFT && button != SDL_BUTTON_RIGHT) break;
      present_host_to_screen(e.button.x, e.button.y, p.scale, p.width, p.height, &x, &y);
      if (e.type == SDL_MOUSEBUTTONDOWN) {
        // The right button is the press held at once; pressed while the
        // left one is down, it makes that press a held one.
        if (button == SDL_BUTTON_RIGHT) present_pen(DEVICE_PEN_GESTURE, x, y);
        if (p.pen_button) break;
        p.pen_button = button;
        if (button == SDL_BUTTON_LEFT) present_pen(DEVICE_PEN_DOWN, x, y);
      } else if (button == p.pen_button) {
        p.pen_button = 0;
        present_pen(DEVICE_PEN_UP, x, y);
      }
      break;
    }
    case SDL_MOUSEMOTION:
      if (!p.pen_button) break;
      present_host_to_screen(e.motion.x, e.motion.y, p.scale, p.width, p.height, &x, &y);
      present_pen(DEVICE_PEN_MOVE, x, y);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (UINT vk = present_vk_of_key(e.key.keysym.sym)) present_key(vk, e.type == SDL_KEYDOWN);
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        present_close();
      } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        p.dirty.store(true);
      } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST && p.pen_button) {
        // The button went up where we cannot see it.
        p.pen_button = 0;
        present_pen(DEVICE_PEN_UP, 0, 0);
      }
      break;
    default:
      break;
  }
}

void run(SdlPresenter& p) {
  SDL_DisplayMode mode{};
  int hz = SDL_GetWindowDisplayMode(p.window, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
  const auto period = std::chrono::microseconds(1000000 / hz);
  Clock::time_point next = Clock::now();
  for (;;) {
    // Events wake us at once; a changed frame waits for the next refresh.
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
    int wait_ms = left > 0 ? int(left) : 0;
    SDL_Event e;
    if (wait_ms == 0 ? SDL_PollEvent(&e) : SDL_WaitEventTimeout(&e, wait_ms)) {
      handle(p, e);
      while (SDL_PollEvent(&e)) handle(p, e);
    }
    Clock::time_point now = Clock::now();
    if (now >= next) {
      if (p.dirty.load()) present(p);
      next = std::max(next + period, now);
    }
  }
}

}  // namespace

const Presenter* sdl_presenter_start(int scale) {
  auto* p = new SdlPresenter{};
  p->scale = scale;
  // Called with g_gdi_lock held (from the first drawing): the thread must
  // not take it before it answers.
  p->width = device_screen_width(), p->height = device_screen_height();
  std::promise<bool> started;
  std::future<bool> answer = started.get_future();
  std::thread([p](std::promise<bool> done) {
    // The window's surface straight through the window system: we scale
    // ourselves, and a GL renderer behind it would cost more than it saves
    // (a software GL under an emulator takes seconds a frame).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    bool ok = sdl_start_subsystem(SDL_INIT_VIDEO, "no display");
    if (ok) {
      p->window = SDL_CreateWindow("Tavrin", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, p->width * p->scale,
                                   p->height * p->scale, 0);
      ok = p->window != nullptr;
      if (!ok) fprintf(stderr, "device: no window: %s\n", SDL_GetError());
      // A window nobody sees would leave message boxes waiting for ever.
      const char* driver = SDL_GetCurrentVideoDriver();
      if (ok && driver && (!strcmp(driver, "dummy") || !strcmp(driver, "offscreen"))) {
        fprintf(stderr, "device: no display (SDL's %s driver)\n", driver);
        SDL_DestroyWindow(p->window);
        ok = false;
      }
    }
    if (ok) g_sdl = p;
    done.set_value(ok);
    if (ok) {
      p->dirty.store(true);
      run(*p);
    }
  }, std::move(started)).detach();
  return answer.get() ? &kSdl : nullptr;
}
