#include "sdl_init.h"

#include <SDL.h>

#include <cstdio>
#include <mutex>

bool sdl_start_subsystem(uint32_t flags, const char* what) {
  static std::mutex lock;
  std::lock_guard<std::mutex> hold(lock);
  // The device's own handlers (and the default actions) keep SIGINT and
  // SIGTERM; SDL would turn them into a quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(flags) != 0) {
    fprintf(stderr, "device: %s: %s\n", what, SDL_GetError());
    return false;
  }
  return true;
}
