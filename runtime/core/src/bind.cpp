// Import binding: every import slot of a module gets an export of another
// .em module (loaded and entered on demand, depth first) or a tagged
// handler from the API table.
#include <cstdio>
#include <cstring>
#include <string>

#include "api_lookup.h"
#include "trevik.h"
#include "wce/kernel.h"
#include "wce/wstr.h"

typedef int (*EntryPointFn)(int);

static ModuleInfo* LoadEmModule(const char* dllName) {
  if (ModuleInfo* m = FindModuleByNameA(dllName)) return m;
  char name[260];
  snprintf(name, sizeof name, "%s", dllName);
  char* dot = strrchr(name, '.');
  if (!dot) return nullptr;
  *dot = 0;
  // The host file: stem, ".em.", extension (PLINTH32.dll -> PLINTH32.em.dll).
  std::string file = std::string(name) + ".em." + (dot + 1);
  if (file.size() >= 260) return nullptr;
  HMODULE module = LoadLibraryW(utf8_to_wstr(file.c_str()).c_str());
  DWORD error = GetLastError();
  if (!module) {
    log_printf("Cannot load DLL '%s', Err %x\n", file.c_str(), error);
    return nullptr;
  }
  EntryPointFn entry = reinterpret_cast<EntryPointFn>(GetProcAddressA(module, "EntryPoint"));
  if (!entry) return nullptr;
  entry(0);
  return FindModuleByNameA(dllName);
}

static u32 FindFuncInModule(ModuleInfo* m, u32 x) {
  for (const ExportEntry* e = m->Exports; e && e->Name; e++) {
    if (x >= 0x10000) {
      if (e->Name > 0x10000 && strcmp(reinterpret_cast<const char*>(static_cast<uintptr_t>(e->Name)),
                                      reinterpret_cast<const char*>(static_cast<uintptr_t>(x))) == 0)
        return e->Address;
    } else if (e->Name == x) {
      return e->Address;
    }
  }
  if (x >= 0x10000)
    log_printf("FindFuncInModule: unknown function %s\n", reinterpret_cast<const char*>(static_cast<uintptr_t>(x)));
  else
    log_printf("FindFuncInModule: unknown ordinal %u in %s\n", x, m->Name);
  return 0;
}

extern "C" void BindImports(ModuleInfo* mi) {
  for (const ImportDesc* d = mi->Imports; d && d->DllName; d++) {
    u32* slot = reinterpret_cast<u32*>(static_cast<uintptr_t>(mi->Base + d->Iat));
    ModuleInfo* m = LoadEmModule(d->DllName);
    for (const u32* name = d->Names; *name; name++, slot++) {
      if (m) {
        *slot = FindFuncInModule(m, *name);
      } else if (*name < 0x10000) {
        // The API table knows names only; a call through this slot is
        // reported as an unresolved import.
        log_printf("FindFunc: ordinal %u of %s has no module\n", *name, d->DllName);
        *slot = NATIVE_TAG;
      } else {
        *slot = FindFunc(reinterpret_cast<const char*>(static_cast<uintptr_t>(*name))) | NATIVE_TAG;
      }
    }
  }
}
