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

// Goes on at the 16-bit address `target` (C++ text): the rest of EIP is
// cleared. Nothing below 64K is translated, so this ends in the runtime's
// report of the address.
void leave16(Emitter& e, const std::string& target) {
  e.out += "eip = (" + target + ") & 0xFFFFu;\n";
  emit_lookup(e);
}

// RET, JMP, CALL and Jcc with the operand-size prefix: EIP is cut to 16
// bits, and a call pushes a word. A relative target is computed at the
// preferred base: the image moves by a multiple of 64K, which leaves the
// low 16 bits alike.
bool flow16(Emitter& e) {
  const Insn& in = *e.in;
  const ZydisMnemonic m = in.d.mnemonic;
  const bool relative = is_relative_branch(in);
  std::string target;
  switch (m) {
    case ZYDIS_MNEMONIC_RET: {
      const u32 n = in.d.operand_count_visible ? static_cast<u32>(in.ops[0].imm.value.u) : 0;
      e.out += "const u32 target = m16(esp);\nesp += " + hex(2 + n) + ";\n";
      e.dirty |= 1u << R_ESP;
      leave16(e, "target");
      return true;
    }
    case ZYDIS_MNEMONIC_JMP:
    case ZYDIS_MNEMONIC_CALL:
      if (relative) {
        target = hex(branch_target(in));
      } else {
        e.out += "const u32 target = " + op_read(e, op_loc(e, 0)) + ";\n";
        target = "target";
      }
      if (m == ZYDIS_MNEMONIC_CALL) {
        e.out += "esp -= 2; s16(esp, (fx + " + hex(in.next()) + ") & 0xFFFFu);\n";
        e.dirty |= 1u << R_ESP;
      }
      leave16(e, target);
      return true;
    default:
      break;
  }
  const int cc = condition_of(m);
  if (cc < 0 || in.d.meta.category != ZYDIS_CATEGORY_COND_BR) {
    if (relative) throw Unsupported{};  // LOOP or JCXZ cutting EIP: never written
    return false;
  }
  e.out += "if (" + condition_text(e, cc) + ") {\n";
  const unsigned keep = e.dirty;
  const std::string pending = e.pending_flags;
  leave16(e, hex(branch_target(in)));
  e.dirty = keep;
  e.pending_flags = pending;
  e.out += "}\n";
  emit_goto(e, in.next());
  return true;
}

}  // namespace

bool emit_legacy(Emitter& e) {
  const Insn& in = *e.in;
  // Far calls, jumps and returns load CS, which a flat 32-bit program never
  // changes: they stay untranslated (named "far" in the summary) instead of
  // running as their near forms. So does IRET, which loads CS too.
  if (in.d.meta.branch_type == ZYDIS_BRANCH_TYPE_FAR) throw Unsupported{};
  if (in.d.meta.branch_type != ZYDIS_BRANCH_TYPE_NONE && in.d.operand_width == 16) return flow16(e);
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
