// Control transfer for addresses a dispatcher cannot run itself: native
// handlers, other modules, and the fatal reports for everything else.
#include <cstdio>

#include "fatal.h"
#include "guest_word.h"
#include "trevik.h"
#include "wce/kernel.h"

[[noreturn]] static void report_invalid_address(u32 eip) {
  char text[128];
  snprintf(text, sizeof text, "Invalid address %08X called", eip);
  log_printf("%s", text);
  fatal_box(text);
}

extern "C" int HandleDefault(Env* env, ModuleInfo*) {
  u32 eip = env->EIP;
  if ((eip & NATIVE_TAG) && (eip & ~NATIVE_TAG)) {
    reinterpret_cast<NativeHandler>(static_cast<uintptr_t>(eip & ~NATIVE_TAG))(env);
    return static_cast<int>(env->EAX);
  }
  if (eip == NATIVE_TAG) {
    // A call through an unresolved import: report where it came from.
    env->EIP = guest_read32(env->ESP);
    env->ESP += 4;
    if (ModuleInfo* m = FindModule(env->EIP)) MessageBeep(env->EIP - m->Fixup);
    report_invalid_address(env->EIP);
  }
  if (ModuleInfo* m = FindModule(eip)) return m->Dispatch(env, m);
  report_invalid_address(eip);
}

extern "C" void HandleInvalidAddress(Env* env, ModuleInfo* mi) {
  log_printf("Address %08X was not compiled into module '%s'. Exiting.\n", env->EIP, mi->Name);
  log_register_dump(env);
  fatal_box("Non-translated address called. See log.");
}
