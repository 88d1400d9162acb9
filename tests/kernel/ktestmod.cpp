// KTESTMOD.em.dll: a tiny native .em module for the module handlers. Its
// "guest image" is a static block; it exports one name and one ordinal and
// counts how often its EntryPoint ran.
#include <dlfcn.h>

#include "trevik.h"

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

alignas(4096) uint8_t g_image[0x1000];
ExportEntry g_exports[3];
ImportDesc g_no_imports[1] = {{nullptr, nullptr, 0}};
ModuleInfo g_info;
int g_entry_calls;

int no_dispatch(Env* env, ModuleInfo*) { return static_cast<int>(env->EAX); }

HMODULE own_handle() {
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&own_handle), &info)) return nullptr;
  return static_cast<HMODULE>(info.dli_fbase);
}

}  // namespace

MODULE_EXPORT ModuleInfo* GetModuleInfo() { return &g_info; }

MODULE_EXPORT int EntryPoint() {
  g_entry_calls++;
  u32 base = static_cast<u32>(reinterpret_cast<uintptr_t>(g_image));
  g_exports[0] = {static_cast<u32>(reinterpret_cast<uintptr_t>("KTestExport")), base + 0x10};
  g_exports[1] = {7, base + 0x20};
  g_exports[2] = {0, 0};
  g_info.Base = base;
  g_info.Len = sizeof g_image;
  g_info.Name = "KTESTMOD";
  g_info.Imports = g_no_imports;
  g_info.Exports = g_exports;
  g_info.Dispatch = no_dispatch;
  InitModule(&g_info, own_handle(), 1);
  return 1;
}

MODULE_EXPORT int KTestEntryCalls() { return g_entry_calls; }
