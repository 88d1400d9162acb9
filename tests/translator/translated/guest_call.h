// Loading a translated test module and calling its guest functions
// through the module's dispatcher.
#pragma once

#include <dlfcn.h>

#include <cstring>
#include <initializer_list>

#include "trevik.h"

// Loads <device>/<file>, runs its EntryPoint once and returns its descriptor.
inline ModuleInfo* load_translated(const char* file) {
  std::string path = std::string(TR_DEVICE_DIR) + "/" + file;
  void* h = dlopen(path.c_str(), RTLD_NOW);
  if (!h) return nullptr;
  auto info = reinterpret_cast<ModuleInfo* (*)()>(dlsym(h, "GetModuleInfo"));
  auto entry = reinterpret_cast<int (*)(int)>(dlsym(h, "EntryPoint"));
  ModuleInfo* mi = info();
  static ModuleInfo* entered[8];
  for (ModuleInfo* m : entered)
    if (m == mi) return mi;
  for (ModuleInfo*& m : entered)
    if (!m) {
      m = mi;
      break;
    }
  entry(0);
  return mi;
}

inline u32 export_address(const ModuleInfo* mi, const char* name) {
  for (const ExportEntry* e = mi->Exports; e->Name; e++)
    if (e->Name >= 0x10000 && !strcmp(reinterpret_cast<const char*>(e->Name), name)) return e->Address;
  return 0;
}

// Prepares `env` for a cdecl call of `address` with `args`, returning to
// the sentinel.
inline void prepare_call(Env* env, ModuleInfo* mi, u32 address, std::initializer_list<u32> args) {
  InitEnv(env, mi);
  u32 esp = env->ESP - 64;
  u32 at = esp + 4;
  for (u32 a : args) {
    memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(at)), &a, 4);
    at += 4;
  }
  u32 sentinel = RETURN_SENTINEL;
  memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(esp)), &sentinel, 4);
  env->ESP = esp;
  env->EIP = address;
}

inline u32 call_guest(ModuleInfo* mi, u32 address, std::initializer_list<u32> args, Env* out = nullptr) {
  Env env;
  prepare_call(&env, mi, address, args);
  mi->Dispatch(&env, mi);
  if (out) *out = env;
  return env.EAX;
}
