/* VEXON32: the video library's interface, for programs that call it.
   Every function is stdcall and exported by name and by ordinal (see
   vexon32.def). Results are VX_OK, VX_SKIPPED or one of the VX_ERR_*
   codes; VxErrorText gives a sentence for each. */
#ifndef VEXON32_H
#define VEXON32_H
#include <stdint.h>

#ifndef VXAPI
#if defined(_WIN32)
#define VXAPI __attribute__((stdcall))
#else
#define VXAPI
#endif
#endif

enum {
  VX_OK = 0,
  VX_SKIPPED = 1, /* playback stopped by a key or a tap, as asked */
  VX_ERR_ARGUMENT = 2,
  VX_ERR_OPEN = 3,
  VX_ERR_READ = 4,
  VX_ERR_NOT_AVI = 5,
  VX_ERR_TRUNCATED = 6,
  VX_ERR_NO_VIDEO = 7,
  VX_ERR_CODEC = 8,
  VX_ERR_DIMENSIONS = 9,
  VX_ERR_NO_FRAMES = 10,
  VX_ERR_MEMORY = 11,
  VX_ERR_FRAME = 12,
  VX_ERR_BAD_DATA = 13,
  VX_ERR_BUFFER = 14,
  VX_ERR_FORMAT = 15,
  VX_ERR_AUDIO_FORMAT = 16,
  VX_ERR_PALETTE = 17,
  VX_ERR_END = 18,
  VX_ERR_DEVICE = 19,
  VX_ERR_NO_AUDIO = 20,
  VX_RESULTS = 21
};

/* Output pixel formats; VX_BOTTOM_UP may be added to any. */
enum {
  VX_FORMAT_8 = 1,      /* palette indices: the movie's palette, or a 3-3-2 one (VxGetPalette) */
  VX_FORMAT_555 = 2,    /* 16 bits, x-5-5-5 */
  VX_FORMAT_565 = 3,    /* 16 bits, 5-6-5 */
  VX_FORMAT_24 = 4,     /* blue, green, red bytes */
  VX_BOTTOM_UP = 0x100  /* the buffer's first row is the picture's last */
};

/* Play flags. */
enum {
  VX_PLAY_SKIPPABLE = 1, /* a key or a tap ends playback (VX_SKIPPED) */
  VX_PLAY_NO_SOUND = 2   /* the sound is not played; paced by the frame rate */
};

typedef struct VxInfo {
  uint32_t size;        /* sizeof(VxInfo), set by the caller */
  uint32_t width, height;
  uint32_t frames;
  uint32_t rate, scale; /* frames per second = rate / scale */
  uint32_t codec;       /* the stream's four-character code */
  uint32_t bits;        /* bits per pixel of the coded stream */
  uint32_t audio_channels, audio_rate, audio_bits; /* 0 when the movie is silent */
  uint32_t audio_bytes;
} VxInfo;

typedef struct VxMovie* HVXMOVIE;

#endif
