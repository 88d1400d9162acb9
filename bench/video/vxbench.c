/* The benchmark's work: every frame of a movie held in memory decoded and
   converted to 16-bit 5-6-5, several passes; the digest covers every output
   byte. Built natively and as the translated module VXBENCH (whose WinMain
   reads \bench.avi of the device root and returns the digest). */
#include <stdlib.h>
#include <string.h>

#include "vx_core.h"
#include "vxbench.h"

unsigned vxbench_run(const uint8_t* movie, uint32_t size, uint32_t passes, uint32_t* frames) {
  VxMemory memory = {movie, size};
  VxSource source = {&memory, vx_memory_read, size};
  unsigned digest = 2166136261u;
  *frames = 0;
  for (uint32_t p = 0; p < passes; p++) {
    VxMovie* m = 0;
    if (vx_open(&source, &m) != VX_OK) return 0;
    uint32_t pitch = m->info.width * 2, bytes = pitch * m->info.height;
    uint8_t* bits = (uint8_t*)malloc(bytes);
    for (uint32_t f = 0; f < m->info.frames; f++) {
      if (vx_decode_frame(m, f, bits, bytes, (int32_t)pitch, VX_FORMAT_565) != VX_OK) return 0;
      for (uint32_t i = 0; i < bytes; i += 61) digest = (digest ^ bits[i]) * 16777619u;
      ++*frames;
    }
    free(bits);
    vx_close(m);
  }
  return digest;
}

#ifdef _WIN32
#include <win32.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  (void)instance, (void)previous, (void)command_line, (void)show;
  HANDLE file = CreateFileA("\\bench.avi", GENERIC_READ, 1, 0, OPEN_EXISTING, 0, 0);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD size = GetFileSize(file, 0), done = 0;
  uint8_t* movie = (uint8_t*)malloc(size);
  if (!movie || !ReadFile(file, movie, size, &done, 0) || done != size) return 2;
  CloseHandle(file);
  uint32_t frames = 0;
  unsigned digest = vxbench_run(movie, size, VXBENCH_PASSES, &frames);
  free(movie);
  return (int)digest;
}
#endif
