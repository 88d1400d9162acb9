// The x87 instructions of the P6 family (FCOMI, FUCOMI and their pops, and
// FCMOVcc), which the runtime's x87 does not decode: the compares have
// entries of their own that answer in EFLAGS' bits; FCMOVcc runs as the
// 387 instructions that do the same, called directly. Compilers targeting
// i686 emit these for every floating-point compare.
#include <cstdio>

#include "emit.h"

namespace {

// An x87 call that returns nonzero when the instruction was abandoned.
void call_or_leave(Emitter& e, const std::string& call) {
  e.out += "if (" + call + ") {\n";
  emit_x87_abandoned(e, e.in->va);
  e.out += "}\n";
}

// FCOMI, FUCOMI and their pops: the runtime's entry returns ZF, PF and CF
// in their EFLAGS places (OF, SF and AF cleared, as the P6 does).
void compare(Emitter& e, const char* entry) {
  const unsigned i = e.in->d.raw.modrm.rm;
  e.out += "{\nconst u32 x87f = " + std::string(entry) + "(" + std::to_string(i) + ", X87S);\n";
  call_or_leave(e, "x87f & X87_ABANDONED");
  e.out += x87_flags_from("x87f") + "}\n";
  e.dirty |= D_FLAGS;
}

}  // namespace

std::string x87_flags_from(const std::string& answer) {
  return "fl.cf = " + answer + " & 1; fl.of = 0; fl.sf = 0; fl.zf = (" + answer + " & 0x40u) ? 0 : 1;\n"
         "fl.pf = (" + answer + " & 0x04u) ? 0 : 1; fl.af = 0;\n";
}

bool emit_x87_p6(Emitter& e) {
  const Insn& in = *e.in;
  const unsigned i = in.d.raw.modrm.rm;
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_FCOMI: compare(e, "X87_DB_6_r"); return true;
    case ZYDIS_MNEMONIC_FUCOMI: compare(e, "X87_DB_5_r"); return true;
    case ZYDIS_MNEMONIC_FCOMIP: compare(e, "X87_DF_6_r"); return true;
    case ZYDIS_MNEMONIC_FUCOMIP: compare(e, "X87_DF_5_r"); return true;
    default: break;
  }
  int cc;
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_FCMOVB: cc = 2; break;
    case ZYDIS_MNEMONIC_FCMOVNB: cc = 3; break;
    case ZYDIS_MNEMONIC_FCMOVE: cc = 4; break;
    case ZYDIS_MNEMONIC_FCMOVNE: cc = 5; break;
    case ZYDIS_MNEMONIC_FCMOVBE: cc = 6; break;
    case ZYDIS_MNEMONIC_FCMOVNBE: cc = 7; break;
    case ZYDIS_MNEMONIC_FCMOVU: cc = 10; break;
    case ZYDIS_MNEMONIC_FCMOVNU: cc = 11; break;
    default: return false;
  }
  // ST(0) = ST(i) without a push (a full stack must not overflow): exchange
  // (FXCH ST(i), D9 C8+i), then copy back into ST(i) (FST ST(i), DD D0+i).
  e.out += "if (" + condition_text(e, cc) + ") {\n";
  call_or_leave(e, "X87_D9_1_r(" + std::to_string(i) + ", X87S)");
  e.out += "X87_DD_2_r(" + std::to_string(i) + ", X87S);\n";
  e.out += "}\n";
  return true;
}
