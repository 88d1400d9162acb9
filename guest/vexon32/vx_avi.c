/* The RIFF AVI reader: the header list with its stream headers and
   formats, the 'movi' list (with or without 'rec ' lists) and the 'idx1'
   index. Chunks are found through the index when it is usable and by a
   scan of the 'movi' list otherwise. Every size read from the file is
   checked against the file before it is used. */
#include <stdlib.h>
#include <string.h>

#include "vx_bytes.h"
#include "vx_core.h"

#define ID_RIFF VX_FOURCC('R', 'I', 'F', 'F')
#define ID_AVI VX_FOURCC('A', 'V', 'I', ' ')
#define ID_LIST VX_FOURCC('L', 'I', 'S', 'T')
#define ID_HDRL VX_FOURCC('h', 'd', 'r', 'l')
#define ID_STRL VX_FOURCC('s', 't', 'r', 'l')
#define ID_MOVI VX_FOURCC('m', 'o', 'v', 'i')
#define ID_AVIH VX_FOURCC('a', 'v', 'i', 'h')
#define ID_STRH VX_FOURCC('s', 't', 'r', 'h')
#define ID_STRF VX_FOURCC('s', 't', 'r', 'f')
#define ID_IDX1 VX_FOURCC('i', 'd', 'x', '1')
#define ID_VIDS VX_FOURCC('v', 'i', 'd', 's')
#define ID_AUDS VX_FOURCC('a', 'u', 'd', 's')

#define AVIIF_KEYFRAME 0x10

typedef struct Parse {
  VxMovie* movie;
  int video_stream, audio_stream, streams;
  uint32_t movi, movi_end; /* the 'movi' type word and the list's end */
  uint32_t idx1, idx1_size;
  int have_avih, have_video_format;
} Parse;

static int read_exact(const VxSource* s, uint32_t offset, void* buffer, uint32_t bytes) {
  if (offset > s->size || bytes > s->size - offset) return VX_ERR_TRUNCATED;
  return s->read(s->context, offset, buffer, bytes) == bytes ? VX_OK : VX_ERR_READ;
}

int vx_chunk_append(VxChunkList* list, uint32_t offset, uint32_t size, uint32_t frame) {
  if (list->count == list->capacity) {
    uint32_t capacity = list->capacity ? list->capacity * 2 : 64;
    if (capacity > 0x7FFFFFFFu / sizeof(VxChunk)) return VX_ERR_MEMORY;
    VxChunk* items = (VxChunk*)malloc(capacity * sizeof(VxChunk));
    if (!items) return VX_ERR_MEMORY;
    if (list->count) memcpy(items, list->items, list->count * sizeof(VxChunk));
    free(list->items);
    list->items = items;
    list->capacity = capacity;
  }
  VxChunk* c = &list->items[list->count++];
  c->offset = offset;
  c->size = size;
  c->frame = frame;
  return VX_OK;
}

static uint32_t upper(uint32_t fourcc) {
  uint32_t out = 0;
  for (int i = 0; i < 32; i += 8) {
    uint32_t c = fourcc >> i & 0xFF;
    if (c >= 'a' && c <= 'z') c -= 32;
    out |= c << i;
  }
  return out;
}

static int video_format(Parse* p, uint32_t handler, uint32_t at, uint32_t size) {
  VxMovie* m = p->movie;
  uint8_t h[40];
  if (size < 40) return VX_ERR_BAD_DATA;
  int r = read_exact(&m->source, at, h, 40);
  if (r) return r;
  uint32_t header = vx_le32(h);
  int32_t width = (int32_t)vx_le32(h + 4);
  /* A negative height marks a top-down picture. Its size is taken in
     unsigned arithmetic: negating the most negative height would overflow
     (and let the compiler assume the result positive); here it stays too
     large and is refused. */
  uint32_t height = vx_le32(h + 8);
  if (height >> 31) height = 0u - height;
  uint32_t bits = vx_le16(h + 14), compression = upper(vx_le32(h + 16)), used = vx_le32(h + 32);
  if (width <= 0 || height == 0 || width > VX_MAX_SIDE || height > VX_MAX_SIDE) return VX_ERR_DIMENSIONS;
  if (compression == 0) compression = upper(handler);
  if (compression == VX_FOURCC('C', 'V', 'I', 'D')) {
    if (bits != 24 && bits != 32) return VX_ERR_CODEC; /* palettized Cinepak is not carried */
    m->codec = VX_CODEC_CINEPAK;
  } else if (compression == VX_FOURCC('C', 'R', 'A', 'M') || compression == VX_FOURCC('M', 'S', 'V', 'C') ||
             compression == VX_FOURCC('W', 'H', 'A', 'M')) {
    if (bits != 8 && bits != 16) return VX_ERR_CODEC;
    m->codec = VX_CODEC_MSVC;
  } else {
    return VX_ERR_CODEC;
  }
  m->info.width = (uint32_t)width;
  m->info.height = height;
  m->info.bits = bits;
  m->info.codec = vx_le32(h + 16) ? vx_le32(h + 16) : handler;
  if (bits == 8) {
    /* The colour table follows the header, as long as the chunk holds it. */
    uint32_t colours = used ? used : 256;
    if (header < 40 || header > size) return VX_ERR_BAD_DATA;
    if (colours > 256) colours = 256;
    if (colours > (size - header) / 4) colours = (size - header) / 4;
    r = read_exact(&m->source, at + header, m->base_palette, colours * 4);
    if (r) return r;
    for (uint32_t i = 0; i < 256; i++) m->base_palette[i][3] = 0;
  }
  p->have_video_format = 1;
  return VX_OK;
}

static int audio_format(Parse* p, uint32_t at, uint32_t size) {
  VxMovie* m = p->movie;
  uint8_t w[16];
  if (size < 16) return VX_OK; /* an unusable sound format leaves the movie silent */
  int r = read_exact(&m->source, at, w, 16);
  if (r) return r;
  uint32_t tag = vx_le16(w), channels = vx_le16(w + 2), rate = vx_le32(w + 4), bits = vx_le16(w + 14);
  if (tag != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate < 1000 || rate > 192000)
    return VX_OK;
  m->info.audio_channels = channels;
  m->info.audio_rate = rate;
  m->info.audio_bits = bits;
  return VX_OK;
}

/* One 'strl' list: its stream header says what the following format is. */
static int stream_list(Parse* p, uint32_t at, uint32_t end) {
  VxMovie* m = p->movie;
  uint32_t type = 0, handler = 0, scale = 0, rate = 0;
  int number = p->streams++;
  while (end - at >= 8) {
    uint8_t h[8];
    int r = read_exact(&m->source, at, h, 8);
    if (r) return r;
    uint32_t id = vx_le32(h), size = vx_le32(h + 4);
    if (size > end - at - 8) return VX_ERR_TRUNCATED;
    if (id == ID_STRH && size >= 28) {
      uint8_t s[28];
      r = read_exact(&m->source, at + 8, s, 28);
      if (r) return r;
      type = vx_le32(s);
      handler = vx_le32(s + 4);
      scale = vx_le32(s + 20);
      rate = vx_le32(s + 24);
    } else if (id == ID_STRF) {
      if (type == ID_VIDS && p->video_stream < 0) {
        r = video_format(p, handler, at + 8, size);
        if (r) return r;
        p->video_stream = number;
        m->info.scale = scale;
        m->info.rate = rate;
      } else if (type == ID_AUDS && p->audio_stream < 0) {
        r = audio_format(p, at + 8, size);
        if (r) return r;
        if (m->info.audio_channels) p->audio_stream = number;
      }
    }
    at += 8 + size + (size & 1);
    if (at > end) break;
  }
  return VX_OK;
}

static int header_list(Parse* p, uint32_t at, uint32_t end) {
  VxMovie* m = p->movie;
  uint32_t us_per_frame = 0;
  while (end - at >= 8) {
    uint8_t h[12];
    int r = read_exact(&m->source, at, h, 8);
    if (r) return r;
    uint32_t id = vx_le32(h), size = vx_le32(h + 4);
    if (size > end - at - 8) return VX_ERR_TRUNCATED;
    if (id == ID_AVIH && size >= 4) {
      r = read_exact(&m->source, at + 8, h, 4);
      if (r) return r;
      us_per_frame = vx_le32(h);
      p->have_avih = 1;
    } else if (id == ID_LIST && size >= 4) {
      r = read_exact(&m->source, at + 8, h + 8, 4);
      if (r) return r;
      if (vx_le32(h + 8) == ID_STRL) {
        r = stream_list(p, at + 12, at + 8 + size);
        if (r) return r;
      }
    }
    at += 8 + size + (size & 1);
    if (at > end) break;
  }
  /* A stream header without a usable rate (none, or outside 0.1 to 1,000
     frames a second, which would stall or race playback) falls back on the
     main header's, and that on 15 frames a second. */
  if (!m->info.rate || !m->info.scale || (uint64_t)m->info.rate * 10 < m->info.scale ||
      m->info.rate / 1000 > m->info.scale) {
    m->info.rate = 1000000;
    m->info.scale = us_per_frame >= 1000 && us_per_frame <= 10000000 ? us_per_frame : 66667;
  }
  return VX_OK;
}

/* The stream a movie chunk belongs to ("00dc" is stream 0), or -1. */
static int chunk_stream(uint32_t id) {
  uint32_t a = id & 0xFF, b = id >> 8 & 0xFF;
  if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
  return (int)((a - '0') * 10 + (b - '0'));
}

static int add_chunk(Parse* p, uint32_t id, uint32_t data, uint32_t size, int key) {
  VxMovie* m = p->movie;
  int stream = chunk_stream(id);
  uint32_t kind = id >> 16;
  if (stream < 0) return VX_OK;
  if (stream == p->video_stream) {
    if (kind == ('d' | 'c' << 8) || kind == ('d' | 'b' << 8)) return vx_chunk_append(&m->video, data, size, key);
    if (kind == ('p' | 'c' << 8)) return vx_chunk_append(&m->palettes, data, size, m->video.count);
  } else if (stream == p->audio_stream && kind == ('w' | 'b' << 8)) {
    /* Each sound chunk remembers where it starts in the stream. */
    uint32_t position = m->info.audio_bytes;
    if (size > 0xFFFFFFFFu - position) return VX_ERR_BAD_DATA;
    m->info.audio_bytes += size;
    return vx_chunk_append(&m->audio, data, size, position);
  }
  return VX_OK;
}

static void reset_chunks(VxMovie* m) {
  m->video.count = m->audio.count = m->palettes.count = 0;
  m->info.audio_bytes = 0;
}

/* The 'idx1' index: offsets count from the 'movi' type word (or, in some
   writers' files, from the start of the file). Returns 0 when the index
   cannot be used, so that the caller scans instead. */
static int read_index(Parse* p, int* used) {
  VxMovie* m = p->movie;
  uint32_t entries = p->idx1_size / 16, base = 0, file = m->source.size;
  int based = 0;
  *used = 0;
  for (uint32_t i = 0; i < entries; i++) {
    uint8_t e[16], h[8];
    int r = read_exact(&m->source, p->idx1 + i * 16, e, 16);
    if (r) return r;
    uint32_t id = vx_le32(e), flags = vx_le32(e + 4), offset = vx_le32(e + 8), size = vx_le32(e + 12);
    if (id == ID_LIST) continue;
    if (!based) {
      /* The first chunk tells which base the writer used. */
      if (offset <= file - p->movi && read_exact(&m->source, p->movi + offset, h, 8) == VX_OK && vx_le32(h) == id)
        base = p->movi;
      else if (read_exact(&m->source, offset, h, 8) == VX_OK && vx_le32(h) == id)
        base = 0;
      else
        return VX_OK;
      based = 1;
    }
    if (file - base < 8 || offset > file - base - 8 || size > file - base - offset - 8) {
      reset_chunks(m);
      return VX_OK;
    }
    r = add_chunk(p, id, base + offset + 8, size, (flags & AVIIF_KEYFRAME) != 0);
    if (r) return r;
  }
  *used = based;
  if (!m->video.count) reset_chunks(m), *used = 0;
  return VX_OK;
}

/* The 'movi' list, 'rec ' lists included, chunk by chunk; a chunk that
   runs past the end of the file ends the scan (a truncated movie keeps
   the frames it has). */
static int scan_movie(Parse* p) {
  VxMovie* m = p->movie;
  uint32_t at = p->movi + 4, end = p->movi_end;
  while (end - at >= 8 && at < end) {
    uint8_t h[12];
    int r = read_exact(&m->source, at, h, 8);
    if (r) return r == VX_ERR_TRUNCATED ? VX_OK : r;
    uint32_t id = vx_le32(h), size = vx_le32(h + 4);
    if (id == ID_LIST) {
      at += 12; /* into the list */
      continue;
    }
    if (size > end - at - 8) break;
    r = add_chunk(p, id, at + 8, size, m->video.count == 0);
    if (r) return r;
    at += 8 + size + (size & 1);
  }
  return VX_OK;
}

static int parse(Parse* p) {
  VxMovie* m = p->movie;
  uint8_t h[12];
  int r = read_exact(&m->source, 0, h, 12);
  if (r) return r == VX_ERR_TRUNCATED ? VX_ERR_NOT_AVI : r;
  if (vx_le32(h) != ID_RIFF || vx_le32(h + 8) != ID_AVI) return VX_ERR_NOT_AVI;
  uint32_t end = m->source.size, riff = vx_le32(h + 4);
  if (riff < end - 8) end = riff + 8;
  uint32_t at = 12;
  while (end - at >= 8 && at < end) {
    r = read_exact(&m->source, at, h, 8);
    if (r) return r;
    uint32_t id = vx_le32(h), size = vx_le32(h + 4);
    uint32_t room = end - at - 8;
    if (id == ID_LIST && size >= 4) {
      r = read_exact(&m->source, at + 8, h + 8, 4);
      if (r) return r;
      uint32_t type = vx_le32(h + 8);
      if (type == ID_HDRL) {
        if (size > room) return VX_ERR_TRUNCATED;
        r = header_list(p, at + 12, at + 8 + size);
        if (r) return r;
      } else if (type == ID_MOVI && !p->movi) {
        p->movi = at + 8;
        p->movi_end = size > room ? end : at + 8 + size;
      }
    } else if (id == ID_IDX1 && size <= room) {
      p->idx1 = at + 8;
      p->idx1_size = size;
    }
    if (size > room) break;
    at += 8 + size + (size & 1);
  }
  if (!p->have_video_format) return p->streams || p->have_avih ? VX_ERR_NO_VIDEO : VX_ERR_NOT_AVI;
  if (!p->movi) return VX_ERR_NO_FRAMES;
  int indexed = 0;
  if (p->idx1) {
    r = read_index(p, &indexed);
    if (r) return r;
  }
  if (!indexed) {
    r = scan_movie(p);
    if (r) return r;
  }
  if (!m->video.count) return VX_ERR_NO_FRAMES;
  m->video.items[0].frame = 1; /* decoding always may start at the first frame */
  m->info.frames = m->video.count;
  return VX_OK;
}

void vx_close(VxMovie* movie) {
  if (!movie) return;
  free(movie->video.items);
  free(movie->audio.items);
  free(movie->palettes.items);
  free(movie->picture);
  free(movie->chunk_buffer);
  free(movie->strips);
  free(movie);
}

int vx_open(const VxSource* source, VxMovie** out) {
  if (!source || !source->read || !out) return VX_ERR_ARGUMENT;
  *out = 0;
  VxMovie* m = (VxMovie*)calloc(1, sizeof(VxMovie));
  if (!m) return VX_ERR_MEMORY;
  m->source = *source;
  m->info.size = sizeof(VxInfo);
  m->decoded = -1;
  Parse p;
  memset(&p, 0, sizeof p);
  p.movie = m;
  p.video_stream = p.audio_stream = -1;
  int r = parse(&p);
  if (r == VX_OK) {
    uint32_t w = (m->info.width + 3) & ~3u, h = (m->info.height + 3) & ~3u;
    uint32_t depth = m->codec == VX_CODEC_CINEPAK ? 3 : m->info.bits / 8;
    m->picture_kind = m->codec == VX_CODEC_CINEPAK ? VX_PIC_RGB24 : depth == 2 ? VX_PIC_RGB555 : VX_PIC_PAL8;
    m->picture_width = w;
    m->picture_height = h;
    m->picture_stride = w * depth;
    m->picture = (uint8_t*)calloc(h, m->picture_stride);
    if (m->codec == VX_CODEC_CINEPAK) m->strips = (VxCinepakStrip*)calloc(VX_CINEPAK_STRIPS, sizeof(VxCinepakStrip));
    if (!m->picture || (m->codec == VX_CODEC_CINEPAK && !m->strips)) r = VX_ERR_MEMORY;
    memcpy(m->palette, m->base_palette, sizeof m->palette);
  }
  if (r) {
    vx_close(m);
    return r;
  }
  *out = m;
  return VX_OK;
}
