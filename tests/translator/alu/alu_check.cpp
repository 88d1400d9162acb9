// Runs a translated random-ALU module through the runtime and compares the
// registers and flags its cases ended with against the host CPU's.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "trevik.h"

namespace {

std::vector<u32> read_words(const char* path) {
  std::vector<u32> words;
  FILE* f = fopen(path, "rb");
  if (!f) return words;
  u32 w;
  while (fread(&w, 4, 1, f) == 1) words.push_back(w);
  fclose(f);
  return words;
}

const char* const kField[8] = {"EAX", "EBX", "ECX", "EDX", "ESI", "EDI", "EBP", "EFLAGS"};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: alu_check MODULE NATIVE_RESULTS MASKS\n");
    return 2;
  }
  const std::vector<u32> expected = read_words(argv[2]), masks = read_words(argv[3]);
  if (masks.empty() || expected.size() % (masks.size() * 8)) {
    fprintf(stderr, "bad result files\n");
    return 2;
  }
  const size_t cases = masks.size(), states = expected.size() / cases / 8;
  void* module = dlopen(argv[1], RTLD_NOW);
  if (!module) {
    fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  auto entry = reinterpret_cast<int (*)(int)>(dlsym(module, "EntryPoint"));
  auto info = reinterpret_cast<ModuleInfo* (*)()>(dlsym(module, "GetModuleInfo"));
  if (!entry || !info) return 2;
  entry(0);
  const ModuleInfo* mi = info();
  u32 results = 0;
  for (const ExportEntry* e = mi->Exports; e->Name; e++)
    if (e->Name >= 0x10000 && !strcmp(reinterpret_cast<const char*>(e->Name), "alu_results")) results = e->Address;
  if (!results) {
    fprintf(stderr, "no alu_results export\n");
    return 2;
  }
  const u32* got = reinterpret_cast<const u32*>(static_cast<uintptr_t>(results));
  int failures = 0;
  for (size_t k = 0; k < cases; k++) {
    for (size_t s = 0; s < states; s++) {
      for (int i = 0; i < 8; i++) {
        const size_t at = (k * states + s) * 8 + i;
        const u32 mask = i == 7 ? masks[k] : 0xFFFFFFFFu;
        if ((got[at] & mask) != (expected[at] & mask)) {
          if (failures++ < 8)
            printf("case %zu state %zu %s: expected %08X got %08X (compared bits %08X)\n", k, s, kField[i],
                   expected[at], got[at], mask);
        }
      }
    }
  }
  if (failures) printf("%d mismatches\n", failures);
  return failures ? 1 : 0;
}
