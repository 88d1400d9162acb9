// The x87 instructions of the P6 family (FCOMI, FUCOMI and their pops, and
// FCMOVcc), which the runtime's x87 does not decode: each runs as the 387
// instructions that do the same, called directly, and the compares bring
// their condition codes into EFLAGS (ZF from C3, PF from C2, CF from C0,
// OF, SF and AF cleared, as the P6 does). Compilers targeting i686 emit
// these for every floating-point compare.
#include <cstdio>

#include "emit.h"

namespace {

// An x87 call that returns nonzero when the instruction was abandoned: the
// chunk then leaves at the original instruction, as untranslated.
void call_or_leave(Emitter& e, const std::string& call) {
  e.out += "if (" + call + ") {\n";
  emit_exit(e, "fx + " + hex(e.in->va), "kChunkMissed");
  e.out += "}\n";
}

// FCOM ST(i) (D8 D0+i) or FUCOM ST(i) (DD E0+i), the condition codes into
// the flags, then FSTP ST(0) for the popping forms.
void compare(Emitter& e, bool unordered, bool pop) {
  const unsigned i = e.in->d.raw.modrm.rm;
  char op[16];
  snprintf(op, sizeof op, "0x%04X", unordered ? 0xDDE0 + i : 0xD8D0 + i);
  call_or_leave(e, "X87Exec(fx + " + hex(e.in->va) + ", " + op + ", 0, F->env)");
  e.out += "const u32 sw = X87_status_word();\n";
  if (pop) e.out += "X87_DD_3_r(0);\n";
  e.out += "fl.cf = (sw >> 8) & 1; fl.of = 0; fl.sf = 0; fl.zf = (sw & 0x4000u) ? 0 : 1;\n"
           "fl.pf = (sw & 0x400u) ? 0 : 1; fl.af = 0;\n";
  e.dirty |= D_FLAGS;
}

}  // namespace

bool emit_x87_p6(Emitter& e) {
  const Insn& in = *e.in;
  const unsigned i = in.d.raw.modrm.rm;
  // 387 equivalents: FCOM ST(i) D8 D0+i, FUCOM ST(i) DD E0+i, FNSTSW AX
  // DF E0, FSTP ST(0) DD D8, FXCH ST(i) D9 C8+i, FST ST(i) DD D0+i.
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_FCOMI: compare(e, false, false); return true;
    case ZYDIS_MNEMONIC_FUCOMI: compare(e, true, false); return true;
    case ZYDIS_MNEMONIC_FCOMIP: compare(e, false, true); return true;
    case ZYDIS_MNEMONIC_FUCOMIP: compare(e, true, true); return true;
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
  // ST(0) = ST(i) without a push (a full stack must not overflow): exchange,
  // then copy back into ST(i).
  e.out += "if (" + condition_text(e, cc) + ") {\n";
  call_or_leave(e, "X87_D9_1_r(" + std::to_string(i) + ")");
  e.out += "X87_DD_2_r(" + std::to_string(i) + ");\n";
  e.out += "}\n";
  return true;
}
