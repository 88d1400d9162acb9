/* The benchmark's work, compiled for the guest (translated) and natively:
   table-driven CRC-32, Adler-32 and a run-length and match scan over a
   4 MiB buffer, several passes. */
#include "kernel.h"

#define SIZE (4u << 20)

static unsigned char data[SIZE];
static unsigned crc_table[256];

#ifdef _WIN32
__attribute__((dllexport))
#endif
unsigned bench_result;

static void make_table(void) {
  for (unsigned i = 0; i < 256; i++) {
    unsigned c = i;
    for (int k = 0; k < 8; k++) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    crc_table[i] = c;
  }
}

static unsigned crc32(const unsigned char* p, unsigned n) {
  unsigned c = 0xFFFFFFFFu;
  while (n--) c = crc_table[(c ^ *p++) & 0xFF] ^ (c >> 8);
  return ~c;
}

static unsigned adler32(const unsigned char* p, unsigned n) {
  unsigned a = 1, b = 0;
  while (n) {
    unsigned block = n < 5552 ? n : 5552;
    n -= block;
    while (block--) {
      a += *p++;
      b += a;
    }
    a %= 65521;
    b %= 65521;
  }
  return b << 16 | a;
}

/* Counts runs and 4-byte matches against a small hash of earlier positions,
   the inner loop of a simple compressor. */
static unsigned scan(const unsigned char* p, unsigned n) {
  static unsigned last[4096];
  unsigned runs = 0, matches = 0;
  for (unsigned i = 0; i < 4096; i++) last[i] = 0;
  for (unsigned i = 1; i + 4 < n; i++) {
    if (p[i] == p[i - 1]) runs++;
    unsigned word = p[i] | p[i + 1] << 8 | p[i + 2] << 16 | (unsigned)p[i + 3] << 24;
    unsigned h = (word * 2654435761u) >> 20;
    unsigned prev = last[h];
    if (prev && p[prev] == p[i] && p[prev + 1] == p[i + 1] && p[prev + 2] == p[i + 2]) matches++;
    last[h] = i;
  }
  return runs * 31 + matches;
}

unsigned bench_run(void) {
  unsigned x = 0x12345678;
  for (unsigned i = 0; i < SIZE; i++) {
    x = x * 1103515245u + 12345u;
    data[i] = (unsigned char)((x >> 16) & ((i & 0x1000) ? 0x0F : 0xFF));
  }
  make_table();
  unsigned h = 0;
  for (int pass = 0; pass < 8; pass++) {
    data[pass * 977] ^= 0x55;
    h = h * 31 + crc32(data, SIZE);
    h = h * 31 + adler32(data, SIZE);
    h = h * 31 + scan(data, SIZE);
  }
  bench_result = h;
  return h;
}

#ifdef _WIN32
int __attribute__((stdcall)) WinMain(void* instance, void* previous, char* command_line, int show) {
  return (int)bench_run();
}
#endif
