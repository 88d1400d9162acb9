/* The movie reader and decoders of the video library, free of any system
   call: the movie comes through a VxSource, frames go into caller buffers.
   The same files build for the guest (the translated VEXON32 module) and
   natively (tests, fuzzer, benchmark). */
#ifndef VX_CORE_H
#define VX_CORE_H
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "vexon32.h"

/* Where a movie's bytes come from. */
typedef struct VxSource {
  void* context;
  /* Reads up to `bytes` at `offset`; returns how many were read. */
  uint32_t (*read)(void* context, uint32_t offset, void* buffer, uint32_t bytes);
  uint32_t size;
} VxSource;

/* A movie already in memory (the tests, the fuzzer, the benchmark): a
   source's context points to one of these and reads with vx_memory_read. */
typedef struct VxMemory {
  const uint8_t* data;
  uint32_t size;
} VxMemory;

static inline uint32_t vx_memory_read(void* context, uint32_t offset, void* buffer, uint32_t bytes) {
  const VxMemory* m = (const VxMemory*)context;
  if (offset >= m->size) return 0;
  if (bytes > m->size - offset) bytes = m->size - offset;
  memcpy(buffer, m->data + offset, bytes);
  return bytes;
}

/* One chunk of the 'movi' list: where its data starts and how long it is. */
typedef struct VxChunk {
  uint32_t offset, size;
  uint32_t frame; /* video: key frame flag; palette change: the frame it precedes */
} VxChunk;

/* A growable array of chunks (the guest C library has no realloc). */
typedef struct VxChunkList {
  VxChunk* items;
  uint32_t count, capacity;
} VxChunkList;

/* The largest frame accepted, in pixels each way. */
#define VX_MAX_SIDE 2048
/* Cinepak frames carry at most this many strips with codebooks of their own. */
#define VX_CINEPAK_STRIPS 32

typedef enum { VX_PIC_RGB24, VX_PIC_RGB555, VX_PIC_PAL8 } VxPictureKind;

typedef struct VxCinepakStrip {
  uint8_t v1[256][12], v4[256][12]; /* four RGB pixels per entry */
  /* Each V1 entry's two block rows, pixels doubled: what a V1 block writes. */
  uint8_t v1_rows[256][24];
} VxCinepakStrip;
_Static_assert(sizeof(VxCinepakStrip) % 4 == 0, "codebooks are copied in words");

typedef struct VxMovie {
  VxSource source;
  VxInfo info;
  uint32_t codec;        /* VX_CODEC_* */
  VxChunkList video;     /* one per frame; frame = 1 for key frames */
  VxChunkList audio;     /* the sound stream's chunks in order */
  VxChunkList palettes;  /* palette changes of the video stream */
  uint8_t base_palette[256][4], palette[256][4]; /* blue, green, red, 0 */
  /* The decoded picture, in the codec's own form, padded to whole blocks. */
  VxPictureKind picture_kind;
  uint8_t* picture;
  uint32_t picture_stride, picture_width, picture_height;
  int32_t decoded; /* the frame the picture holds, -1 for none */
  uint32_t next;   /* the frame VxDecodeNext gives */
  uint8_t* chunk_buffer;
  uint32_t chunk_capacity;
  VxCinepakStrip* strips;
} VxMovie;

#define VX_CODEC_CINEPAK 1
#define VX_CODEC_MSVC 2

/* AVI container (vx_avi.c). */
int vx_open(const VxSource* source, VxMovie** movie);
void vx_close(VxMovie* movie);
int vx_chunk_append(VxChunkList* list, uint32_t offset, uint32_t size, uint32_t frame);

/* Decoding (vx_decode.c): brings the picture to `frame`. */
int vx_decode(VxMovie* movie, uint32_t frame);
int vx_decode_frame(VxMovie* movie, uint32_t frame, void* bits, uint32_t bytes, int32_t pitch, uint32_t format);
int vx_read_audio(VxMovie* movie, uint32_t offset, void* buffer, uint32_t bytes, uint32_t* done);
void vx_output_palette(const VxMovie* movie, uint8_t colours[256][4]);

/* Codecs: each decodes one frame's data onto the picture. */
int vx_cinepak_frame(VxCinepakStrip* strips, const uint8_t* data, uint32_t size, uint8_t* picture, uint32_t stride,
                     uint32_t width, uint32_t height);
int vx_msvc_frame16(const uint8_t* data, uint32_t size, uint8_t* picture, uint32_t stride, uint32_t width,
                    uint32_t height);
int vx_msvc_frame8(const uint8_t* data, uint32_t size, uint8_t* picture, uint32_t stride, uint32_t width,
                   uint32_t height);

/* Pixel conversion (vx_convert.c): the picture into a caller's buffer. */
int vx_check_output(const VxMovie* movie, const void* bits, uint32_t bytes, int32_t pitch, uint32_t format);
int vx_convert(const VxMovie* movie, void* bits, uint32_t bytes, int32_t pitch, uint32_t format);
uint32_t vx_format_bytes(uint32_t format);

#endif
