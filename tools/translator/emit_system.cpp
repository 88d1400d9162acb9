// Traps, processor identification, the time-stamp counter, the 8-byte
// compare-exchange and the ASCII adjusts that need no auxiliary carry.
#include "emit.h"

namespace {

// The exception a trap instruction raises on Windows.
constexpr u32 kBreakpoint = 0x80000003;
constexpr u32 kSingleStep = 0x80000004;
constexpr u32 kIllegalInstruction = 0xC000001D;
constexpr u32 kPrivilegedInstruction = 0xC0000096;
constexpr u32 kAccessViolation = 0xC0000005;  // INT n: a protection fault
constexpr u32 kIntegerOverflow = 0xC0000095;
constexpr u32 kFastFail = 0xC0000409;         // INT 0x29
constexpr u32 kAssertionFailure = 0xC0000420;  // INT 0x2C

// INT n: the software interrupts Windows gives a meaning to, and a
// protection fault for every other vector.
u32 interrupt_code(u32 vector) {
  switch (vector) {
    case 3: return kBreakpoint;
    case 0x29: return kFastFail;
    case 0x2C: return kAssertionFailure;
    default: return kAccessViolation;
  }
}

// Raises `code` at the instruction with the frame up to date and EIP
// naming the instruction itself, so that the exception's context is exact.
// The code after it (the path where nothing is raised) still has the
// block's changes to store.
void trap(Emitter& e, u32 code) {
  const unsigned keep = e.dirty;
  emit_sync(e);
  e.dirty = keep;
  e.out += "F->eip_rel = " + hex(e.in->va) + ";\nx_guest_trap(fx + " + hex(e.in->va) + ", " + hex(code) + ");\n";
}

// CMPXCHG8B m64, with or without LOCK (both are one atomic operation here):
// ZF and, when the comparison fails, EDX:EAX from memory.
void compare_exchange8(Emitter& e) {
  Loc m = op_loc(e, 0);
  if (m.kind != Loc::MEM) throw Unsupported{};
  e.out += "const uint64_t expected = static_cast<uint64_t>(edx) << 32 | eax;\n";
  e.out += "const uint64_t found = x_cmpxchg8b(" + m.text + ", expected, static_cast<uint64_t>(ecx) << 32 | ebx);\n";
  e.out += "if (found == expected) {\nfl.zf = 0;\n} else {\nfl.zf = 1;\neax = static_cast<u32>(found);\n"
           "edx = static_cast<u32>(found >> 32);\n}\n";
  e.dirty |= (1u << R_EAX) | (1u << R_EDX) | D_SZP;
}

// AAM and AAD with their base (10 unless given); SF, ZF and PF from AL.
void ascii_adjust(Emitter& e, bool multiply) {
  u32 base = e.in->d.operand_count_visible ? static_cast<u32>(e.in->ops[0].imm.value.u) & 0xFF : 10;
  if (multiply && base == 0) {
    e.out += "x_divide_error(fx + " + hex(e.in->va) + ", true);\n";
    return;
  }
  e.out += "const u32 al = eax & 0xFFu, ah = (eax >> 8) & 0xFFu;\n";
  if (multiply)
    e.out += "const u32 r = (al / " + hex(base) + ") << 8 | al % " + hex(base) + ";\n";
  else
    e.out += "const u32 r = (al + ah * " + hex(base) + ") & 0xFFu;\n";
  reg_write(e, R_EAX, 1, "r");
  e.out += "x_szp<8>(fl, r & 0xFFu);\n";
  e.dirty |= D_SZP;
}

}  // namespace

bool emit_system(Emitter& e) {
  const Insn& in = *e.in;
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_INT3: trap(e, kBreakpoint); return true;
    case ZYDIS_MNEMONIC_INT1: trap(e, kSingleStep); return true;
    case ZYDIS_MNEMONIC_INT: trap(e, interrupt_code(static_cast<u32>(in.ops[0].imm.value.u) & 0xFF)); return true;
    case ZYDIS_MNEMONIC_UD0:
    case ZYDIS_MNEMONIC_UD1:
    case ZYDIS_MNEMONIC_UD2: trap(e, kIllegalInstruction); return true;
    case ZYDIS_MNEMONIC_HLT: trap(e, kPrivilegedInstruction); return true;
    case ZYDIS_MNEMONIC_INTO:
      e.out += "if (fl.of) {\n";
      trap(e, kIntegerOverflow);
      e.out += "}\n";
      return true;
    case ZYDIS_MNEMONIC_CPUID:
      e.out += "const XCpuid c = x_cpuid(eax, ecx);\neax = c.eax; ebx = c.ebx; ecx = c.ecx; edx = c.edx;\n";
      e.dirty |= (1u << R_EAX) | (1u << R_EBX) | (1u << R_ECX) | (1u << R_EDX);
      return true;
    case ZYDIS_MNEMONIC_RDTSC:
      e.out += "const uint64_t t = x_rdtsc();\neax = static_cast<u32>(t); edx = static_cast<u32>(t >> 32);\n";
      e.dirty |= (1u << R_EAX) | (1u << R_EDX);
      return true;
    case ZYDIS_MNEMONIC_CMPXCHG8B: compare_exchange8(e); return true;
    case ZYDIS_MNEMONIC_AAM: ascii_adjust(e, true); return true;
    case ZYDIS_MNEMONIC_AAD: ascii_adjust(e, false); return true;
    default: return emit_legacy(e);
  }
}
