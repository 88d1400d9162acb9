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

_Static_assert(sizeof(VxInfo) == 48, "VxInfo is a fixed record");

typedef struct VxMovie* HVXMOVIE;

/* Opens a movie (an ANSI path; a relative one names a file in the game's
   folder). */
int VXAPI VxOpenMovie(const char* path, HVXMOVIE* movie);
int VXAPI VxCloseMovie(HVXMOVIE movie);
/* Fills *info; info->size must be set to sizeof(VxInfo) first. */
int VXAPI VxGetInfo(HVXMOVIE movie, VxInfo* info);
/* Decodes frame `frame` into `bits` (`bytes` long, rows `pitch` bytes
   apart) in `format`. Any frame may be asked for; the library decodes
   from the key frame before it when it must. */
int VXAPI VxDecodeFrame(HVXMOVIE movie, uint32_t frame, void* bits, uint32_t bytes, int32_t pitch, uint32_t format);
/* The frame after the last one decoded (or sought); *frame receives its
   number. VX_ERR_END after the last. */
int VXAPI VxDecodeNext(HVXMOVIE movie, void* bits, uint32_t bytes, int32_t pitch, uint32_t format, uint32_t* frame);
int VXAPI VxSeek(HVXMOVIE movie, uint32_t frame);
/* The 256 colours (blue, green, red, 0) of 8-bit output for the frame
   decoded last: the movie's own palette, or the 3-3-2 one. */
int VXAPI VxGetPalette(HVXMOVIE movie, uint8_t colours[256][4]);
/* The sound stream's PCM bytes from `offset`; *done receives the count. */
int VXAPI VxReadAudio(HVXMOVIE movie, uint32_t offset, void* buffer, uint32_t bytes, uint32_t* done);
/* Plays the whole movie with its sound at (x, y) of a window (0: the
   screen), of a DirectDraw surface (locked and written; shown with a Blt
   of the surface onto itself), or through a WinG bitmap at least as large
   as the movie, blitted to `dest`. Flags: VX_PLAY_*. */
int VXAPI VxPlayWindow(HVXMOVIE movie, void* window, int x, int y, uint32_t flags);
int VXAPI VxPlaySurface(HVXMOVIE movie, void* surface, int x, int y, uint32_t flags);
int VXAPI VxPlayWinG(HVXMOVIE movie, void* dest, void* wing_dc, void* wing_bitmap, int x, int y, uint32_t flags);
/* A sentence saying what a result means. */
const char* VXAPI VxErrorText(int result);

#endif
