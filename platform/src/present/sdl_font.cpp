// The device's font through SDL2_ttf. The font file is looked up in one
// place: the setting DEVICE_FONT, else DejaVu Sans from fonts-dejavu-core.
// Rendering needs no display, so text also draws headless.
#include <SDL_ttf.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "font.h"

namespace {

constexpr const char* kDefaultFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kPixelSize = 12;  // the device's system font height

std::mutex g_font_lock;  // SDL_ttf is not thread-safe

TTF_Font* font_locked() {
  static TTF_Font* font;
  static bool tried;
  if (tried) return font;
  tried = true;
  const char* path = getenv("DEVICE_FONT");
  if (!path || !*path) path = kDefaultFont;
  if (TTF_WasInit() == 0 && TTF_Init() != 0) {
    fprintf(stderr, "device: no font renderer: %s\n", TTF_GetError());
    return nullptr;
  }
  font = TTF_OpenFont(path, kPixelSize);
  if (!font) fprintf(stderr, "device: cannot open the font %s: %s\n", path, TTF_GetError());
  return font;
}

}  // namespace

bool font_available(void) {
  std::lock_guard<std::mutex> hold(g_font_lock);
  return font_locked() != nullptr;
}

int font_line_height(void) {
  std::lock_guard<std::mutex> hold(g_font_lock);
  TTF_Font* f = font_locked();
  return f ? TTF_FontLineSkip(f) : kPixelSize;
}

int font_text_width(const std::string& utf8) {
  std::lock_guard<std::mutex> hold(g_font_lock);
  TTF_Font* f = font_locked();
  int w = 0, h = 0;
  if (!f || utf8.empty() || TTF_SizeUTF8(f, utf8.c_str(), &w, &h) != 0) return 0;
  return w;
}

bool font_render(const std::string& utf8, TextMask* out) {
  std::lock_guard<std::mutex> hold(g_font_lock);
  TTF_Font* f = font_locked();
  if (!f || utf8.empty()) return false;
  // Shaded rendering gives an 8-bit surface whose index is the coverage
  // (white on black: entry i is i/255 of the way).
  SDL_Surface* s = TTF_RenderUTF8_Shaded(f, utf8.c_str(), SDL_Color{255, 255, 255, 255}, SDL_Color{0, 0, 0, 255});
  if (!s) return false;
  bool ok = s->format->BitsPerPixel == 8;
  if (ok) {
    out->width = s->w, out->height = s->h;
    out->alpha.resize(size_t(s->w) * s->h);
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; ++y) {
      const uint8_t* row = static_cast<const uint8_t*>(s->pixels) + size_t(y) * s->pitch;
      for (int x = 0; x < s->w; ++x) out->alpha[size_t(y) * s->w + x] = s->format->palette->colors[row[x]].r;
    }
    SDL_UnlockSurface(s);
  }
  SDL_FreeSurface(s);
  return ok;
}
