/* Mutated movies through every path of the reader and decoders: open,
   every frame (a few, for huge pictures) in every output format into
   buffers of exactly the size asked for, frames out of order, the sound.
   Any write past a buffer is caught by its guard bytes here, and by
   AddressSanitizer in the host build (fuzz.sh); a hang ends in SIGALRM.
   Usage: vx_fuzz SEED_MOVIE ITERATIONS SEED [CURRENT_FILE]
   (CURRENT_FILE receives each mutant before it runs, so that a crash
   leaves it behind). */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "vx_core.h"

#define GUARD 32

static uint32_t state;
static uint32_t next_random(void) {
  state ^= state << 13, state ^= state >> 17, state ^= state << 5;
  return state;
}

static void mutate(uint8_t* data, uint32_t* size, uint32_t capacity) {
  static const uint32_t words[] = {0, 1, 3, 0x7F, 0x80, 0xFF, 0x100, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000u,
                                   0xFFFFFFFFu, 0xFFFFFFF8u, 4096, 2049};
  int steps = 1 + (int)(next_random() % 6);
  for (int s = 0; s < steps && *size > 4; s++) {
    uint32_t at = next_random() % *size;
    switch (next_random() % 5) {
      case 0:
        data[at] ^= (uint8_t)(1u << (next_random() % 8));
        break;
      case 1:
        data[at] = (uint8_t)next_random();
        break;
      case 2: { /* an interesting word: sizes, counts, dimensions */
        uint32_t w = words[next_random() % (sizeof words / sizeof words[0])];
        if (at + 4 <= *size) memcpy(data + at, &w, 4);
        break;
      }
      case 3:
        *size = at + 1; /* truncation */
        break;
      default: { /* a copied run */
        uint32_t from = next_random() % *size, n = next_random() % 64;
        if (from + n <= *size && at + n <= capacity) {
          memmove(data + at, data + from, n);
          if (at + n > *size) *size = at + n;
        }
      }
    }
  }
}

static int check_guard(const uint8_t* p) {
  for (int i = 0; i < GUARD; i++)
    if (p[i] != 0xA5) return 0;
  return 1;
}

static const uint32_t formats[] = {VX_FORMAT_8, VX_FORMAT_555 | VX_BOTTOM_UP, VX_FORMAT_565, VX_FORMAT_24,
                                   VX_FORMAT_24 | VX_BOTTOM_UP};

static void run(const uint8_t* data, uint32_t size) {
  VxMemory memory = {data, size};
  VxSource source = {&memory, vx_memory_read, size};
  VxMovie* movie = 0;
  if (vx_open(&source, &movie) != VX_OK) return;
  const VxInfo* info = &movie->info;
  /* Large pictures get fewer frames, to keep each mutant quick. */
  uint32_t pixels = info->width * info->height, frames = pixels > 100000 ? 2 : 12;
  for (uint32_t k = 0; k < sizeof formats / sizeof formats[0]; k++) {
    uint32_t depth = vx_format_bytes(formats[k]), pitch = info->width * depth + (k & 1) * 3;
    uint32_t bytes = pitch * (info->height - 1) + info->width * depth;
    uint8_t* bits = (uint8_t*)malloc(bytes + GUARD);
    memset(bits + bytes, 0xA5, GUARD);
    for (uint32_t n = 0; n < frames + 2; n++) {
      uint32_t f = n < frames ? n : next_random() % (info->frames + 2);
      vx_decode_frame(movie, f, bits, bytes, (int32_t)pitch, formats[k]);
      if (!check_guard(bits + bytes)) {
        fprintf(stderr, "write past the output buffer (format %u)\n", formats[k]);
        abort();
      }
    }
    /* One byte short is refused before anything is written. */
    if (vx_decode_frame(movie, 0, bits, bytes - 1, (int32_t)pitch, formats[k]) != VX_ERR_BUFFER) {
      fprintf(stderr, "a short buffer was not refused\n");
      abort();
    }
    free(bits);
  }
  uint8_t sound[4096 + GUARD];
  memset(sound + 4096, 0xA5, GUARD);
  uint32_t done = 0;
  vx_read_audio(movie, next_random() % (info->audio_bytes + 1), sound, 4096, &done);
  if (done > 4096 || !check_guard(sound + 4096)) abort();
  vx_close(movie);
}

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: vx_fuzz SEED_MOVIE ITERATIONS SEED [CURRENT_FILE]\n");
    return 2;
  }
  FILE* f = fopen(argv[1], "rb");
  if (!f) return 2;
  static uint8_t seed[1 << 22], mutant[1 << 22];
  uint32_t seed_size = (uint32_t)fread(seed, 1, sizeof seed, f);
  fclose(f);
  long iterations = atol(argv[2]);
  state = (uint32_t)atol(argv[3]) * 2654435761u + 1;
  for (long i = 0; i < iterations; i++) {
    uint32_t size = seed_size;
    memcpy(mutant, seed, size);
    if (i > 0) mutate(mutant, &size, sizeof mutant); /* the seed itself first */
    if (argc > 4) {
      FILE* out = fopen(argv[4], "wb");
      if (out) fwrite(mutant, 1, size, out), fclose(out);
    }
    alarm(20); /* a mutant that takes this long hangs */
    run(mutant, size);
  }
  alarm(0);
  printf("%ld mutants, no fault\n", iterations);
  return 0;
}
