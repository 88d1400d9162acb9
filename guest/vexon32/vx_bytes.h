/* Reading the fixed-endian fields of movie data one byte at a time: the
   data lies at any address and the library is built for hosts that need
   aligned words. */
#ifndef VX_BYTES_H
#define VX_BYTES_H
#include <stdint.h>

static inline uint32_t vx_le16(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }
static inline uint32_t vx_le32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
static inline uint32_t vx_be16(const uint8_t* p) { return (uint32_t)p[0] << 8 | (uint32_t)p[1]; }
static inline uint32_t vx_be24(const uint8_t* p) { return (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | (uint32_t)p[2]; }
static inline uint32_t vx_be32(const uint8_t* p) { return (uint32_t)p[0] << 24 | vx_be24(p + 1); }

/* Small fixed-size copies, inline also in the freestanding guest build
   (where -ffreestanding turns every memcpy into a call). */
#define VX_COPY(to, from, bytes) __builtin_memcpy((to), (from), (bytes))
#define VX_FILL(to, value, bytes) __builtin_memset((to), (value), (bytes))

#define VX_FOURCC(a, b, c, d) ((uint32_t)(a) | (uint32_t)(b) << 8 | (uint32_t)(c) << 16 | (uint32_t)(d) << 24)

#endif
