/* The decoded picture into a caller's buffer: 8-bit indices, 16-bit
   x-5-5-5 or 5-6-5, or 24-bit blue-green-red, with the caller's pitch,
   top-down or bottom-up. Colours narrow by dropping low bits and widen by
   repeating the top bits; true colour into 8 bits takes the 3-3-2 palette. */
#include "vx_bytes.h"
#include "vx_core.h"

uint32_t vx_format_bytes(uint32_t format) {
  switch (format & 0xFF) {
    case VX_FORMAT_8: return 1;
    case VX_FORMAT_555: case VX_FORMAT_565: return 2;
    case VX_FORMAT_24: return 3;
    default: return 0;
  }
}

int vx_check_output(const VxMovie* m, const void* bits, uint32_t bytes, int32_t pitch, uint32_t format) {
  if (!m || !bits) return VX_ERR_ARGUMENT;
  uint32_t depth = vx_format_bytes(format);
  if (!depth || (format & ~(uint32_t)(0xFF | VX_BOTTOM_UP))) return VX_ERR_FORMAT;
  uint64_t row = (uint64_t)m->info.width * depth;
  if (pitch <= 0 || (uint64_t)pitch < row) return VX_ERR_BUFFER;
  if ((uint64_t)pitch * (m->info.height - 1) + row > bytes) return VX_ERR_BUFFER;
  return VX_OK;
}

static inline uint32_t index332(uint32_t r, uint32_t g, uint32_t b) { return (r & 0xE0) | (g >> 3 & 0x1C) | b >> 6; }

/* One row of red, green, blue bytes into the output format. */
static void row_from_rgb(const uint8_t* in, uint8_t* out, uint32_t width, uint32_t format) {
  switch (format) {
    case VX_FORMAT_24:
      for (uint32_t x = 0; x < width; x++, in += 3, out += 3) out[0] = in[2], out[1] = in[1], out[2] = in[0];
      break;
    case VX_FORMAT_565: {
      /* Four pixels per pass, as whole words: twelve bytes in, eight out
         (the words are little-endian, as on every host this runs on). */
      uint32_t x = 0;
      for (; x + 4 <= width; x += 4, in += 12, out += 8) {
        uint32_t a, b, c;
        VX_COPY(&a, in, 4);
        VX_COPY(&b, in + 4, 4);
        VX_COPY(&c, in + 8, 4);
        uint32_t p0 = (a & 0xF8) << 8 | (a >> 5 & 0x7E0) | (a >> 19 & 0x1F);
        uint32_t p1 = (a >> 16 & 0xF800) | (b << 3 & 0x7E0) | (b >> 11 & 0x1F);
        uint32_t p2 = (b >> 8 & 0xF800) | (b >> 21 & 0x7E0) | (c >> 3 & 0x1F);
        uint32_t p3 = (c & 0xF800) | (c >> 13 & 0x7E0) | (c >> 27);
        uint32_t w0 = p0 | p1 << 16, w1 = p2 | p3 << 16;
        VX_COPY(out, &w0, 4);
        VX_COPY(out + 4, &w1, 4);
      }
      for (; x < width; x++, in += 3, out += 2) {
        uint32_t v = (uint32_t)(in[0] >> 3) << 11 | (uint32_t)(in[1] >> 2) << 5 | in[2] >> 3;
        out[0] = (uint8_t)v, out[1] = (uint8_t)(v >> 8);
      }
      break;
    }
    case VX_FORMAT_555:
      for (uint32_t x = 0; x < width; x++, in += 3, out += 2) {
        uint32_t v = (uint32_t)(in[0] >> 3) << 10 | (uint32_t)(in[1] >> 3) << 5 | in[2] >> 3;
        out[0] = (uint8_t)v, out[1] = (uint8_t)(v >> 8);
      }
      break;
    default:
      for (uint32_t x = 0; x < width; x++, in += 3) out[x] = (uint8_t)index332(in[0], in[1], in[2]);
      break;
  }
}

static inline uint32_t widen5(uint32_t v) { return v << 3 | v >> 2; }

static void row_from_555(const uint8_t* in, uint8_t* out, uint32_t width, uint32_t format) {
  for (uint32_t x = 0; x < width; x++, in += 2) {
    uint32_t v = (uint32_t)in[0] | (uint32_t)in[1] << 8;
    uint32_t r = v >> 10 & 31, g = v >> 5 & 31, b = v & 31;
    switch (format) {
      case VX_FORMAT_24:
        out[0] = (uint8_t)widen5(b), out[1] = (uint8_t)widen5(g), out[2] = (uint8_t)widen5(r);
        out += 3;
        break;
      case VX_FORMAT_565:
        v = r << 11 | (g << 1 | g >> 4) << 5 | b;
        out[0] = (uint8_t)v, out[1] = (uint8_t)(v >> 8);
        out += 2;
        break;
      case VX_FORMAT_555:
        v &= 0x7FFF;
        out[0] = (uint8_t)v, out[1] = (uint8_t)(v >> 8);
        out += 2;
        break;
      default:
        *out++ = (uint8_t)index332(widen5(r), widen5(g), widen5(b));
        break;
    }
  }
}

static void row_from_indices(const uint8_t* in, uint8_t* out, uint32_t width, uint32_t format,
                             const uint8_t (*palette)[4]) {
  if (format == VX_FORMAT_8) {
    for (uint32_t x = 0; x < width; x++) out[x] = in[x];
    return;
  }
  for (uint32_t x = 0; x < width; x++) {
    const uint8_t* c = palette[in[x]];
    uint8_t rgb[3] = {c[2], c[1], c[0]};
    row_from_rgb(rgb, out + x * vx_format_bytes(format), 1, format);
  }
}

int vx_convert(const VxMovie* m, void* bits, uint32_t bytes, int32_t pitch, uint32_t format) {
  int r = vx_check_output(m, bits, bytes, pitch, format);
  if (r) return r;
  uint32_t kind = format & 0xFF;
  for (uint32_t y = 0; y < m->info.height; y++) {
    const uint8_t* in = m->picture + y * m->picture_stride;
    uint32_t out_row = (format & VX_BOTTOM_UP) ? m->info.height - 1 - y : y;
    uint8_t* out = (uint8_t*)bits + (uint32_t)pitch * out_row;
    if (m->picture_kind == VX_PIC_RGB24) row_from_rgb(in, out, m->info.width, kind);
    else if (m->picture_kind == VX_PIC_RGB555) row_from_555(in, out, m->info.width, kind);
    else row_from_indices(in, out, m->info.width, kind, (const uint8_t(*)[4])m->palette);
  }
  return VX_OK;
}

void vx_output_palette(const VxMovie* m, uint8_t colours[256][4]) {
  for (uint32_t i = 0; i < 256; i++) {
    if (m->picture_kind == VX_PIC_PAL8) {
      for (int k = 0; k < 4; k++) colours[i][k] = m->palette[i][k];
    } else { /* the 3-3-2 palette, each field widened to 8 bits */
      colours[i][2] = (uint8_t)((i >> 5) * 255 / 7);
      colours[i][1] = (uint8_t)((i >> 2 & 7) * 255 / 7);
      colours[i][0] = (uint8_t)((i & 3) * 255 / 3);
      colours[i][3] = 0;
    }
  }
}
