// What the benchmarks that time a translated module against the same C
// built natively share: loading the module, running its guest WinMain again
// and again, and the clock they are timed by.
#pragma once

#include <dlfcn.h>

#include <cstdio>
#include <ctime>

#include "trevik.h"

struct TranslatedModule {
  int (*entry)(int);
  ModuleInfo* (*info)();
};

// Loads the module at `path`; false (with the reason printed) when it cannot.
inline bool bench_load(const char* path, TranslatedModule* m) {
  void* h = dlopen(path, RTLD_NOW);
  if (!h) {
    fprintf(stderr, "%s\n", dlerror());
    return false;
  }
  m->entry = reinterpret_cast<int (*)(int)>(dlsym(h, "EntryPoint"));
  m->info = reinterpret_cast<ModuleInfo* (*)()>(dlsym(h, "GetModuleInfo"));
  return m->entry && m->info;
}

// The guest's WinMain to its end, returning its EAX. The first run builds
// the guest image too (EntryPoint); later ones only run WinMain again, as
// EntryPoint does.
inline unsigned bench_run_guest(const TranslatedModule& m, bool first) {
  if (first) return static_cast<unsigned>(m.entry(0));
  ModuleInfo* mi = m.info();
  Env env;
  InitEnv(&env, mi);
  return static_cast<unsigned>(mi->Dispatch(&env, mi));
}

// CPU time of this thread: on a machine shared with other work, wall time
// measures the other work as much as this.
inline double bench_thread_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
