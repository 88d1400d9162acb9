// The native module frame: library entry, EntryPoint, GetModuleInfo, the
// entry stub the guest sees as the DLL's entry, and the dispatcher that
// runs a handler.
#include "native_frame.h"

#include <dlfcn.h>

#include "wce/kernel.h"
#include "wce/seh.h"

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

HMODULE g_handle;
const u32 kEmptyList = 0;

// The replaced DLL's entry, as the guest's loader calls it: TRUE, and a
// return that removes (hInstance, reason, reserved).
void entry_stub(Env* env) {
  env->EAX = 1;
  env->EIP = guest_read32(env->ESP);
  env->ESP += 16;
}

// Runs the handler whose native address is EIP on the calling thread's Env.
int native_dispatch(Env* env, ModuleInfo*) {
  reinterpret_cast<NativeHandler>(static_cast<uintptr_t>(env->EIP))(env);
  return static_cast<int>(env->EAX);
}

// The library entry, at process attach.
__attribute__((constructor)) void library_entry() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&library_entry), &info)) g_handle = static_cast<HMODULE>(info.dli_fbase);
  g_native_module.Base = GetModuleBaseAddress(g_handle);
  g_native_module.Len = GetModuleSize(g_handle);
  g_native_module.Entry = guest_addr(reinterpret_cast<void*>(&entry_stub)) - g_native_module.Base;
  if (g_handle == GetModuleHandleW(nullptr)) {
    MessageBoxW(nullptr, u"This file cannot be run directly.", u"Error", MB_ICONERROR);
    TerminateProcess(GetCurrentProcess(), 0xFFFFFFFF);
  }
}

}  // namespace

ModuleInfo g_native_module = {
    0, 0, 0, 0, g_native_name,
    reinterpret_cast<const ImportDesc*>(&kEmptyList), g_native_exports, &kEmptyList,
    reinterpret_cast<const SectionInit*>(&kEmptyList), native_dispatch, nullptr};

MODULE_EXPORT ModuleInfo* GetModuleInfo(void) { return &g_native_module; }

// Registers the module and runs its DLL entry once, under a guard that
// takes every exception: 1, or 0 after a fault.
MODULE_EXPORT int EntryPoint(void) {
  SehGuard guard;
  if (SEH_TRY(guard)) {
    InitModule(&g_native_module, g_handle, 1);
    Env env;
    InitEnv(&env, &g_native_module);
    reinterpret_cast<NativeHandler>(static_cast<uintptr_t>(env.EIP))(&env);
    seh_pop(&guard);
    return static_cast<int>(env.EAX);
  }
  return 0;
}
