// The x87 physics loop natively and as a translated module (every x87
// instruction a direct call of the software x87), in one process: best of
// seven each (the machine is shared), and the ratio translated / native.

#include <chrono>
#include <cstdio>

#include "translated_bench.h"

extern "C" unsigned physics_run(void);

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : PHYSICS_MODULE;
  TranslatedModule module;
  if (!bench_load(path, &module)) return 2;
  double native = 1e9, translated = 1e9;
  unsigned native_digest = 0, translated_digest = 0;
  for (int i = 0; i < 7; i++) {
    auto t = std::chrono::steady_clock::now();
    native_digest = physics_run();
    double s = seconds_since(t);
    if (s < native) native = s;
    t = std::chrono::steady_clock::now();
    translated_digest = bench_run_guest(module, i == 0);
    s = seconds_since(t);
    if (s < translated) translated = s;
  }
  printf("native:     %.3f s (digest %u)\n", native, native_digest);
  printf("translated: %.3f s (digest %u; may differ: the software x87 truncates)\n", translated,
         translated_digest);
  printf("ratio translated/native: %.2f\n", translated / native);
  return 0;
}
