/* Bringing the picture to a given frame: from the nearest key frame at or
   before it (or from the frame decoded last, when that is on the way),
   applying the palette changes that come before each frame. Also the
   sound stream's bytes by position. */
#include <stdlib.h>
#include <string.h>

#include "vx_bytes.h"
#include "vx_core.h"

static int read_chunk(VxMovie* m, const VxChunk* c) {
  if (c->size > m->chunk_capacity) {
    free(m->chunk_buffer);
    m->chunk_capacity = 0;
    m->chunk_buffer = (uint8_t*)malloc(c->size);
    if (!m->chunk_buffer) return VX_ERR_MEMORY;
    m->chunk_capacity = c->size;
  }
  if (c->offset > m->source.size || c->size > m->source.size - c->offset) return VX_ERR_TRUNCATED;
  if (m->source.read(m->source.context, c->offset, m->chunk_buffer, c->size) != c->size) return VX_ERR_READ;
  return VX_OK;
}

/* A palette change: first entry, count (0 for 256), flags, then red,
   green, blue, flags per entry. One that reaches past entry 255 is refused
   whole rather than wrapped around onto the first entries. */
static int palette_change(VxMovie* m, const VxChunk* c) {
  int r = read_chunk(m, c);
  if (r) return r;
  if (c->size < 4) return VX_ERR_BAD_DATA;
  const uint8_t* d = m->chunk_buffer;
  uint32_t first = d[0], count = d[1] ? d[1] : 256;
  if (first + count > 256) return VX_ERR_PALETTE;
  if (c->size - 4 < count * 4) return VX_ERR_BAD_DATA;
  for (uint32_t i = 0; i < count; i++) {
    const uint8_t* e = d + 4 + i * 4;
    m->palette[first + i][0] = e[2];
    m->palette[first + i][1] = e[1];
    m->palette[first + i][2] = e[0];
    m->palette[first + i][3] = 0;
  }
  return VX_OK;
}

/* Applies the palette changes that precede frame `frame` (those from
   frame `from` on when `from` is smaller: a restart at a key frame). */
static int palettes_before(VxMovie* m, uint32_t from, uint32_t frame) {
  uint32_t lo = 0, hi = m->palettes.count;
  while (lo < hi) { /* the first change at `from` or later */
    uint32_t mid = lo + (hi - lo) / 2;
    if (m->palettes.items[mid].frame < from) lo = mid + 1;
    else hi = mid;
  }
  int result = VX_OK;
  for (; lo < m->palettes.count && m->palettes.items[lo].frame <= frame; lo++) {
    int r = palette_change(m, &m->palettes.items[lo]);
    if (r && !result) result = r;
  }
  return result;
}

static int decode_one(VxMovie* m, uint32_t frame) {
  const VxChunk* c = &m->video.items[frame];
  if (c->size == 0) return VX_OK; /* a repeated frame */
  int r = read_chunk(m, c);
  if (r) return r;
  if (m->codec == VX_CODEC_CINEPAK)
    return vx_cinepak_frame(m->strips, m->chunk_buffer, c->size, m->picture, m->picture_stride, m->picture_width,
                            m->picture_height);
  if (m->picture_kind == VX_PIC_RGB555)
    return vx_msvc_frame16(m->chunk_buffer, c->size, m->picture, m->picture_stride, m->info.width, m->info.height);
  return vx_msvc_frame8(m->chunk_buffer, c->size, m->picture, m->picture_stride, m->info.width, m->info.height);
}

int vx_decode(VxMovie* m, uint32_t frame) {
  if (!m) return VX_ERR_ARGUMENT;
  if (frame >= m->video.count) return VX_ERR_FRAME;
  if ((int32_t)frame == m->decoded) return VX_OK;
  uint32_t key = frame;
  while (key > 0 && !m->video.items[key].frame) key--;
  uint32_t start;
  int result = VX_OK;
  if (m->decoded >= 0 && frame > (uint32_t)m->decoded && (uint32_t)m->decoded >= key) {
    start = (uint32_t)m->decoded + 1;
  } else {
    start = key;
    memcpy(m->palette, m->base_palette, sizeof m->palette);
    result = palettes_before(m, 0, key);
  }
  for (uint32_t f = start; f <= frame; f++) {
    int r = f == key && start == key ? VX_OK : palettes_before(m, f, f);
    if (r && !result) result = r;
    r = decode_one(m, f);
    if (r && !result) result = r;
    m->decoded = (int32_t)f;
  }
  return result;
}

int vx_decode_frame(VxMovie* m, uint32_t frame, void* bits, uint32_t bytes, int32_t pitch, uint32_t format) {
  if (!m) return VX_ERR_ARGUMENT;
  if (frame >= m->video.count) return VX_ERR_FRAME;
  int r = vx_check_output(m, bits, bytes, pitch, format); /* before any work */
  if (r) return r;
  int decoded = vx_decode(m, frame);
  r = vx_convert(m, bits, bytes, pitch, format);
  return decoded ? decoded : r;
}

/* The sound stream as one run of bytes: each audio chunk's `frame` field
   holds the stream position of its first byte. */
int vx_read_audio(VxMovie* m, uint32_t offset, void* buffer, uint32_t bytes, uint32_t* done) {
  if (done) *done = 0;
  if (!m || (!buffer && bytes)) return VX_ERR_ARGUMENT;
  if (!m->info.audio_channels) return VX_ERR_NO_AUDIO;
  uint32_t lo = 0, hi = m->audio.count, got = 0;
  while (lo < hi) { /* the last chunk starting at or before offset */
    uint32_t mid = lo + (hi - lo) / 2;
    if (m->audio.items[mid].frame <= offset) lo = mid + 1;
    else hi = mid;
  }
  for (uint32_t i = lo ? lo - 1 : 0; i < m->audio.count && got < bytes; i++) {
    const VxChunk* c = &m->audio.items[i];
    uint32_t skip = offset + got - c->frame;
    if (skip >= c->size) continue;
    uint32_t n = c->size - skip;
    if (n > bytes - got) n = bytes - got;
    if (c->offset + skip > m->source.size || n > m->source.size - c->offset - skip) return VX_ERR_TRUNCATED;
    if (m->source.read(m->source.context, c->offset + skip, (uint8_t*)buffer + got, n) != n) return VX_ERR_READ;
    got += n;
  }
  if (done) *done = got;
  return got == 0 && bytes ? VX_ERR_END : VX_OK;
}
