// Cinepak decoding natively and translated, in one process: the same C
// (vxbench.c over the library's decoder) built with gcc -m32 -O2 and as the
// translated module VXBENCH.em.dll. Prints the cost per frame of each and
// the ratio. Usage: bench_video MOVIE (a Cinepak AVI; bench/video/run.sh
// makes a 320x240 one with ffmpeg).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "translated_bench.h"
#include "vxbench.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: bench_video MOVIE (also copied to \\bench.avi of DEVICE_ROOT)\n");
    return 2;
  }
  FILE* f = fopen(argv[1], "rb");
  if (!f) return 2;
  std::vector<uint8_t> movie;
  for (int c; (c = fgetc(f)) != EOF;) movie.push_back(static_cast<uint8_t>(c));
  fclose(f);
  TranslatedModule module;
  if (!bench_load(argc > 2 ? argv[2] : BENCH_MODULE, &module)) return 2;

  double native = 1e9, translated = 1e9;
  unsigned expected = 0, got = 0;
  uint32_t frames = 0;
  for (int i = 0; i < 3; i++) {
    auto t = std::chrono::steady_clock::now();
    expected = vxbench_run(movie.data(), static_cast<uint32_t>(movie.size()), VXBENCH_PASSES, &frames);
    double s = seconds_since(t);
    if (s < native) native = s;
    t = std::chrono::steady_clock::now();
    got = bench_run_guest(module, i == 0);
    s = seconds_since(t);
    if (s < translated) translated = s;
  }
  printf("frames decoded per run: %u\n", frames);
  printf("native:     %.3f ms per frame (digest %08X)\n", native * 1000 / frames, expected);
  printf("translated: %.3f ms per frame (digest %08X)\n", translated * 1000 / frames, got);
  printf("ratio translated/native: %.2f\n", translated / native);
  return got == expected ? 0 : 1;
}
