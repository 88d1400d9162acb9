/* Microsoft Video 1: 4x4 blocks from the bottom row of blocks up, left to
   right, each block's rows from its bottom up. Two bytes open each block:
   0x84..0x87 in the second byte skips blocks (left as they were), a
   second byte below 0x80 starts a two- or eight-colour block (a 16-bit
   pixel mask, bit 0 first, set bits taking the first colour of the pair),
   anything else is a block of one colour. 8-bit frames hold palette
   indices (eight colours when the second byte is 0x90 or more), 16-bit
   frames x-5-5-5 colours (eight colours when the first colour has bit 15). */
#include <string.h>

#include "vx_bytes.h"
#include "vx_core.h"

int vx_msvc_frame16(const uint8_t* data, uint32_t size, uint8_t* picture, uint32_t stride, uint32_t width,
                    uint32_t height) {
  const uint8_t* end = data + size;
  uint32_t blocks_wide = width / 4, blocks_high = height / 4, skip = 0;
  for (uint32_t by = blocks_high; by > 0; by--) {
    for (uint32_t bx = 0; bx < blocks_wide; bx++) {
      /* Pixel (0, 0) of the block: its bottom-left corner. */
      uint8_t* base = picture + (by * 4 - 1) * stride + bx * 8;
      if (skip) {
        skip--;
        continue;
      }
      if (end - data < 2) return VX_ERR_BAD_DATA;
      uint32_t a = data[0], b = data[1];
      data += 2;
      if ((b & 0xFC) == 0x84) {
        skip = ((b - 0x84) << 8) + a - 1;
      } else if (b < 0x80) {
        uint32_t mask = b << 8 | a, colours[8];
        if (end - data < 4) return VX_ERR_BAD_DATA;
        colours[0] = vx_le16(data);
        colours[1] = vx_le16(data + 2);
        data += 4;
        if (colours[0] & 0x8000) {
          if (end - data < 12) return VX_ERR_BAD_DATA;
          for (int i = 2; i < 8; i++, data += 2) colours[i] = vx_le16(data);
          for (int py = 0; py < 4; py++)
            for (int px = 0; px < 4; px++, mask >>= 1) {
              uint32_t c = colours[((py & 2) << 1) + (px & 2) + ((mask & 1) ^ 1)] & 0x7FFF;
              uint8_t* p = base - py * stride + px * 2;
              p[0] = (uint8_t)c, p[1] = (uint8_t)(c >> 8);
            }
        } else {
          for (int py = 0; py < 4; py++)
            for (int px = 0; px < 4; px++, mask >>= 1) {
              uint32_t c = colours[(mask & 1) ^ 1] & 0x7FFF;
              uint8_t* p = base - py * stride + px * 2;
              p[0] = (uint8_t)c, p[1] = (uint8_t)(c >> 8);
            }
        }
      } else {
        uint32_t c = (b << 8 | a) & 0x7FFF;
        for (int py = 0; py < 4; py++)
          for (int px = 0; px < 4; px++) {
            uint8_t* p = base - py * stride + px * 2;
            p[0] = (uint8_t)c, p[1] = (uint8_t)(c >> 8);
          }
      }
    }
  }
  return VX_OK;
}

int vx_msvc_frame8(const uint8_t* data, uint32_t size, uint8_t* picture, uint32_t stride, uint32_t width,
                   uint32_t height) {
  const uint8_t* end = data + size;
  uint32_t blocks_wide = width / 4, blocks_high = height / 4, skip = 0;
  for (uint32_t by = blocks_high; by > 0; by--) {
    for (uint32_t bx = 0; bx < blocks_wide; bx++) {
      uint8_t* base = picture + (by * 4 - 1) * stride + bx * 4;
      if (skip) {
        skip--;
        continue;
      }
      if (end - data < 2) return VX_ERR_BAD_DATA;
      uint32_t a = data[0], b = data[1];
      data += 2;
      if ((b & 0xFC) == 0x84) {
        skip = ((b - 0x84) << 8) + a - 1;
      } else if (b < 0x80) {
        uint32_t mask = b << 8 | a;
        if (end - data < 2) return VX_ERR_BAD_DATA;
        uint8_t colours[2] = {data[0], data[1]};
        data += 2;
        for (int py = 0; py < 4; py++)
          for (int px = 0; px < 4; px++, mask >>= 1) base[px - py * (int32_t)stride] = colours[(mask & 1) ^ 1];
      } else if (b >= 0x90) {
        uint32_t mask = b << 8 | a;
        if (end - data < 8) return VX_ERR_BAD_DATA;
        const uint8_t* colours = data;
        data += 8;
        for (int py = 0; py < 4; py++)
          for (int px = 0; px < 4; px++, mask >>= 1)
            base[px - py * (int32_t)stride] = colours[((py & 2) << 1) + (px & 2) + ((mask & 1) ^ 1)];
      } else {
        for (int py = 0; py < 4; py++) VX_FILL(base - py * stride, (int)a, 4);
      }
    }
  }
  return VX_OK;
}
