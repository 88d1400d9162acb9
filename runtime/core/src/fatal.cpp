#include "fatal.h"

#include <string>

#include "wce/kernel.h"
#include "wce/wstr.h"

void fatal_exit() {
  TerminateProcess(GetCurrentProcess(), 0xFFFFFFFF);
  for (;;) {
  }
}

void fatal_box(const char* text) {
  MessageBoxW(nullptr, utf8_to_wstr(text).c_str(), u"Error", MB_ICONERROR);
  fatal_exit();
}

void log_register_dump(const Env* env) {
  log_printf(" Env->EAX=%08X\n", env->EAX);
  log_printf(" Env->EBX=%08X\n", env->EBX);
  log_printf(" Env->ECX=%08X\n", env->ECX);
  log_printf(" Env->EDX=%08X\n", env->EDX);
  log_printf(" Env->ESI=%08X\n", env->ESI);
  log_printf(" Env->EDI=%08X\n", env->EDI);
  log_printf(" Env->EBP=%08X\n", env->EBP);
  log_printf(" Env->ESP=%08X\n", env->ESP);
  log_printf(" Env->EIP=%08X\n", env->EIP);
  if (ModuleInfo* m = FindModule(env->EIP)) log_printf(" Real EIP=%08X in %s\n", env->EIP - m->Fixup, m->Name);
}
