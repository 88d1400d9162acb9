// The x87 instructions of the P6 family (FCOMI, FUCOMI and their pops, and
// FCMOVcc), which the runtime's x87 does not decode: each runs as the 387
// instructions that do the same, and the compares bring their condition
// codes into EFLAGS (ZF from C3, PF from C2, CF from C0, as the P6 does).
// Compilers targeting i686 emit these for every floating-point compare.
#include <cstdio>

#include "emit.h"

namespace {

// Runs `bytes` (two-byte x87 instructions) in the runtime in place of the
// current instruction, then goes on after it; an instruction the runtime
// abandoned leaves the chunk at the original one, as untranslated.
void run_sequence(Emitter& e, std::initializer_list<unsigned> bytes, bool compare) {
  const Insn& in = *e.in;
  std::string list;
  for (unsigned b : bytes) {
    char t[8];
    snprintf(t, sizeof t, "0x%02X, ", b);
    list += t;
  }
  e.out += "static const uint8_t seq[] = {" + list + "};\n";
  e.out += "const XFpuOut o = x_fpu_sequence(F->env, eax, ebx, ecx, edx, esi, edi, esp, ebp, fx + " + hex(in.va) +
           ", fx + " + hex(in.next()) + ", x_eflags(fl, df), seq, " + std::to_string(bytes.size() / 2) + ", " + (compare ? "true" : "false") +
           ");\n";
  e.out += "if (o.eip == fx + " + hex(in.va) + ") { eip = o.eip; goto miss; }\n";
  if (compare) {
    // The processor clears AF with OF and SF (checked on the host's own).
    e.out += "x_set_eflags(fl, df, o.eflags);\nfl.af = 0;\n";
    e.dirty |= D_FLAGS;
  }
}

}  // namespace

bool emit_x87_p6(Emitter& e) {
  const Insn& in = *e.in;
  const unsigned i = in.d.raw.modrm.rm;
  // 387 equivalents: FCOM ST(i) D8 D0+i, FUCOM ST(i) DD E0+i, FNSTSW AX
  // DF E0, FSTP ST(0) DD D8, FXCH ST(i) D9 C8+i, FST ST(i) DD D0+i.
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_FCOMI: run_sequence(e, {0xD8, 0xD0 + i, 0xDF, 0xE0}, true); return true;
    case ZYDIS_MNEMONIC_FUCOMI: run_sequence(e, {0xDD, 0xE0 + i, 0xDF, 0xE0}, true); return true;
    case ZYDIS_MNEMONIC_FCOMIP: run_sequence(e, {0xD8, 0xD0 + i, 0xDF, 0xE0, 0xDD, 0xD8}, true); return true;
    case ZYDIS_MNEMONIC_FUCOMIP: run_sequence(e, {0xDD, 0xE0 + i, 0xDF, 0xE0, 0xDD, 0xD8}, true); return true;
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
  run_sequence(e, {0xD9, 0xC8 + i, 0xDD, 0xD0 + i}, false);
  e.out += "}\n";
  return true;
}
