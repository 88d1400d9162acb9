// The out-of-line helpers of translated code, linked into every module.
#include "xlat_ops.h"

namespace {
constexpr u32 kIntegerDivideByZero = 0xC0000094;
constexpr u32 kIntegerOverflow = 0xC0000095;
}  // namespace

void x_divide_error(u32 guest_eip, bool zero_divisor) {
  EXCEPTION_RECORD record = {};
  record.ExceptionCode = zero_divisor ? kIntegerDivideByZero : kIntegerOverflow;
  record.ExceptionAddress = reinterpret_cast<void*>(static_cast<uintptr_t>(guest_eip));
  seh_raise(&record);
}

XFpuOut x_fpu(Env* env, u32 eax, u32 ebx, u32 ecx, u32 edx, u32 esi, u32 edi, u32 esp, u32 ebp, u32 eip, u32 eflags,
              bool mmx) {
  *env = Env{eax, ebx, ecx, edx, esi, edi, esp, ebp, eip, eflags};
  if (mmx)
    EmuMMX(env);
  else
    Emu87(env);
  return {env->EAX, env->EIP, env->EFLAGS};
}
