// Kernel services, modules: the guest's view of a library is
// its translated (or native) .em module; a guest module handle is the
// device's handle of the .em DLL.
#include <cstdio>
#include <cstring>

#include "handler.h"
#include "wce/kernel.h"
#include "wce/sysinfo.h"
#include "zentrix.h"

using services::pass_through;

namespace {

typedef int (*EntryPointFn)();

// LoadLibraryA(lpLibFileName): X.dll names the module X.em.dll, loaded and
// entered (which registers it) unless it is registered already.
void load_library(Env* env) {
  const char* name = arg_as<const char*>(env, 1);
  u32 result = 0;
  ModuleInfo* registered = FindModuleByNameA(name);
  char copy[260];
  snprintf(copy, sizeof copy, "%s", name ? name : "");
  char* dot = strrchr(copy, '.');
  if (dot) {
    *dot = 0;
    WCHAR wide[260];
    size_t length = 0;
    bool fits = true;
    auto append = [&](const char* text) {
      for (; *text && fits; text++) {
        fits = length + 1 < sizeof wide / sizeof wide[0];
        if (fits) wide[length++] = static_cast<unsigned char>(*text);
      }
    };
    append(copy);
    append(".em.");
    append(dot + 1);
    wide[length] = 0;
    if (fits) {
      if (registered) {
        result = guest_addr(GetModuleHandleW(wide));
      } else if (HMODULE module = LoadLibraryW(wide)) {
        if (auto entry = reinterpret_cast<EntryPointFn>(GetProcAddressA(module, "EntryPoint"))) {
          entry();
          result = guest_addr(GetModuleHandleW(wide));
        }
      }
    }
  }
  guest_return_value(env, result, 1);
}

// GetProcAddress(hModule, lpProcName): the registered module behind the
// handle, and its export of that name (or, for a value below 0x10000, of
// that ordinal).
void get_proc_address(Env* env) {
  HMODULE handle = arg_as<HMODULE>(env, 1);
  u32 wanted = arg(env, 2);
  u32 result = 0;
  char path[1024] = {0};
  ModuleInfo* module = nullptr;
  if (GetModuleFileNameA(handle, path, sizeof path) != 0) module = FindModuleByNameA(path);
  for (const ExportEntry* e = module ? module->Exports : nullptr; e && e->Name; e++) {
    bool by_name = e->Name >= 0x10000 && wanted >= 0x10000;
    if ((by_name && strcmp(reinterpret_cast<const char*>(static_cast<uintptr_t>(e->Name)),
                           reinterpret_cast<const char*>(static_cast<uintptr_t>(wanted))) == 0) ||
        (wanted < 0x10000 && e->Name == wanted)) {
      result = e->Address;
      break;
    }
  }
  guest_return_value(env, result, 2);
}

}  // namespace

extern const ApiEntry kKernelModuleApis[] = {
    {"LoadLibraryA", load_library},
    {"GetProcAddress", get_proc_address},
    {"GetModuleHandleA", pass_through<GetModuleHandleA>},
    {"GetModuleFileNameA", pass_through<GetModuleFileNameA>},
    {"DisableThreadLibraryCalls", pass_through<DisableThreadLibraryCalls>},
    {nullptr, nullptr},
};
