// The out-of-line helpers of translated code, linked into every module.
#include "xlat_ops.h"

#include <ctime>

namespace {
constexpr u32 kIntegerDivideByZero = 0xC0000094;
constexpr u32 kIntegerOverflow = 0xC0000095;
constexpr u32 kAccessViolation = 0xC0000005;
constexpr u32 kFloatDenormalOperand = 0xC000008D;
constexpr u32 kFloatDivideByZero = 0xC000008E;
constexpr u32 kFloatInexactResult = 0xC000008F;
constexpr u32 kFloatInvalidOperation = 0xC0000090;
constexpr u32 kFloatOverflow = 0xC0000091;
constexpr u32 kFloatStackCheck = 0xC0000092;
constexpr u32 kFloatUnderflow = 0xC0000093;
}  // namespace

void x_guest_trap(u32 guest_eip, u32 code) {
  EXCEPTION_RECORD record = {};
  record.ExceptionCode = code;
  record.ExceptionAddress = reinterpret_cast<void*>(static_cast<uintptr_t>(guest_eip));
  if (code == kAccessViolation) {
    // A protection fault, as Windows reports one: a read of no address.
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = 0;
    record.ExceptionInformation[1] = 0xFFFFFFFF;
  }
  seh_raise(&record);
}

void x_x87_raise(u32 guest_eip) {
  // The status word's exception bits the control word does not mask, by
  // the x87's priority; an invalid operation with the stack-fault bit is a
  // stack check.
  const u32 status = X87S->status, pending = status & ~X87S->control & 0x3F;
  if (!pending) return;
  u32 code = kFloatInexactResult;
  if (pending & 0x01) code = status & 0x40 ? kFloatStackCheck : kFloatInvalidOperation;
  else if (pending & 0x02) code = kFloatDenormalOperand;
  else if (pending & 0x04) code = kFloatDivideByZero;
  else if (pending & 0x08) code = kFloatOverflow;
  else if (pending & 0x10) code = kFloatUnderflow;
  x_guest_trap(guest_eip, code);
}

void x_divide_error(u32 guest_eip, bool zero_divisor) {
  x_guest_trap(guest_eip, zero_divisor ? kIntegerDivideByZero : kIntegerOverflow);
}

XCpuid x_cpuid(u32 leaf, u32) {
  switch (leaf) {
    case 0:  // the highest leaf and the vendor, "GenuineIntel"
      return {1, 0x756E6547, 0x6C65746E, 0x49656E69};
    case 1:  // family 6, model 3, stepping 3; x87, time-stamp counter, CMPXCHG8B, CMOV
      return {0x00000633, 0, 0, (1u << 0) | (1u << 4) | (1u << 8) | (1u << 15)};
    default:  // no other leaves, no extended ones
      return {0, 0, 0, 0};
  }
}

uint64_t x_rdtsc(void) {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
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

