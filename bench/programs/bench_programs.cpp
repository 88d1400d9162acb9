// Realistic guest programs run natively and as the translated module
// TRPROGS.em.dll in one process; prints each time, each ratio translated /
// native and their geometric mean.
#include <dlfcn.h>

#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "programs.h"
#include "translated_bench.h"

namespace {

struct Program {
  const char* name;
  unsigned (*native)(unsigned);
  unsigned rounds;
};

const Program kPrograms[] = {
    {"prog_interp", prog_interp, 200},     {"prog_sort", prog_sort, 40},       {"prog_parse", prog_parse, 3000},
    {"prog_dispatch", prog_dispatch, 1600}, {"prog_raster", prog_raster, 800}, {"prog_physics", prog_physics, 200},
};

u32 export_address(const ModuleInfo* mi, const char* name) {
  for (const ExportEntry* e = mi->Exports; e->Name; e++)
    if (e->Name >= 0x10000 && !strcmp(reinterpret_cast<const char*>(e->Name), name)) return e->Address;
  return 0;
}

// A cdecl call of the guest function at `address` with one argument.
unsigned call_guest(ModuleInfo* mi, u32 address, unsigned arg) {
  Env env;
  InitEnv(&env, mi);
  u32 esp = env.ESP - 64;
  const u32 words[2] = {RETURN_SENTINEL, arg};
  memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(esp)), words, sizeof words);
  env.ESP = esp;
  env.EIP = address;
  mi->Dispatch(&env, mi);
  return env.EAX;
}

}  // namespace

int main(int argc, char** argv) {
  // [module] [scale] [program]: another build of the module, rounds
  // scaled, one program only (for a profiler).
  const char* path = argc > 1 ? argv[1] : BENCH_MODULE;
  const double scale = argc > 2 ? atof(argv[2]) : 1.0;
  const char* only = argc > 3 ? argv[3] : nullptr;
  TranslatedModule module;
  if (!bench_load(path, &module)) return 2;
  module.entry(0);  // builds the guest image; WinMain returns at once
  ModuleInfo* mi = module.info();

  int status = 0;
  double log_sum = 0;
  printf("%-14s %9s %9s %7s\n", "program", "native", "transl.", "ratio");
  int count = 0;
  for (const Program& p : kPrograms) {
    if (only && strcmp(only, p.name + 5) != 0) continue;
    count++;
    const unsigned rounds = static_cast<unsigned>(p.rounds * scale) + 1;
    const u32 address = export_address(mi, p.name);
    double native = 1e9, translated = 1e9;
    unsigned expected = 0, got = 0;
    // Best of three each, alternating.
    for (int i = 0; i < 3; i++) {
      double t = bench_thread_seconds();
      expected = p.native(rounds);
      native = std::fmin(native, (bench_thread_seconds() - t));
      t = bench_thread_seconds();
      got = call_guest(mi, address, rounds);
      translated = std::fmin(translated, (bench_thread_seconds() - t));
    }
    const double ratio = translated / native;
    log_sum += std::log(ratio);
    printf("%-14s %8.3fs %8.3fs %7.2f%s\n", p.name + 5, native, translated, ratio,
           got == expected ? "" : "  DIGEST MISMATCH");
    if (got != expected) status = 1;
  }
  if (count == 0) {
    fprintf(stderr, "bench_programs: no program named %s\n", only);
    return 2;
  }
  printf("geometric mean of ratios: %.2f\n", std::exp(log_sum / count));
  return status;
}
