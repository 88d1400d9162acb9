/* Cinepak: a frame of strips, each with its V1 and V4 codebooks (kept from
   frame to frame, fully or selectively replaced, colour or grey) and its
   4x4 blocks, each drawn from one V1 entry doubled or four V4 entries,
   or left as it was (inter blocks). Codebook entries hold four Y values
   and, in colour, a U and a V, turned into RGB by the format's own rule:
   R = Y + 2V, G = Y - U/2 - V, B = Y + 2U, clamped to 0..255. */
#include <string.h>

#include "vx_bytes.h"
#include "vx_core.h"

static uint8_t clamp255(int v) { return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v); }

/* Codebook chunk: bit 0 of the id selects a selective update (a 32-bit
   mask before every 32 entries), bit 2 grey entries (no U and V). */
static void codebook(uint8_t (*book)[12], uint8_t (*rows)[24], uint32_t id, const uint8_t* data,
                     const uint8_t* end) {
  uint32_t per_entry = (id & 0x04) ? 4 : 6, flags = 0, mask = 0;
  for (int i = 0; i < 256; i++) {
    if (id & 0x01) {
      mask >>= 1;
      if (!mask) {
        if (end - data < 4) return;
        flags = vx_be32(data);
        data += 4;
        mask = 0x80000000u;
      }
      if (!(flags & mask)) continue;
    }
    if ((uint32_t)(end - data) < per_entry) return;
    int u = 0, v = 0;
    if (per_entry == 6) {
      u = (int8_t)data[4];
      v = (int8_t)data[5];
    }
    for (int k = 0; k < 4; k++) {
      int y = data[k];
      book[i][k * 3 + 0] = clamp255(y + v * 2);
      book[i][k * 3 + 1] = clamp255(y - u / 2 - v);
      book[i][k * 3 + 2] = clamp255(y + u * 2);
    }
    if (rows)
      for (int k = 0; k < 4; k++) { /* pixel k goes twice into row k / 2 */
        uint8_t* at = rows[i] + (k >> 1) * 12 + (k & 1) * 6;
        VX_COPY(at, book[i] + k * 3, 3);
        VX_COPY(at + 3, book[i] + k * 3, 3);
      }
    data += per_entry;
  }
}

static void put2x2(uint8_t* row0, uint8_t* row1, const uint8_t* entry) {
  VX_COPY(row0, entry, 6);
  VX_COPY(row1, entry + 6, 6);
}

/* Block chunk: 0x30 intra (a mask bit per block: V4 or V1), 0x31 inter (a
   bit for coded, then one for V4 or V1), 0x32 V1 only. */
static int vectors(const VxCinepakStrip* strip, uint32_t id, const uint8_t* data, const uint8_t* end, uint8_t* picture,
                   uint32_t stride, uint32_t y0, uint32_t y1, uint32_t width, uint32_t height) {
  uint32_t flags = 0, mask = 0;
  for (uint32_t y = y0; y < y1; y += 4) {
    /* A strip whose height is no multiple of 4 ends in a partial block row:
       the rows past the picture fold onto its last row. */
    uint8_t* rows[4];
    for (uint32_t k = 0; k < 4; k++) rows[k] = picture + (y + k < height ? y + k : height - 1) * stride;
    for (uint32_t x = 0; x < width; x += 4) {
      uint32_t at = x * 3;
      if (id & 0x01) {
        mask >>= 1;
        if (!mask) {
          if (end - data < 4) return VX_ERR_BAD_DATA;
          flags = vx_be32(data);
          data += 4;
          mask = 0x80000000u;
        }
        if (!(flags & mask)) continue; /* unchanged block */
      }
      int v4 = 0;
      if (!(id & 0x02)) {
        mask >>= 1;
        if (!mask) {
          if (end - data < 4) return VX_ERR_BAD_DATA;
          flags = vx_be32(data);
          data += 4;
          mask = 0x80000000u;
        }
        v4 = (flags & mask) != 0;
      }
      if (!v4) {
        if (data >= end) return VX_ERR_BAD_DATA;
        const uint8_t* e = strip->v1_rows[*data++];
        VX_COPY(rows[0] + at, e, 12);
        VX_COPY(rows[1] + at, e, 12);
        VX_COPY(rows[2] + at, e + 12, 12);
        VX_COPY(rows[3] + at, e + 12, 12);
      } else {
        if (end - data < 4) return VX_ERR_BAD_DATA;
        put2x2(rows[0] + at, rows[1] + at, strip->v4[data[0]]);
        put2x2(rows[0] + at + 6, rows[1] + at + 6, strip->v4[data[1]]);
        put2x2(rows[2] + at, rows[3] + at, strip->v4[data[2]]);
        put2x2(rows[2] + at + 6, rows[3] + at + 6, strip->v4[data[3]]);
        data += 4;
      }
    }
  }
  return VX_OK;
}

static int strip_chunks(VxCinepakStrip* strip, const uint8_t* data, const uint8_t* end, uint8_t* picture,
                        uint32_t stride, uint32_t y0, uint32_t y1, uint32_t width, uint32_t height) {
  while (end - data >= 4) {
    uint32_t id = data[0], size = vx_be24(data + 1);
    if (size < 4) return VX_ERR_BAD_DATA;
    data += 4;
    size -= 4;
    if (size > (uint32_t)(end - data)) size = (uint32_t)(end - data);
    switch (id) {
      case 0x20: case 0x21: case 0x24: case 0x25:
        codebook(strip->v4, 0, id, data, data + size);
        break;
      case 0x22: case 0x23: case 0x26: case 0x27:
        codebook(strip->v1, strip->v1_rows, id, data, data + size);
        break;
      case 0x30: case 0x31: case 0x32:
        return vectors(strip, id, data, data + size, picture, stride, y0, y1, width, height);
      default:
        break; /* unknown chunks are skipped */
    }
    data += size;
  }
  return VX_OK;
}

/* A word at a time: a structure copy would be a byte loop in the guest's
   C library. */
static void copy_codebooks(VxCinepakStrip* to, const VxCinepakStrip* from) {
  uint8_t* d = (uint8_t*)to;
  const uint8_t* s = (const uint8_t*)from;
  for (uint32_t i = 0; i < sizeof *to; i += 4) VX_COPY(d + i, s + i, 4);
}

int vx_cinepak_frame(VxCinepakStrip* strips, const uint8_t* data, uint32_t size, uint8_t* picture, uint32_t stride,
                     uint32_t width, uint32_t height) {
  if (size < 10) return VX_ERR_BAD_DATA;
  const uint8_t* end = data + size;
  uint32_t frame_flags = data[0], count = vx_be16(data + 8), y = 0;
  if (count > VX_CINEPAK_STRIPS) count = VX_CINEPAK_STRIPS;
  data += 10;
  for (uint32_t i = 0; i < count; i++) {
    if (end - data < 12) return VX_ERR_BAD_DATA;
    uint32_t strip_size = vx_be24(data + 1), strip_height = vx_be16(data + 8);
    if (strip_size < 12 || strip_size > (uint32_t)(end - data)) return VX_ERR_BAD_DATA;
    /* Without flag bit 0 every strip starts from the codebooks of the one above. */
    if (i > 0 && !(frame_flags & 0x01)) copy_codebooks(&strips[i], &strips[i - 1]);
    uint32_t y1 = y + strip_height;
    if (y1 > height) y1 = height;
    int r = strip_chunks(&strips[i], data + 12, data + strip_size, picture, stride, y, y1, width, height);
    if (r) return r;
    data += strip_size;
    y = y1;
  }
  return VX_OK;
}
