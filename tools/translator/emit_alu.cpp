// Integer data instructions: moves, arithmetic, logic, shifts, multiply
// and divide, bit tests, conditional moves and sets.
#include "emit.h"

namespace {

std::string w_of(const Loc& l) { return std::to_string(l.width); }

// The template arguments of a flag helper: the width, and AF = false when
// no instruction reads AF before it is set again.
std::string flag_args(Emitter& e, const Loc& l) {
  auto live = e.flags_live->find(e.in->next());
  const bool af_dead = live != e.flags_live->end() && !(live->second & D_AF);
  return "<" + w_of(l) + (af_dead ? ", false>" : ">");
}

// dst = op(dst, src), flags from the helper.
void binary(Emitter& e, const char* helper, bool store) {
  Loc d = op_loc(e, 0), s = op_loc(e, 1);
  std::string a = op_read(e, d), b = op_read(e, s);
  std::string w = w_of(d);
  e.out += "const u32 a = " + a + ", b = " + b + ";\n";
  std::string call = std::string(helper) + flag_args(e, d) + "(fl, a, b)";
  if (store)
    op_write(e, d, call);
  else
    e.out += call + ";\n";
  e.dirty |= D_FLAGS;
}

void logic(Emitter& e, const char* op, bool store) {
  Loc d = op_loc(e, 0), s = op_loc(e, 1);
  std::string w = w_of(d);
  e.out += "const u32 r0 = " + op_read(e, d) + " " + op + " " + op_read(e, s) + ";\n";
  e.out += "x_logic" + flag_args(e, d) + "(fl, r0);\n";
  if (store) op_write(e, d, "r0");
  e.dirty |= D_FLAGS;
}

void unary(Emitter& e, const char* helper, unsigned flags) {
  Loc d = op_loc(e, 0);
  e.out += "const u32 a = " + op_read(e, d) + ";\n";
  op_write(e, d, std::string(helper) + flag_args(e, d) + "(fl, a)");
  e.dirty |= flags;
}

void shift(Emitter& e, const char* helper, unsigned flags) {
  Loc d = op_loc(e, 0);
  std::string count = "1u";
  if (e.in->d.operand_count_visible >= 2) {
    Loc c = op_loc(e, 1);
    count = op_read(e, c);
  }
  e.out += "const u32 a = " + op_read(e, d) + ", c = " + count + ";\n";
  op_write(e, d, std::string(helper) + "<" + w_of(d) + ">(fl, a, c)");
  e.dirty |= flags;
}

void double_shift(Emitter& e, const char* helper) {
  Loc d = op_loc(e, 0), s = op_loc(e, 1), c = op_loc(e, 2);
  e.out += "const u32 a = " + op_read(e, d) + ", b = " + op_read(e, s) + ", c = " + op_read(e, c) + ";\n";
  op_write(e, d, std::string(helper) + "<" + w_of(d) + ">(fl, a, b, c)");
  e.dirty |= D_FLAGS;
}

// One-operand MUL, IMUL, DIV and IDIV on AL/AX/EAX with AH/DX/EDX.
void wide_multiply(Emitter& e, bool is_signed) {
  Loc s = op_loc(e, 0);
  std::string w = w_of(s);
  e.out += "const u32 b = " + op_read(e, s) + ";\n";
  if (s.width == 8) {
    e.out += "const uint64_t p = x_mul_wide<8>(fl, eax & 0xFFu, b, " + std::string(is_signed ? "true" : "false") + ");\n";
    reg_write(e, R_EAX, 1, "static_cast<u32>(p)");
  } else {
    e.out += "const uint64_t p = x_mul_wide<" + w + ">(fl, " + reg_read(R_EAX, s.width == 16 ? 1 : 0) + ", b, " +
             (is_signed ? "true" : "false") + ");\n";
    int part = s.width == 16 ? 1 : 0;
    reg_write(e, R_EAX, part, "static_cast<u32>(p)");
    reg_write(e, R_EDX, part, "static_cast<u32>(p >> " + w + ")");
  }
  e.dirty |= D_FLAGS;
}

void wide_divide(Emitter& e, bool is_signed) {
  Loc s = op_loc(e, 0);
  std::string w = w_of(s);
  std::string fn = is_signed ? "x_divs<" : "x_divu<";
  e.out += "const u32 d = " + op_read(e, s) + ";\nu32 q, r;\n";
  std::string hi, lo;
  if (s.width == 8) {
    hi = "((eax >> 8) & 0xFFu)";
    lo = "(eax & 0xFFu)";
  } else {
    int part = s.width == 16 ? 1 : 0;
    hi = reg_read(R_EDX, part);
    lo = reg_read(R_EAX, part);
  }
  e.out += "if (!" + fn + w + ">(" + hi + ", " + lo + ", d, &q, &r)) x_divide_error(fx + " + hex(e.in->va) +
           ", d == 0);\n";
  if (s.width == 8) {
    reg_write(e, R_EAX, 1, "q | r << 8");
  } else {
    int part = s.width == 16 ? 1 : 0;
    reg_write(e, R_EAX, part, "q");
    reg_write(e, R_EDX, part, "r");
  }
}

void imul(Emitter& e) {
  int n = e.in->d.operand_count_visible;
  if (n == 1) return wide_multiply(e, true);
  Loc d = op_loc(e, 0), a = op_loc(e, 1);
  std::string sa = op_read(e, a), sb;
  if (n == 3) {
    Loc b = op_loc(e, 2);
    sb = op_read(e, b);
  } else {
    sb = sa;
    sa = op_read(e, d);
  }
  e.out += "const u32 a = " + sa + ", b = " + sb + ";\n";
  op_write(e, d, "x_imul<" + w_of(d) + ">(fl, a, b)");
  e.dirty |= D_FLAGS;
}

// BT, BTS, BTR, BTC: CF = the bit; `op` changes it (empty: only test).
void bit_test(Emitter& e, const char* op) {
  Loc d = op_loc(e, 0), s = op_loc(e, 1);
  bit_operand(e, d, s);
  e.out += "const u32 a = " + op_read(e, d) + ";\n";
  e.out += "fl.cf = (a >> n) & 1;\n";
  e.dirty |= D_CF;
  std::string o = op;
  if (o == "s") op_write(e, d, "a | (1u << n)");
  if (o == "r") op_write(e, d, "a & ~(1u << n)");
  if (o == "c") op_write(e, d, "a ^ (1u << n)");
}

}  // namespace

void bit_operand(Emitter& e, Loc& d, const Loc& s) {
  const std::string bit = op_read(e, s);
  if (d.kind == Loc::MEM && s.kind == Loc::REG) {
    // A register bit offset reaches beyond the addressed word.
    std::string shift = d.width == 16 ? "4" : "5", bytes = d.width == 16 ? "2" : "4";
    std::string t = new_temp(e);
    e.out += "const i32 off = x_sx<" + w_of(d) + ">(" + bit + ");\n";
    e.out += "const u32 " + t + " = " + d.text + " + static_cast<u32>(off >> " + shift + ") * " + bytes + "u;\n";
    d.text = t;
    d.aligned = false;
  }
  e.out += "const u32 n = " + bit + " & " + std::to_string(d.width - 1) + "u;\n";
}

bool emit_alu(Emitter& e) {
  const ZydisMnemonic m = e.in->d.mnemonic;
  switch (m) {
    case ZYDIS_MNEMONIC_MOV: {
      Loc d = op_loc(e, 0), s = op_loc(e, 1);
      if (d.width != s.width && s.kind != Loc::IMM) return false;  // segment moves
      op_write(e, d, op_read(e, s));
      return true;
    }
    case ZYDIS_MNEMONIC_MOVZX: {
      Loc d = op_loc(e, 0), s = op_loc(e, 1);
      op_write(e, d, op_read(e, s));
      return true;
    }
    case ZYDIS_MNEMONIC_MOVSX: {
      Loc d = op_loc(e, 0), s = op_loc(e, 1);
      op_write(e, d, "static_cast<u32>(x_sx<" + w_of(s) + ">(" + op_read(e, s) + "))");
      return true;
    }
    case ZYDIS_MNEMONIC_LEA: {
      Loc d = op_loc(e, 0);
      // `lea esi, [esi + 0]`: the padding compilers put before an aligned
      // label changes nothing, and must not count as a write of esi that
      // the block's way out stores.
      const ZydisDecodedOperandMem& m = e.in->ops[1].mem;
      if (d.width == 32 && e.in->d.address_width == 32 && m.base == e.in->ops[0].reg.value &&
          m.index == ZYDIS_REGISTER_NONE && m.disp.value == 0 && !e.in->reloc_disp)
        return true;
      if (e.in->d.address_width == 16) {
        op_write(e, d, address16(e.in->ops[1].mem));
        return true;
      }
      op_write(e, d, effective_address(e, e.in->ops[1], false));
      return true;
    }
    case ZYDIS_MNEMONIC_XCHG: {
      Loc a = op_loc(e, 0), b = op_loc(e, 1);
      e.out += "const u32 va = " + op_read(e, a) + ", vb = " + op_read(e, b) + ";\n";
      op_write(e, a, "vb");
      op_write(e, b, "va");
      return true;
    }
    case ZYDIS_MNEMONIC_BSWAP: {
      Loc d = op_loc(e, 0);
      if (d.width != 32) return false;
      op_write(e, d, "__builtin_bswap32(" + op_read(e, d) + ")");
      return true;
    }
    case ZYDIS_MNEMONIC_ADD: binary(e, "x_add", true); return true;
    case ZYDIS_MNEMONIC_ADC: binary(e, "x_adc", true); return true;
    case ZYDIS_MNEMONIC_SUB: binary(e, "x_sub", true); return true;
    case ZYDIS_MNEMONIC_SBB: binary(e, "x_sbb", true); return true;
    case ZYDIS_MNEMONIC_CMP: {
      Loc d = op_loc(e, 0), s = op_loc(e, 1);
      e.out += "ca = " + op_read(e, d) + "; cb = " + op_read(e, s) + ";\n";
      e.pending_flags = "x_sub" + flag_args(e, d) + "(fl, ca, cb);\n";
      e.dirty |= D_FLAGS;
      return true;
    }
    case ZYDIS_MNEMONIC_AND: logic(e, "&", true); return true;
    case ZYDIS_MNEMONIC_OR: logic(e, "|", true); return true;
    case ZYDIS_MNEMONIC_XOR: logic(e, "^", true); return true;
    case ZYDIS_MNEMONIC_TEST: logic(e, "&", false); return true;
    case ZYDIS_MNEMONIC_INC: unary(e, "x_inc", D_OF | D_SZP); return true;
    case ZYDIS_MNEMONIC_DEC: unary(e, "x_dec", D_OF | D_SZP); return true;
    case ZYDIS_MNEMONIC_NEG: unary(e, "x_neg", D_FLAGS); return true;
    case ZYDIS_MNEMONIC_NOT: {
      Loc d = op_loc(e, 0);
      op_write(e, d, "~" + op_read(e, d) + " & " + mask_text(d.width));
      return true;
    }
    case ZYDIS_MNEMONIC_SHL: shift(e, "x_shl", D_FLAGS); return true;
    case ZYDIS_MNEMONIC_SHR: shift(e, "x_shr", D_FLAGS); return true;
    case ZYDIS_MNEMONIC_SAR: shift(e, "x_sar", D_FLAGS); return true;
    case ZYDIS_MNEMONIC_ROL: shift(e, "x_rol", D_CF | D_OF); return true;
    case ZYDIS_MNEMONIC_ROR: shift(e, "x_ror", D_CF | D_OF); return true;
    case ZYDIS_MNEMONIC_RCL: shift(e, "x_rcl", D_CF | D_OF); return true;
    case ZYDIS_MNEMONIC_RCR: shift(e, "x_rcr", D_CF | D_OF); return true;
    case ZYDIS_MNEMONIC_SHLD: double_shift(e, "x_shld"); return true;
    case ZYDIS_MNEMONIC_SHRD: double_shift(e, "x_shrd"); return true;
    case ZYDIS_MNEMONIC_IMUL: imul(e); return true;
    case ZYDIS_MNEMONIC_MUL: wide_multiply(e, false); return true;
    case ZYDIS_MNEMONIC_DIV: wide_divide(e, false); return true;
    case ZYDIS_MNEMONIC_IDIV: wide_divide(e, true); return true;
    case ZYDIS_MNEMONIC_CBW: reg_write(e, R_EAX, 1, "static_cast<u32>(x_sx<8>(eax & 0xFFu))"); return true;
    case ZYDIS_MNEMONIC_CWDE: reg_write(e, R_EAX, 0, "static_cast<u32>(x_sx<16>(eax & 0xFFFFu))"); return true;
    case ZYDIS_MNEMONIC_CWD: reg_write(e, R_EDX, 1, "(eax & 0x8000u) ? 0xFFFFu : 0u"); return true;
    case ZYDIS_MNEMONIC_CDQ: reg_write(e, R_EDX, 0, "static_cast<u32>(static_cast<i32>(eax) >> 31)"); return true;
    case ZYDIS_MNEMONIC_BT: bit_test(e, ""); return true;
    case ZYDIS_MNEMONIC_BTS: bit_test(e, "s"); return true;
    case ZYDIS_MNEMONIC_BTR: bit_test(e, "r"); return true;
    case ZYDIS_MNEMONIC_BTC: bit_test(e, "c"); return true;
    // REP BSF and REP BSR (gcc's tuning writes them for __builtin_ctz) are
    // TZCNT and LZCNT only on processors with BMI; the guest's has none
    // and runs them as BSF and BSR.
    case ZYDIS_MNEMONIC_TZCNT:
    case ZYDIS_MNEMONIC_LZCNT:
    case ZYDIS_MNEMONIC_BSF:
    case ZYDIS_MNEMONIC_BSR: {
      Loc d = op_loc(e, 0), s = op_loc(e, 1);
      const bool forward = m == ZYDIS_MNEMONIC_BSF || m == ZYDIS_MNEMONIC_TZCNT;
      e.out += "const u32 s = " + op_read(e, s) + ";\n";
      op_write(e, d, std::string(forward ? "x_bsf" : "x_bsr") + "(fl, s, " + op_read(e, d) + ")");
      e.dirty |= D_SZP;
      return true;
    }
    case ZYDIS_MNEMONIC_XADD: {
      Loc d = op_loc(e, 0), s = op_loc(e, 1);
      e.out += "const u32 a = " + op_read(e, d) + ", b = " + op_read(e, s) + ";\n";
      e.out += "const u32 r0 = x_add" + flag_args(e, d) + "(fl, a, b);\n";
      op_write(e, s, "a");
      op_write(e, d, "r0");
      e.dirty |= D_FLAGS;
      return true;
    }
    case ZYDIS_MNEMONIC_CMPXCHG: {
      Loc d = op_loc(e, 0), s = op_loc(e, 1);
      int part = d.width == 8 ? 2 : d.width == 16 ? 1 : 0;
      e.out += "const u32 a = " + op_read(e, d) + ", acc = " + reg_read(R_EAX, part) + ";\n";
      e.out += "x_sub" + flag_args(e, d) + "(fl, acc, a);\n";
      e.out += "if (acc == a) {\n";
      op_write(e, d, op_read(e, s));
      e.out += "} else {\n";
      reg_write(e, R_EAX, part, "a");
      e.out += "}\n";
      e.dirty |= D_FLAGS;
      return true;
    }
    default:
      break;
  }
  int cc = condition_of(m);
  if (cc >= 0 && e.in->d.meta.category == ZYDIS_CATEGORY_SETCC) {
    Loc d = op_loc(e, 0);
    op_write(e, d, "(" + condition_text(e, cc) + ") ? 1u : 0u");
    return true;
  }
  if (cc >= 0 && e.in->d.meta.category == ZYDIS_CATEGORY_CMOV) {
    Loc d = op_loc(e, 0), s = op_loc(e, 1);
    e.out += "const u32 v = " + op_read(e, s) + ";\nif (" + condition_text(e, cc) + ") {\n";
    op_write(e, d, "v");
    e.out += "}\n";
    return true;
  }
  return false;
}
