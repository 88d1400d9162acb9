/* Fixed-point 3D: 16.16 vertex transform and projection, then flat
   triangles filled span by span into an 8-bit frame buffer. */
#include "programs.h"

#define W 320
#define H 200
typedef int fixed;

static unsigned char frame[W * H];
static fixed sine[256];

static fixed fmul(fixed a, fixed b) { return (fixed)(((long long)a * b) >> 16); }

static void make_sine(void) {
  /* A parabola per half period is close enough and needs no libm. */
  for (int i = 0; i < 256; i++) {
    int t = i & 127;
    fixed v = (fixed)((long long)t * (128 - t) * 65536 / 4096);
    sine[i] = i < 128 ? v : -v;
  }
}

struct vec {
  fixed x, y, z;
};

static void span(int y, int x0, int x1, unsigned char color) {
  if (y < 0 || y >= H) return;
  if (x0 > x1) {
    int t = x0;
    x0 = x1;
    x1 = t;
  }
  if (x0 < 0) x0 = 0;
  if (x1 > W - 1) x1 = W - 1;
  unsigned char* p = frame + y * W;
  for (int x = x0; x <= x1; x++) p[x] = (unsigned char)(p[x] + color);
}

static void triangle(const int* a, const int* b, const int* c, unsigned char color) {
  const int* t;
  if (a[1] > b[1]) t = a, a = b, b = t;
  if (b[1] > c[1]) t = b, b = c, c = t;
  if (a[1] > b[1]) t = a, a = b, b = t;
  if (c[1] == a[1]) return;
  fixed slope_ac = ((c[0] - a[0]) << 16) / (c[1] - a[1]);
  fixed xa = a[0] << 16;
  for (int y = a[1]; y < c[1]; y++, xa += slope_ac) {
    int xb;
    if (y < b[1])
      xb = a[0] + (b[0] - a[0]) * (y - a[1]) / (b[1] - a[1]);
    else
      xb = c[1] == b[1] ? b[0] : b[0] + (c[0] - b[0]) * (y - b[1]) / (c[1] - b[1]);
    span(y, xa >> 16, xb, color);
  }
}

unsigned prog_raster(unsigned n) {
  static struct vec model[64];
  static int screen[64][2];
  make_sine();
  for (int i = 0; i < 64; i++) {
    model[i].x = (fixed)((i * 37 % 64) - 32) << 16;
    model[i].y = (fixed)((i * 53 % 64) - 32) << 16;
    model[i].z = (fixed)((i * 71 % 64) - 32) << 16;
  }
  unsigned h = 0;
  for (unsigned f = 0; f < n; f++) {
    fixed s = sine[f & 255], c = sine[(f + 64) & 255];
    for (int i = 0; i < 64; i++) {
      fixed x = fmul(model[i].x, c) - fmul(model[i].z, s);
      fixed z = fmul(model[i].x, s) + fmul(model[i].z, c) + (96 << 16);
      fixed y = fmul(model[i].y, c) + fmul(z, s >> 4);
      screen[i][0] = W / 2 + (int)(((long long)x * 160) / z);
      screen[i][1] = H / 2 + (int)(((long long)y * 160) / z);
    }
    for (int i = 0; i + 2 < 64; i += 3) triangle(screen[i], screen[i + 1], screen[i + 2], (unsigned char)(i + f));
    for (int i = 0; i < W * H; i += 61) h = h * 31 + frame[i];
  }
  return h;
}
