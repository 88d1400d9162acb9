// The same C work run natively and as a translated module, in one process,
// on the same machine; prints both times and the ratio translated / native.
#include <cstdio>

#include "kernel.h"
#include "translated_bench.h"


int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : BENCH_MODULE;
  TranslatedModule module;
  if (!bench_load(path, &module)) return 2;

  // Best of three for each, the native run first to warm the caches alike.
  double native = 1e9, translated = 1e9;
  unsigned expected = 0, got = 0;
  for (int i = 0; i < 3; i++) {
    double t = bench_thread_seconds();
    expected = bench_run();
    double s = (bench_thread_seconds() - t);
    if (s < native) native = s;
    t = bench_thread_seconds();
    got = bench_run_guest(module, i == 0);
    s = (bench_thread_seconds() - t);
    if (s < translated) translated = s;
  }
  printf("native:     %.3f s (digest %08X)\n", native, expected);
  printf("translated: %.3f s (digest %08X)\n", translated, got);
  printf("ratio translated/native: %.2f\n", translated / native);
  return got == expected ? 0 : 1;
}
