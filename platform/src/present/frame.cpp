// Frame conversion for presenters: 5-6-5 to 0x00RRGGBB with integer
// nearest-neighbour scaling, overlays and host-to-screen points.
#include <algorithm>
#include <cstring>

#include "presenter.h"

namespace {

// 5-6-5 to 8 bits a channel, the low bits filled from the high ones so
// that white stays white.
uint32_t rgb_of(uint16_t p) {
  uint32_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
  return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

// All 65,536 answers, made once: a table lookup beats the shifts.
const uint32_t* rgb_table() {
  static uint32_t* table = [] {
    uint32_t* t = new uint32_t[65536];
    for (uint32_t i = 0; i < 65536; ++i) t[i] = rgb_of(uint16_t(i));
    return t;
  }();
  return table;
}

}  // namespace

void present_scale_frame(const uint16_t* src, int width, int height, int scale, uint32_t* dst, int dst_pitch) {
  const uint32_t* table = rgb_table();
  for (int y = 0; y < height; ++y) {
    uint32_t* row = dst + size_t(y) * scale * dst_pitch;
    const uint16_t* in = src + size_t(y) * width;
    if (scale == 2) {
      for (int x = 0; x < width; ++x) row[2 * x] = row[2 * x + 1] = table[in[x]];
    } else {
      for (int x = 0; x < width; ++x) {
        uint32_t v = table[in[x]];
        for (int k = 0; k < scale; ++k) row[x * scale + k] = v;
      }
    }
    for (int k = 1; k < scale; ++k) memcpy(row + size_t(k) * dst_pitch, row, size_t(width) * scale * 4);
  }
}

void present_overlay_frame(uint16_t* frame, int width, int height, const uint16_t* overlay, int x, int y,
                           int overlay_width, int overlay_height) {
  int x0 = std::max(x, 0), x1 = std::min(x + overlay_width, width);
  int y0 = std::max(y, 0), y1 = std::min(y + overlay_height, height);
  if (x0 >= x1) return;
  for (int row = y0; row < y1; ++row)
    memcpy(frame + size_t(row) * width + x0, overlay + size_t(row - y) * overlay_width + (x0 - x),
           size_t(x1 - x0) * 2);
}

void present_host_to_screen(int host_x, int host_y, int scale, int width, int height, int* x, int* y) {
  // Floor division: a point just left of the window is -1, not 0.
  int sx = host_x >= 0 ? host_x / scale : -((-host_x + scale - 1) / scale);
  int sy = host_y >= 0 ? host_y / scale : -((-host_y + scale - 1) / scale);
  *x = std::clamp(sx, 0, std::max(width - 1, 0));
  *y = std::clamp(sy, 0, std::max(height - 1, 0));
}
