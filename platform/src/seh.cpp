// Structured exceptions for generated code: host faults become Win32
// exception records delivered to the innermost guard of the faulting thread.
#include "wce/seh.h"

#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

thread_local SehGuard* t_innermost;
thread_local bool t_alt_stack;
std::once_flag g_handlers_once;
const int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

void fill_record(int sig, siginfo_t* info, void* context, EXCEPTION_RECORD* record) {
  memset(record, 0, sizeof *record);
  void* pc = nullptr;
#if defined(__i386__)
  const ucontext_t* uc = static_cast<const ucontext_t*>(context);
  pc = reinterpret_cast<void*>(uc->uc_mcontext.gregs[REG_EIP]);
  const bool write = (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#elif defined(__arm__)
  const ucontext_t* uc = static_cast<const ucontext_t*>(context);
  pc = reinterpret_cast<void*>(uc->uc_mcontext.arm_pc);
  const bool write = (uc->uc_mcontext.error_code & (1u << 11)) != 0;
#else
  const bool write = false;
#endif
  record->ExceptionAddress = pc;
  switch (sig) {
    case SIGSEGV:
    case SIGBUS:
      record->ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
      record->NumberParameters = 2;
      record->ExceptionInformation[0] = write ? 1 : 0;
      record->ExceptionInformation[1] = static_cast<ULONG>(reinterpret_cast<uintptr_t>(info->si_addr));
      break;
    case SIGFPE:
      record->ExceptionCode = info->si_code == FPE_INTDIV   ? EXCEPTION_INT_DIVIDE_BY_ZERO
                              : info->si_code == FPE_INTOVF ? EXCEPTION_INT_OVERFLOW
                                                            : EXCEPTION_FLT_INVALID_OPERATION;
      break;
    default:
      record->ExceptionCode = EXCEPTION_ILLEGAL_INSTRUCTION;
      break;
  }
}

[[noreturn]] void resume_innermost() {
  SehGuard* guard = t_innermost;
  t_innermost = guard->outer;
  siglongjmp(guard->resume, 1);
}

void on_fault(int sig, siginfo_t* info, void* context) {
  if (!t_innermost) {
    // Outside every guard the fault keeps its default effect.
    signal(sig, SIG_DFL);
    return;
  }
  fill_record(sig, info, context, &t_innermost->record);
  resume_innermost();
}

void install_handlers() {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_sigaction = on_fault;
  // SA_NODEFER: leaving the handler by a jump must not leave the signal
  // blocked, and the jump then needs no signal-mask system call.
  action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int sig : kSignals) sigaction(sig, &action, nullptr);
}

// A fault from a guest stack overflow must still find a stack to run on.
void ensure_alt_stack() {
  if (t_alt_stack) return;
  t_alt_stack = true;
  stack_t current;
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
  stack_t alt;
  alt.ss_size = 64 * 1024;
  alt.ss_sp = malloc(alt.ss_size);  // lives as long as the thread
  alt.ss_flags = 0;
  if (alt.ss_sp) sigaltstack(&alt, nullptr);
}

}  // namespace

extern "C" void seh_push(SehGuard* guard) {
  std::call_once(g_handlers_once, install_handlers);
  ensure_alt_stack();
  guard->outer = t_innermost;
  guard->pointers.ExceptionRecord = &guard->record;
  guard->pointers.ContextRecord = nullptr;
  t_innermost = guard;
}

extern "C" void seh_pop(SehGuard* guard) {
  if (t_innermost == guard) t_innermost = guard->outer;
}

extern "C" void seh_raise(const EXCEPTION_RECORD* record) {
  if (!t_innermost) {
    fprintf(stderr, "device: unhandled exception %08X\n", record->ExceptionCode);
    _exit(static_cast<int>(record->ExceptionCode));
  }
  t_innermost->record = *record;
  t_innermost->pointers.ExceptionRecord = &t_innermost->record;
  resume_innermost();
}
