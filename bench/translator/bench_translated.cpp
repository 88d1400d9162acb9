// The same C work run natively and as a translated module, in one process,
// on the same machine; prints both times and the ratio translated / native.
#include <dlfcn.h>

#include <ctime>
#include <cstdio>

#include "kernel.h"
#include "trevik.h"

namespace {

// CPU time of this thread: on a machine shared with other work, wall time
// measures the other work as much as this.
double thread_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
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
    double t = thread_seconds();
    expected = bench_run();
    double s = (thread_seconds() - t);
    if (s < native) native = s;
    // The first translated run builds the guest image too; the later ones
    // only run the guest's WinMain again, as EntryPoint does.
    t = thread_seconds();
    if (i == 0) {
      got = static_cast<unsigned>(entry(0));
    } else {
      ModuleInfo* mi = info();
      Env env;
      InitEnv(&env, mi);
      got = static_cast<unsigned>(mi->Dispatch(&env, mi));
    }
    s = (thread_seconds() - t);
    if (s < translated) translated = s;
  }
  printf("native:     %.3f s (digest %08X)\n", native, expected);
  printf("translated: %.3f s (digest %08X)\n", translated, got);
  printf("ratio translated/native: %.2f\n", translated / native);
  return got == expected ? 0 : 1;
}
