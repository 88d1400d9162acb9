// String instructions, flag instructions, and the instructions that run in
// the runtime (x87, MMX).
#include "emit.h"

namespace {

int element_width(const Insn& in) { return in.d.operand_width; }

// A string instruction with 16-bit addresses: one helper for all five.
bool string_op16(Emitter& e, const std::string& w, bool rep, int cmp_rep) {
  int op;
  switch (e.in->d.mnemonic) {
    case ZYDIS_MNEMONIC_MOVSB: case ZYDIS_MNEMONIC_MOVSW: case ZYDIS_MNEMONIC_MOVSD: op = 0; break;
    case ZYDIS_MNEMONIC_STOSB: case ZYDIS_MNEMONIC_STOSW: case ZYDIS_MNEMONIC_STOSD: op = 1; break;
    case ZYDIS_MNEMONIC_LODSB: case ZYDIS_MNEMONIC_LODSW: case ZYDIS_MNEMONIC_LODSD: op = 2; break;
    case ZYDIS_MNEMONIC_SCASB: case ZYDIS_MNEMONIC_SCASW: case ZYDIS_MNEMONIC_SCASD: op = 3; break;
    case ZYDIS_MNEMONIC_CMPSB: case ZYDIS_MNEMONIC_CMPSW: case ZYDIS_MNEMONIC_CMPSD: op = 4; break;
    default: return false;
  }
  const int r = op >= 3 ? cmp_rep : (rep || cmp_rep) ? 1 : 0;
  e.out += "x_string16<" + w + ">(fl, eax, esi, edi, ecx, df, " + std::to_string(op) + ", " + std::to_string(r) +
           ");\n";
  e.dirty |= (1u << R_EAX) | (1u << R_ESI) | (1u << R_EDI) | (1u << R_ECX) | (op >= 3 ? D_FLAGS : 0u);
  return true;
}

bool string_op(Emitter& e) {
  const Insn& in = *e.in;
  if (in.d.meta.category != ZYDIS_CATEGORY_STRINGOP) return false;
  for (int i = 0; i < in.d.operand_count; i++)
    if (in.ops[i].type == ZYDIS_OPERAND_TYPE_MEMORY && in.ops[i].mem.segment != ZYDIS_REGISTER_DS &&
        in.ops[i].mem.segment != ZYDIS_REGISTER_ES)
      throw Unsupported{};
  const std::string w = std::to_string(element_width(in));
  const bool rep = in.d.attributes & ZYDIS_ATTRIB_HAS_REP;
  const int cmp_rep = (in.d.attributes & ZYDIS_ATTRIB_HAS_REPE) ? 1 : (in.d.attributes & ZYDIS_ATTRIB_HAS_REPNE) ? 2 : 0;
  if (in.d.address_width == 16) return string_op16(e, w, rep, cmp_rep);
  const int acc_part = w == "8" ? 2 : w == "16" ? 1 : 0;
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_MOVSB:
    case ZYDIS_MNEMONIC_MOVSW:
    case ZYDIS_MNEMONIC_MOVSD:
      if (rep || cmp_rep) {
        e.out += "x_rep_movs<" + w + ">(esi, edi, ecx, df);\n";
        e.dirty |= 1u << R_ECX;
      } else {
        e.out += "x_movs<" + w + ">(esi, edi, df);\n";
      }
      e.dirty |= (1u << R_ESI) | (1u << R_EDI);
      return true;
    case ZYDIS_MNEMONIC_STOSB:
    case ZYDIS_MNEMONIC_STOSW:
    case ZYDIS_MNEMONIC_STOSD:
      if (rep || cmp_rep) {
        e.out += "x_rep_stos<" + w + ">(edi, ecx, " + reg_read(R_EAX, acc_part) + ", df);\n";
        e.dirty |= 1u << R_ECX;
      } else {
        e.out += "x_stos<" + w + ">(edi, " + reg_read(R_EAX, acc_part) + ", df);\n";
      }
      e.dirty |= 1u << R_EDI;
      return true;
    case ZYDIS_MNEMONIC_LODSB:
    case ZYDIS_MNEMONIC_LODSW:
    case ZYDIS_MNEMONIC_LODSD:
      if (rep || cmp_rep) {
        e.out += "for (; ecx; ecx--) {\n";
        reg_write(e, R_EAX, acc_part, "x_lods<" + w + ">(esi, df)");
        e.out += "}\n";
        e.dirty |= 1u << R_ECX;
      } else {
        reg_write(e, R_EAX, acc_part, "x_lods<" + w + ">(esi, df)");
      }
      e.dirty |= 1u << R_ESI;
      return true;
    case ZYDIS_MNEMONIC_SCASB:
    case ZYDIS_MNEMONIC_SCASW:
    case ZYDIS_MNEMONIC_SCASD:
      e.out += "x_scas<" + w + ">(fl, " + reg_read(R_EAX, acc_part) + ", edi, ecx, df, " + std::to_string(cmp_rep) + ");\n";
      e.dirty |= (1u << R_EDI) | (1u << R_ECX) | D_FLAGS;
      return true;
    case ZYDIS_MNEMONIC_CMPSB:
    case ZYDIS_MNEMONIC_CMPSW:
    case ZYDIS_MNEMONIC_CMPSD:
      e.out += "x_cmps<" + w + ">(fl, esi, edi, ecx, df, " + std::to_string(cmp_rep) + ");\n";
      e.dirty |= (1u << R_ESI) | (1u << R_EDI) | (1u << R_ECX) | D_FLAGS;
      return true;
    default:
      return false;
  }
}

// Runs the instruction in the runtime on the Env, then goes on after it,
// or through the look-up when the runtime moved EIP elsewhere; an x87
// instruction the runtime abandoned raises its exception (emit_x87), an
// MMX one leaves the chunk as untranslated.
void runtime_instruction(Emitter& e, bool mmx) {
  const Insn& in = *e.in;
  e.out += "const XFpuOut o = x_fpu(F->env, eax, ebx, ecx, edx, esi, edi, esp, ebp, fx + " + hex(in.va) +
           ", x_eflags(fl, df), " + (mmx ? "true" : "false") + ");\n";
  e.out += "eax = o.eax; eip = o.eip; x_set_eflags(fl, df, o.eflags);\n";
  e.dirty |= (1u << R_EAX) | D_FLAGS | D_DF;
  e.out += "if (eip != fx + " + hex(in.next()) + ") {\n";
  e.out += "if (eip == fx + " + hex(in.va) + ") {\n";
  if (mmx)
    emit_exit(e, hex(in.va), "kChunkMissed");
  else
    emit_x87_abandoned(e, in.va);
  e.out += "}\n";
  unsigned keep = e.dirty;
  emit_lookup(e);
  e.dirty = keep;
  e.out += "}\n";
}

}  // namespace

bool emit_misc(Emitter& e) {
  const Insn& in = *e.in;
  if (in.d.meta.isa_ext == ZYDIS_ISA_EXT_X87 && in.d.mnemonic != ZYDIS_MNEMONIC_FWAIT) {
    if (!emit_x87(e)) runtime_instruction(e, false);
    return true;
  }
  if (in.d.meta.isa_ext == ZYDIS_ISA_EXT_MMX) {
    runtime_instruction(e, true);
    return true;
  }
  if (string_op(e)) return true;
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_NOP:
    case ZYDIS_MNEMONIC_PAUSE:
    case ZYDIS_MNEMONIC_FWAIT:
      return true;
    case ZYDIS_MNEMONIC_CLD: e.out += "df = 1;\n"; e.dirty |= D_DF; return true;
    case ZYDIS_MNEMONIC_STD: e.out += "df = -1;\n"; e.dirty |= D_DF; return true;
    case ZYDIS_MNEMONIC_CLC: e.out += "fl.cf = 0;\n"; e.dirty |= D_CF; return true;
    case ZYDIS_MNEMONIC_STC: e.out += "fl.cf = 1;\n"; e.dirty |= D_CF; return true;
    case ZYDIS_MNEMONIC_CMC: e.out += "fl.cf ^= 1;\n"; e.dirty |= D_CF; return true;
    case ZYDIS_MNEMONIC_SAHF: e.out += "x_sahf(fl, (eax >> 8) & 0xFFu);\n"; e.dirty |= D_CF | D_SZP; return true;
    case ZYDIS_MNEMONIC_LAHF: reg_write(e, R_EAX, 3, "x_lahf(fl)"); return true;
    case ZYDIS_MNEMONIC_XLAT:
      for (int i = 0; i < in.d.operand_count; i++)
        if (in.ops[i].type == ZYDIS_OPERAND_TYPE_MEMORY && in.ops[i].mem.segment != ZYDIS_REGISTER_DS)
          throw Unsupported{};
      // With 16-bit addresses: BX + AL wrapped to 16 bits (below 64K, a fault).
      reg_write(e, R_EAX, 2,
                in.d.address_width == 16 ? "m8((ebx + (eax & 0xFFu)) & 0xFFFFu)" : "m8(ebx + (eax & 0xFFu))");
      return true;
    default:
      return false;
  }
}
