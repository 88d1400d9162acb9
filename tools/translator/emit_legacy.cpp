// Instructions of hand-written and 16-bit-era code that compilers rarely
// write: the decimal adjusts, SALC, the flag pushes and pops (which see
// AF), the 16-bit all-register pushes and LEAVE, LOOP counting in CX, and
// what SMSW, SGDT, SIDT, SLDT and STR show a user-mode program. Tried
// before every other translator (from emit_system).
#include "emit.h"
#include "translate.h"

namespace {

// What a user-mode program on the device reads: CR0 of a paged protected
// mode system with the x87 present (PE, MP, ET, NE, WP, PG; TS clear, as
// the guest's x87 state is always its own), a kernel-space GDT of 128
// descriptors and IDT of 256 gates that the program cannot reach, no LDT
// (selector 0) and the task register's selector in that GDT.
constexpr u32 kMachineStatusWord = 0x80010033;
constexpr u32 kGdtLimit = 0x03FF;
constexpr u32 kGdtBase = 0x8003F000;
constexpr u32 kIdtLimit = 0x07FF;
constexpr u32 kIdtBase = 0x8003F400;
constexpr u32 kLdtSelector = 0;
constexpr u32 kTaskSelector = 0x28;

// LOOP, LOOPE and LOOPNE with the address-size prefix count in CX.
void loop_cx(Emitter& e) {
  const ZydisMnemonic m = e.in->d.mnemonic;
  reg_write(e, R_ECX, 1, "ecx - 1u");
  std::string cond = "(ecx & 0xFFFFu) != 0";
  if (m == ZYDIS_MNEMONIC_LOOPE) cond += " && fl.zf == 0";
  if (m == ZYDIS_MNEMONIC_LOOPNE) cond += " && fl.zf != 0";
  emit_conditional(e, cond);
}

void push16(Emitter& e, const std::string& value) {
  e.out += "esp -= 2; s16(esp, " + value + ");\n";
  e.dirty |= 1u << R_ESP;
}

}  // namespace

bool emit_legacy(Emitter& e) {
  const Insn& in = *e.in;
  // Far calls, jumps and returns load CS, which a flat 32-bit program never
  // changes: they stay untranslated (named "far" in the summary) instead of
  // running as their near forms.
  if (in.d.meta.branch_type == ZYDIS_BRANCH_TYPE_FAR) throw Unsupported{};
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_DAA: reg_write(e, R_EAX, 2, "x_daa(fl, eax & 0xFFu)"); e.dirty |= D_CF | D_SZP; return true;
    case ZYDIS_MNEMONIC_DAS: reg_write(e, R_EAX, 2, "x_das(fl, eax & 0xFFu)"); e.dirty |= D_CF | D_SZP; return true;
    case ZYDIS_MNEMONIC_AAA: reg_write(e, R_EAX, 1, "x_aaa(fl, eax & 0xFFFFu)"); e.dirty |= D_CF; return true;
    case ZYDIS_MNEMONIC_AAS: reg_write(e, R_EAX, 1, "x_aas(fl, eax & 0xFFFFu)"); e.dirty |= D_CF; return true;
    case ZYDIS_MNEMONIC_SALC: reg_write(e, R_EAX, 2, "x_salc(fl)"); return true;
    // The flag pushes and pops with AF, which only the guest's own reads see.
    case ZYDIS_MNEMONIC_PUSHF: push16(e, "x_guest_eflags(fl, df) | 0x202u"); return true;
    case ZYDIS_MNEMONIC_PUSHFD:
      e.out += "esp -= 4; s32a(esp, x_guest_eflags(fl, df) | 0x202u);\n";
      e.dirty |= 1u << R_ESP;
      return true;
    case ZYDIS_MNEMONIC_POPF:
    case ZYDIS_MNEMONIC_POPFD: {
      const bool word = in.d.mnemonic == ZYDIS_MNEMONIC_POPF;
      e.out += std::string("x_set_guest_eflags(fl, df, ") + (word ? "m16(esp)); esp += 2;\n" : "m32a(esp)); esp += 4;\n");
      e.dirty |= (1u << R_ESP) | D_FLAGS | D_DF;
      return true;
    }
    case ZYDIS_MNEMONIC_PUSHA:
      e.out += "const u32 old = esp;\n";
      for (const char* r : {"eax", "ecx", "edx", "ebx", "old", "ebp", "esi", "edi"}) push16(e, r);
      return true;
    case ZYDIS_MNEMONIC_POPA: {
      // SP's slot is skipped; every other register takes its low half.
      const Reg order[] = {R_EDI, R_ESI, R_EBP, R_ESP, R_EBX, R_EDX, R_ECX, R_EAX};
      for (int i = 0; i < 8; i++)
        if (order[i] != R_ESP) reg_write(e, order[i], 1, "m16(esp + " + std::to_string(2 * i) + "u)");
      e.out += "esp += 16;\n";
      e.dirty |= 1u << R_ESP;
      return true;
    }
    case ZYDIS_MNEMONIC_LEAVE:
      // The 16-bit form pops only BP.
      if (in.d.operand_width != 16) return false;
      e.out += "esp = ebp;\n";
      reg_write(e, R_EBP, 1, "m16(esp)");
      e.out += "esp += 2;\n";
      e.dirty |= 1u << R_ESP;
      return true;
    case ZYDIS_MNEMONIC_LOOP:
    case ZYDIS_MNEMONIC_LOOPE:
    case ZYDIS_MNEMONIC_LOOPNE:
      if (in.d.address_width != 16) return false;
      loop_cx(e);
      return true;
    case ZYDIS_MNEMONIC_SMSW: {
      Loc d = op_loc(e, 0);
      op_write(e, d, hex(d.width == 32 ? kMachineStatusWord : kMachineStatusWord & 0xFFFF));
      return true;
    }
    case ZYDIS_MNEMONIC_SGDT:
    case ZYDIS_MNEMONIC_SIDT: {
      Loc d = op_loc(e, 0);
      if (d.kind != Loc::MEM) throw Unsupported{};
      const bool gdt = in.d.mnemonic == ZYDIS_MNEMONIC_SGDT;
      e.out += "s16(" + d.text + ", " + hex(gdt ? kGdtLimit : kIdtLimit) + ");\ns32(" + d.text + " + 2u, " +
               hex(gdt ? kGdtBase : kIdtBase) + ");\n";
      return true;
    }
    // A selector: a word in memory, zero-extended in a register (as the P6
    // does).
    case ZYDIS_MNEMONIC_SLDT:
    case ZYDIS_MNEMONIC_STR: {
      Loc d = op_loc(e, 0);
      op_write(e, d, hex(in.d.mnemonic == ZYDIS_MNEMONIC_SLDT ? kLdtSelector : kTaskSelector));
      return true;
    }
    default:
      return false;
  }
}
