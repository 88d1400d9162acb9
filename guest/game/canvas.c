/* The 8-bit canvas the game draws into, its palette, and the game's own
   5x7 lettering (art of the game, drawn pixel by pixel). */
#include <string.h>

#include "game.h"

unsigned char g_canvas[SCREEN_H][SCREEN_W];

/* Rows of five bits, top row first, bit 4 the leftmost pixel. */
typedef struct {
  char ch;
  unsigned char rows[7];
} Glyph;
static const Glyph glyphs[] = {
    {'0', {14, 17, 19, 21, 25, 17, 14}}, {'1', {4, 12, 4, 4, 4, 4, 14}},
    {'2', {14, 17, 1, 2, 4, 8, 31}},     {'3', {31, 2, 4, 2, 1, 17, 14}},
    {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},
    {'6', {6, 8, 16, 30, 17, 17, 14}},   {'7', {31, 1, 2, 4, 8, 8, 8}},
    {'8', {14, 17, 17, 14, 17, 17, 14}}, {'9', {14, 17, 17, 15, 1, 2, 12}},
    {'A', {14, 17, 17, 31, 17, 17, 17}}, {'B', {30, 17, 17, 30, 17, 17, 30}},
    {'C', {14, 17, 16, 16, 16, 17, 14}}, {'D', {28, 18, 17, 17, 17, 18, 28}},
    {'E', {31, 16, 16, 30, 16, 16, 31}}, {'F', {31, 16, 16, 30, 16, 16, 16}},
    {'G', {14, 17, 16, 23, 17, 17, 15}}, {'H', {17, 17, 17, 31, 17, 17, 17}},
    {'I', {14, 4, 4, 4, 4, 4, 14}},      {'J', {7, 2, 2, 2, 2, 18, 12}},
    {'K', {17, 18, 20, 24, 20, 18, 17}}, {'L', {16, 16, 16, 16, 16, 16, 31}},
    {'M', {17, 27, 21, 21, 17, 17, 17}}, {'N', {17, 17, 25, 21, 19, 17, 17}},
    {'O', {14, 17, 17, 17, 17, 17, 14}}, {'P', {30, 17, 17, 30, 16, 16, 16}},
    {'Q', {14, 17, 17, 17, 21, 18, 13}}, {'R', {30, 17, 17, 30, 20, 18, 17}},
    {'S', {15, 16, 16, 14, 1, 1, 30}},   {'T', {31, 4, 4, 4, 4, 4, 4}},
    {'U', {17, 17, 17, 17, 17, 17, 14}}, {'V', {17, 17, 17, 17, 17, 10, 4}},
    {'W', {17, 17, 17, 21, 21, 21, 10}}, {'X', {17, 17, 10, 4, 10, 17, 17}},
    {'Y', {17, 17, 17, 10, 4, 4, 4}},    {'Z', {31, 1, 2, 4, 8, 16, 31}},
    {':', {0, 12, 12, 0, 12, 12, 0}},    {'-', {0, 0, 0, 31, 0, 0, 0}},
    {'.', {0, 0, 0, 0, 0, 12, 12}},      {'!', {4, 4, 4, 4, 4, 0, 4}},
    {'?', {14, 17, 1, 2, 4, 0, 4}},      {'/', {1, 1, 2, 4, 8, 16, 16}},
    {'(', {2, 4, 8, 8, 8, 4, 2}},        {')', {8, 4, 2, 2, 2, 4, 8}},
};

static const Glyph* glyph_of(char c) {
  if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
  for (unsigned i = 0; i < sizeof glyphs / sizeof glyphs[0]; i++)
    if (glyphs[i].ch == c) return &glyphs[i];
  return 0;
}

void canvas_clear(unsigned char colour) { memset(g_canvas, colour, sizeof g_canvas); }

void canvas_rect(int x, int y, int w, int h, unsigned char colour) {
  if (x < 0) w += x, x = 0;
  if (y < 0) h += y, y = 0;
  if (x + w > SCREEN_W) w = SCREEN_W - x;
  if (y + h > SCREEN_H) h = SCREEN_H - y;
  for (int row = 0; row < h; row++) memset(&g_canvas[y + row][x], colour, w > 0 ? w : 0);
}

void canvas_frame(int x, int y, int w, int h, unsigned char colour) {
  canvas_rect(x, y, w, 1, colour);
  canvas_rect(x, y + h - 1, w, 1, colour);
  canvas_rect(x, y, 1, h, colour);
  canvas_rect(x + w - 1, y, 1, h, colour);
}

int canvas_text_width(const char* text, int scale) { return (int)strlen(text) * 6 * scale - scale; }

int canvas_text(int x, int y, const char* text, unsigned char colour, int scale) {
  for (; *text; text++, x += 6 * scale) {
    const Glyph* gl = glyph_of(*text);
    if (!gl) continue;
    for (int row = 0; row < 7; row++)
      for (int col = 0; col < 5; col++)
        if (gl->rows[row] & (16 >> col)) canvas_rect(x + col * scale, y + row * scale, scale, scale, colour);
  }
  return x;
}

void canvas_text_centre(int y, const char* text, unsigned char colour, int scale) {
  canvas_text((SCREEN_W - canvas_text_width(text, scale)) / 2, y, text, colour, scale);
}

void palette_colours(PALETTEENTRY out[256]) {
  static const unsigned char fixed[][3] = {
      {0, 0, 0},       {255, 255, 255}, {230, 40, 40},  {245, 140, 20}, {240, 220, 40},
      {60, 200, 70},   {40, 200, 220},  {60, 90, 240},  {150, 160, 175}, {110, 110, 120},
      {20, 20, 50},    {255, 230, 120}, {70, 70, 90},
  };
  memset(out, 0, 256 * sizeof out[0]);
  for (unsigned i = 0; i < sizeof fixed / sizeof fixed[0]; i++)
    out[i].red = fixed[i][0], out[i].green = fixed[i][1], out[i].blue = fixed[i][2];
  /* A night-sky gradient for the title's background. */
  for (int i = 0; i < 32; i++) {
    out[C_SKY + i].red = (unsigned char)(10 + i * 2);
    out[C_SKY + i].green = (unsigned char)(10 + i * 3);
    out[C_SKY + i].blue = (unsigned char)(40 + i * 5);
  }
}
