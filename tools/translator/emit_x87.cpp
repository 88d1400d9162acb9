// x87 instructions decoded at translation time: each becomes one call of
// the runtime's entry for its operation with the decoded operand (the
// operand address, or i of ST(i)); see runtime/fpu/fpu_direct.h. The most
// frequent cells have entries of their own, every other one the general
// entry with its opcode and ModRM bytes. The chunk's registers stay in
// place: only FNSTSW AX changes one (AX, from the status word, inline),
// and no x87 instruction moves EIP elsewhere. An instruction the runtime
// abandoned raises its unmasked exception at it (emit_x87_abandoned).
#include <cstdio>

#include "emit.h"

namespace {

// Cells (reg field * 8 + opcode - 0xD8) with an entry of their own.
bool has_memory_entry(unsigned opcode, unsigned reg) {
  switch (opcode) {
    case 0xD8:
    case 0xDC: return true;  // arithmetic and compares
    case 0xD9: return reg == 0 || reg == 2 || reg == 3 || reg == 5 || reg == 7;  // moves, FLDCW, FNSTCW
    case 0xDB:                                                                   // FILD, FIST, FISTP m32
    case 0xDD:                                                                   // FLD, FST, FSTP m64
    case 0xDF: return reg == 0 || reg == 2 || reg == 3;                          // FILD, FIST, FISTP m16
    default: return false;
  }
}
bool has_register_entry(unsigned opcode, unsigned reg, unsigned rm) {
  switch (opcode) {
    case 0xD8: return true;  // arithmetic, FCOM, FCOMP
    case 0xDC: return reg != 2 && reg != 3;
    case 0xDE: return (reg != 2 && reg != 3) || (reg == 3 && rm == 1);  // arithmetic and pop, FCOMPP
    case 0xDA: return reg == 5 && rm == 1;  // FUCOMPP
    case 0xD9:
      // FLD ST(i), FXCH; FCHS, FABS, FTST, FXAM; FLD1 ... FLDZ; FSQRT
      return reg == 0 || reg == 1 || (reg == 4 && (rm <= 1 || rm == 4 || rm == 5)) || (reg == 5 && rm <= 6) ||
             (reg == 7 && rm == 2);
    case 0xDD: return reg >= 2 && reg <= 5;  // FST, FSTP, FUCOM, FUCOMP ST(i)
    default: return false;
  }
}

}  // namespace

// The operand address expression of the memory form, as the runtime's
// decoder would compute it from the ModRM, SIB and displacement bytes
// (segments are not applied: the runtime's x87 has none).
bool x87_operand_address(Emitter& e, std::string* out) {
  const Insn& in = *e.in;
  for (int k = 0; k < in.d.operand_count; k++) {
    const ZydisDecodedOperand& op = in.ops[k];
    if (op.type != ZYDIS_OPERAND_TYPE_MEMORY || op.mem.type != ZYDIS_MEMOP_TYPE_MEM) continue;
    try {
      *out = effective_address(e, op, false);
    } catch (const Unsupported&) {
      return false;
    }
    return true;
  }
  return false;
}

std::string x87_entry_call(const Insn& in, const std::string& address) {
  const unsigned opcode = in.d.opcode, mod = in.d.raw.modrm.mod, reg = in.d.raw.modrm.reg, rm = in.d.raw.modrm.rm;
  char name[40];
  if (mod != 3 && has_memory_entry(opcode, reg))
    snprintf(name, sizeof name, "X87_%02X_%u_m(", opcode, reg);
  else if (mod == 3 && has_register_entry(opcode, reg, rm))
    snprintf(name, sizeof name, "X87_%02X_%u_r(%u, X87S)", opcode, reg, rm);
  else
    return "";
  return mod != 3 ? name + address + ", X87S)" : name;
}

bool x87_direct(const Insn& in) {
  // Only the plain encodings: a prefix (operand size, segment, address
  // size) keeps the runtime's own decoding of the bytes.
  return !in.d.raw.prefix_count && in.d.address_width == 32 && in.d.opcode_map == ZYDIS_OPCODE_MAP_DEFAULT &&
         in.d.opcode >= 0xD8 && in.d.opcode <= 0xDF && in.d.raw.modrm.offset == 1;
}

bool emit_x87(Emitter& e) {
  const Insn& in = *e.in;
  if (!x87_direct(in)) return false;
  const unsigned opcode = in.d.opcode;
  const unsigned mod = in.d.raw.modrm.mod, reg = in.d.raw.modrm.reg, rm = in.d.raw.modrm.rm;
  const unsigned modrm = mod << 6 | reg << 3 | rm;
  std::string address = "0";
  if (mod != 3 && !x87_operand_address(e, &address)) return false;
  std::string call = x87_entry_call(in, address);
  if (call.empty() && opcode == 0xDF && modrm == 0xE0) {
    // FNSTSW AX: the status word into AX; it cannot fail.
    e.out += "eax = (eax & 0xFFFF0000u) | X87_status_word(X87S);\n";
    e.dirty |= 1u << R_EAX;
    return true;
  }
  if (call.empty()) {
    char name[32];
    snprintf(name, sizeof name, "0x%04X", opcode << 8 | modrm);
    call = "X87Exec(fx + " + hex(in.va) + ", " + name + ", " + address + ", F->env)";
  }
  e.out += "if (" + call + ") {\n";
  emit_x87_abandoned(e, in.va);
  e.out += "}\n";
  return true;
}

void emit_x87_abandoned(Emitter& e, u32 va) {
  // The frame stored with EIP on the instruction, then the raise.
  emit_exit(e, hex(va), "kChunkMissed", "x_x87_raise(fx + " + hex(va) + ");\n");
}
