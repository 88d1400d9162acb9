// The module registry: registration (with the guest image built first) and
// look-up by address and by name.
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "image.h"
#include "trevik.h"

ModuleTableT ModuleTable;

extern "C" int InitModule(ModuleInfo* mi, HMODULE handle, int native) {
  if (ModuleTable.Count >= MODULE_TABLE_SIZE) return 0;
  mi->Handle = handle;
  if (!native) build_guest_image(mi);
  // The pointer goes in before the count grows, so a reader on another
  // thread sees the old count or a complete new slot.
  ModuleTable.Slots[ModuleTable.Count] = mi;
  __atomic_store_n(&ModuleTable.Count, ModuleTable.Count + 1, __ATOMIC_RELEASE);
  if (!native) BindImports(mi);
  log_printf("Module: '%s', Base: %08X, Len: %08X, Fixup: %08X\n", mi->Name, mi->Base, mi->Len, mi->Fixup);
  return 1;
}

extern "C" ModuleInfo* FindModule(u32 address) {
  u32 count = __atomic_load_n(&ModuleTable.Count, __ATOMIC_ACQUIRE);
  for (u32 i = 0; i < count; i++) {
    ModuleInfo* m = ModuleTable.Slots[i];
    if (address - m->Base < m->Len) return m;
  }
  return nullptr;
}

extern "C" ModuleInfo* FindModuleByNameA(const char* name) {
  u32 count = __atomic_load_n(&ModuleTable.Count, __ATOMIC_ACQUIRE);
  if (!name || !*name) return count ? ModuleTable.Slots[0] : nullptr;
  char* copy = strdup(name);
  if (!copy) return nullptr;
  char* stem = strrchr(copy, '\\');
  stem = stem ? stem + 1 : copy;
  if (char* dot = strchr(stem, '.')) *dot = 0;
  // The last registered module of that name wins.
  ModuleInfo* found = nullptr;
  for (u32 i = 0; i < count; i++)
    if (strcasecmp(ModuleTable.Slots[i]->Name, stem) == 0) found = ModuleTable.Slots[i];
  free(copy);
  return found;
}
