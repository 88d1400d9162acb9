// The same C work run natively and as a translated module, in one process,
// on the same machine; prints both times and the ratio translated / native.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>

#include "kernel.h"
#include "trevik.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : BENCH_MODULE;
  void* h = dlopen(path, RTLD_NOW);
  if (!h) {
    fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  auto entry = reinterpret_cast<int (*)(int)>(dlsym(h, "EntryPoint"));
  auto info = reinterpret_cast<ModuleInfo* (*)()>(dlsym(h, "GetModuleInfo"));

  // Best of three for each, the native run first to warm the caches alike.
  double native = 1e9, translated = 1e9;
  unsigned expected = 0, got = 0;
  for (int i = 0; i < 3; i++) {
    auto t = std::chrono::steady_clock::now();
    expected = bench_run();
    double s = seconds_since(t);
    if (s < native) native = s;
    // The first translated run builds the guest image too; the later ones
    // only run the guest's WinMain again, as EntryPoint does.
    t = std::chrono::steady_clock::now();
    if (i == 0) {
      got = static_cast<unsigned>(entry(0));
    } else {
      ModuleInfo* mi = info();
      Env env;
      InitEnv(&env, mi);
      got = static_cast<unsigned>(mi->Dispatch(&env, mi));
    }
    s = seconds_since(t);
    if (s < translated) translated = s;
  }
  printf("native:     %.3f s (digest %08X)\n", native, expected);
  printf("translated: %.3f s (digest %08X)\n", translated, got);
  printf("ratio translated/native: %.2f\n", translated / native);
  return got == expected ? 0 : 1;
}
