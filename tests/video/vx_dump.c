/* The video library's decoder built natively: writes every frame of a
   movie in the given output formats, one after the other, for the oracle
   comparison (tests/video/oracle.py), or a one-line error.
   Usage: vx_dump MOVIE OUT FORMAT... (FORMAT: 8, 555, 565, 24, with "b" for
   bottom-up, e.g. 24b); the palette of 8-bit output follows each 8-bit frame. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vx_core.h"

static uint32_t file_read(void* context, uint32_t offset, void* buffer, uint32_t bytes) {
  FILE* f = (FILE*)context;
  if (fseek(f, (long)offset, SEEK_SET) != 0) return 0;
  return (uint32_t)fread(buffer, 1, bytes, f);
}

static uint32_t parse_format(const char* text) {
  uint32_t format = atoi(text) == 8 ? VX_FORMAT_8 : atoi(text) == 555 ? VX_FORMAT_555
                  : atoi(text) == 565 ? VX_FORMAT_565 : atoi(text) == 24 ? VX_FORMAT_24 : 0;
  if (strchr(text, 'b')) format |= VX_BOTTOM_UP;
  return format;
}

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: vx_dump MOVIE OUT FORMAT...\n");
    return 2;
  }
  FILE* in = fopen(argv[1], "rb");
  if (!in) return 2;
  fseek(in, 0, SEEK_END);
  VxSource source = {in, file_read, (uint32_t)ftell(in)};
  VxMovie* movie = 0;
  int r = vx_open(&source, &movie);
  if (r) {
    printf("error %d\n", r);
    fflush(stdout);
    return 1;
  }
  FILE* out = fopen(argv[2], "wb");
  const VxInfo* info = &movie->info;
  printf("%u %u %u %u/%u %u %u %u %u\n", info->width, info->height, info->frames, info->rate, info->scale,
         info->audio_channels, info->audio_rate, info->audio_bits, info->audio_bytes);
  fflush(stdout);
  for (int a = 3; a < argc; a++) {
    uint32_t format = parse_format(argv[a]), depth = vx_format_bytes(format);
    /* A pitch wider than a row, so that rows land where the pitch says. */
    uint32_t pitch = info->width * depth + 7, bytes = pitch * info->height;
    uint8_t* bits = (uint8_t*)malloc(bytes);
    for (uint32_t f = 0; f < info->frames; f++) {
      r = vx_decode_frame(movie, f, bits, bytes, (int32_t)pitch, format);
      if (r) {
        printf("frame %u: error %d\n", f, r);
        fflush(stdout);
        return 1;
      }
      for (uint32_t y = 0; y < info->height; y++) fwrite(bits + y * pitch, 1, info->width * depth, out);
      if ((format & 0xFF) == VX_FORMAT_8) {
        uint8_t colours[256][4];
        vx_output_palette(movie, colours);
        fwrite(colours, 1, sizeof colours, out);
      }
    }
    free(bits);
  }
  uint8_t* sound = (uint8_t*)malloc(info->audio_bytes + 1);
  uint32_t got = 0;
  if (info->audio_bytes) vx_read_audio(movie, 0, sound, info->audio_bytes, &got);
  fwrite(sound, 1, got, out);
  free(sound);
  fclose(out);
  vx_close(movie);
  fclose(in);
  return 0;
}
