// The API table: every emulated Win32 function by its import name. Rows
// are searched in order and the first equal name wins.
#include <cstring>

#include "api_lookup.h"
#include "handler.h"

// The families' row lists, searched in this order.
static const ApiEntry* const kFamilies[] = {kStubApis, kSerialApis, kRegistryApis, kLocaleApis, kStringApis, kKernelFileApis, kKernelMemoryApis, kKernelThreadApis, kKernelProcessApis, kKernelTimeApis, kKernelModuleApis, kMultimediaApis, kGraphicsApis, kTimerApis, kWindowApis, kWindowClassApis, kDialogApis, kMenuInputApis, kShellApis};

u32 FindFunc(const char* name) {
  for (const ApiEntry* family : kFamilies)
    for (const ApiEntry* e = family; e->ApiName; e++)
      if (strcmp(e->ApiName, name) == 0) return static_cast<u32>(reinterpret_cast<uintptr_t>(e->Handler));
  log_printf("FindFunc: unknown function %s\n", name);
  return 0;
}
