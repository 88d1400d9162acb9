// Locked instructions: with the LOCK prefix, and XCHG with a memory
// operand (locked without it). Guest threads run in parallel, so each
// becomes one atomic operation on the guest operand (support/xlat_atomic.h)
// and its flags are computed, as the plain form's, from the old value the
// atomic operation observed.
#include <utility>

#include "emit.h"

namespace {

std::string w_of(const Loc& l) { return std::to_string(l.width); }

// The destination of a locked instruction is always memory.
Loc locked_destination(Emitter& e) {
  Loc d = op_loc(e, 0);
  if (d.kind != Loc::MEM || (d.width != 8 && d.width != 16 && d.width != 32)) throw Unsupported{};
  return d;
}

// ADD, SUB, AND, OR, XOR through their fetch-ops: the flags of the plain
// form from the old value `a` and the source `b` are `flags`<W>(fl, `args`).
void fetch_op(Emitter& e, const char* op, const char* flags, const char* args) {
  Loc d = locked_destination(e), s = op_loc(e, 1);
  const std::string w = w_of(d);
  e.out += "const u32 b = " + op_read(e, s) + ";\n";
  e.out += "const u32 a = x_lock_" + std::string(op) + "<" + w + ">(" + d.text + ", b);\n";
  e.out += std::string(flags) + "<" + w + ">(fl, " + args + ");\n";
  e.dirty |= D_FLAGS;
}

// INC, DEC: CF stays.
void step(Emitter& e, const char* op, const char* flags) {
  Loc d = locked_destination(e);
  const std::string w = w_of(d);
  e.out += std::string(flags) + "<" + w + ">(fl, x_lock_" + op + "<" + w + ">(" + d.text + ", 1u));\n";
  e.dirty |= D_OF | D_SZP;
}

// ADC, SBB, NEG: a compare-exchange loop around the plain helper.
void update(Emitter& e, const char* helper, bool has_source) {
  Loc d = locked_destination(e);
  const std::string w = w_of(d);
  std::string b = "0u";
  if (has_source) {
    Loc s = op_loc(e, 1);
    b = op_read(e, s);
  }
  e.out += "x_lock_update<" + w + ", " + helper + "<" + w + ">>(fl, " + d.text + ", " + b + ");\n";
  e.dirty |= D_FLAGS;
}

// BTS, BTR, BTC: CF = the bit before the fetch-op changed it.
void bit_op(Emitter& e, const char* op, const char* mask) {
  Loc d = locked_destination(e), s = op_loc(e, 1);
  bit_operand(e, d, s);
  e.out += "fl.cf = (x_lock_" + std::string(op) + "<" + w_of(d) + ">(" + d.text + ", " + mask + ") >> n) & 1;\n";
  e.dirty |= D_CF;
}

void exchange(Emitter& e) {
  Loc a = op_loc(e, 0), b = op_loc(e, 1);
  if (a.kind != Loc::MEM) std::swap(a, b);
  if (a.kind != Loc::MEM || b.kind != Loc::REG) throw Unsupported{};
  e.out += "const u32 v = " + op_read(e, b) + ";\n";
  op_write(e, b, "x_lock_xchg<" + w_of(a) + ">(" + a.text + ", v)");
}

void exchange_add(Emitter& e) {
  Loc d = locked_destination(e), s = op_loc(e, 1);
  const std::string w = w_of(d);
  e.out += "const u32 b = " + op_read(e, s) + ";\n";
  e.out += "const u32 a = x_lock_add<" + w + ">(" + d.text + ", b);\n";
  e.out += "x_add<" + w + ">(fl, a, b);\n";
  op_write(e, s, "a");
  e.dirty |= D_FLAGS;
}

void compare_exchange(Emitter& e) {
  Loc d = locked_destination(e), s = op_loc(e, 1);
  const std::string w = w_of(d);
  const int part = d.width == 8 ? 2 : d.width == 16 ? 1 : 0;
  e.out += "const u32 acc = " + reg_read(R_EAX, part) + ", v = " + op_read(e, s) + ";\n";
  e.out += "const u32 a = x_lock_cmpxchg<" + w + ">(" + d.text + ", acc, v);\n";
  e.out += "x_sub<" + w + ">(fl, acc, a);\n";
  e.out += "if (acc != a) {\n";
  reg_write(e, R_EAX, part, "a");
  e.out += "}\n";
  e.dirty |= D_FLAGS;
}

}  // namespace

bool emit_locked(Emitter& e) {
  const Insn& in = *e.in;
  const ZydisMnemonic m = in.d.mnemonic;
  const bool memory_xchg = m == ZYDIS_MNEMONIC_XCHG && (in.ops[0].type == ZYDIS_OPERAND_TYPE_MEMORY ||
                                                        in.ops[1].type == ZYDIS_OPERAND_TYPE_MEMORY);
  if (!(in.d.attributes & ZYDIS_ATTRIB_HAS_LOCK) && !memory_xchg) return false;
  switch (m) {
    case ZYDIS_MNEMONIC_ADD: fetch_op(e, "add", "x_add", "a, b"); break;
    case ZYDIS_MNEMONIC_SUB: fetch_op(e, "sub", "x_sub", "a, b"); break;
    case ZYDIS_MNEMONIC_AND: fetch_op(e, "and", "x_logic", "a & b"); break;
    case ZYDIS_MNEMONIC_OR: fetch_op(e, "or", "x_logic", "a | b"); break;
    case ZYDIS_MNEMONIC_XOR: fetch_op(e, "xor", "x_logic", "a ^ b"); break;
    case ZYDIS_MNEMONIC_INC: step(e, "add", "x_inc"); break;
    case ZYDIS_MNEMONIC_DEC: step(e, "sub", "x_dec"); break;
    case ZYDIS_MNEMONIC_ADC: update(e, "x_adc", true); break;
    case ZYDIS_MNEMONIC_SBB: update(e, "x_sbb", true); break;
    case ZYDIS_MNEMONIC_NEG: update(e, "x_neg_of", false); break;
    case ZYDIS_MNEMONIC_NOT: {
      Loc d = locked_destination(e);
      e.out += "x_lock_xor<" + w_of(d) + ">(" + d.text + ", " + mask_text(d.width) + ");\n";
      break;
    }
    case ZYDIS_MNEMONIC_BTS: bit_op(e, "or", "1u << n"); break;
    case ZYDIS_MNEMONIC_BTR: bit_op(e, "and", "~(1u << n)"); break;
    case ZYDIS_MNEMONIC_BTC: bit_op(e, "xor", "1u << n"); break;
    case ZYDIS_MNEMONIC_XCHG: exchange(e); break;
    case ZYDIS_MNEMONIC_XADD: exchange_add(e); break;
    case ZYDIS_MNEMONIC_CMPXCHG: compare_exchange(e); break;
    default: throw Unsupported{};
  }
  return true;
}
