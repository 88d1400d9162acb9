// The device's structured exception handling for generated code: a stack
// of guard frames per thread. A host fault (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL) inside a guard fills the guard's Win32 exception record and
// resumes at the innermost guard. Code between a guard and a fault must not
// own objects with destructors. Faults outside every guard keep their
// default effect.
#pragma once

#include <csetjmp>

#include "wce/types.h"

struct SehGuard {
  sigjmp_buf resume;
  SehGuard* outer;
  EXCEPTION_RECORD record;
  EXCEPTION_POINTERS pointers;
};

extern "C" {
// Links the guard in as the innermost one of the calling thread.
void seh_push(SehGuard* guard);
// Unlinks the innermost guard (which must be `guard`).
void seh_pop(SehGuard* guard);
// Delivers `record` to the innermost guard of the calling thread as if a
// host fault had happened there; with no guard, the process ends with the
// exception code.
[[noreturn]] void seh_raise(const EXCEPTION_RECORD* record);
}

// Usage:
//   SehGuard g;
//   if (SEH_TRY(g)) { ...body...; seh_pop(&g); }
//   else { ...g.record holds the exception; g is already unlinked... }
#define SEH_TRY(g) (seh_push(&(g)), sigsetjmp((g).resume, 0) == 0)
