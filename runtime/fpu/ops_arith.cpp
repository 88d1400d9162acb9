// Arithmetic and compare operations of the D8, DA, DC and DE rows and the
// unordered compares.
#include "ext_core.h"
#include "ext_double.h"
#include "fpu_direct.h"
#include "fpu_dispatch.h"
#include "fpu_memory.h"
#include "trevik.h"

// The memory operand of an arithmetic row (a normal single or double
// inline).
template <int Row>
static inline __attribute__((always_inline)) void load_operand(u32 address, ExtValue* m) {
  if (Row == ROW_D8) ext_load_float(address, m);
  else if (Row == ROW_DC) ext_load_double(address, m);
  else if (Row == ROW_DA) load_int32(address, m);
  else load_int16(address, m);
}

static void fucompp(FpuCall* c);

// The register forms of add and subtract when both registers are `Valid`
// (so neither is empty and no check can fail): the cores inline, with no
// other test. Returns false, having changed nothing, for every other case.
// Always inlined: with the state passed in, the entries keep no GOT base,
// and a call of its own cost a return more per FADD.
template <int Row, int Reg>
static inline __attribute__((always_inline)) bool arith_valid_registers(FpuState* state, u32 modrm) {
  u32 top = state->top;
  ExtValue* s0 = &state->regs[top & 7];
  ExtValue* si = &state->regs[(top + modrm) & 7];
  asm("" : "+r"(s0), "+r"(si));  // as in mul_valid_registers below
  ExtValue* dst = Row == ROW_D8 ? s0 : si;
  if (!ext_heads_valid(ext_head(s0), ext_head(si))) return false;
  switch (Reg) {
    case 0: ext_add_valid(s0, si, dst); break;
    case 4: ext_sub_valid(s0, si, dst); break;
    default: ext_sub_valid(si, s0, dst); break;
  }
  if (Row == ROW_DE) {
    s0->tag = TAG_EMPTY;
    state->top = top + 1;
  }
  return true;
}

// The register forms of multiply (the common product only): the result
// goes to the first operand, and EIP is advanced (and a pop made) before
// the product, so that only the operands' addresses and the head stay live
// across it. FMULP
// ST(0), ST(0) pops its own result and takes the general path.
// `env` is null for the direct entries, whose caller keeps EIP itself.
template <int Row>
static inline bool mul_valid_registers(u32 insn, FpuState* state, Env* env, u32 modrm) {
  u32 top = state->top;
  ExtValue* s0 = &state->regs[top & 7];
  ExtValue* si = &state->regs[(top + modrm) & 7];
  // Opaque to GCC, so that it addresses both records through these two
  // pointers (it otherwise keeps the scaled indices in stack slots).
  asm("" : "+r"(s0), "+r"(si));
  ExtValue* a = Row == ROW_D8 ? s0 : si;
  const ExtValue* b = Row == ROW_D8 ? si : s0;
  u32 head;
  if (!ext_mul_common_head(a, b, &head)) return false;
  if (Row == ROW_DE) {
    if ((modrm & 7) == 0) return false;
    s0->tag = TAG_EMPTY;
    state->top = top + 1;
  }
  if (env) env->EIP = insn + 2;
  ext_mul_common_product(a, b, head, a);
  return true;
}

template <int Row, int Reg>
int arith_entry(u32 insn, FpuState* state, Env* env) {
  u32 modrm = mem_read8(insn + 1);
  if (Reg == 1) {
    if (modrm >= 0xC0 && mul_valid_registers<Row>(insn, state, env, modrm)) return 0;
    return fpu_execute_cell(env, insn);
  }
  if (modrm >= 0xC0 && arith_valid_registers<Row, Reg>(state, modrm)) {
    env->EIP = insn + 2;
    return 0;
  }
  return fpu_execute_cell(env, insn);
}

// The direct entries (translated code): the register forms as above; the
// memory forms with ST(0) present and every exception masked compute at
// once (a masked exception cannot abandon them). Anything else runs the
// cell's operation on the decoded instruction.
template <int Row, int Reg>
static inline int arith_direct_register(u32 i, FpuState* s) {
  const u32 modrm = 0xC0 | Reg << 3 | i;
  if (Reg == 1) {
    if (mul_valid_registers<Row>(0, s, nullptr, modrm)) return 0;
  } else if (Reg >= 6) {
    // A quotient of two `Valid` registers raises nothing.
    u32 top = s->top;
    ExtValue* s0 = &s->regs[top & 7];
    ExtValue* si = &s->regs[(top + i) & 7];
    if (ext_heads_valid(ext_head(s0), ext_head(si))) {
      ExtValue* dst = Row == ROW_D8 ? s0 : si;
      if (Reg == 6) ext_div(s0, si, dst);
      else ext_div(si, s0, dst);
      if (Row == ROW_DE) {
        s0->tag = TAG_EMPTY;
        s->top = top + 1;
      }
      return 0;
    }
  } else if (arith_valid_registers<Row, Reg>(s, modrm)) {
    return 0;
  }
  return fpu_run_decoded(Row, modrm, 0);
}

template <int Row, int Reg>
static inline int arith_direct_memory(u32 address, FpuState* s) {
  ExtValue* s0 = fpu_reg(s, 0);
  if (__builtin_expect(s0->tag == TAG_EMPTY || !fpu_all_masked(s), 0)) return fpu_run_decoded(Row, Reg << 3, address);
  ExtValue m;
  load_operand<Row>(address, &m);
  switch (Reg) {
    case 0: ext_add_hot(&m, s0, s0); break;
    case 1: ext_mul_hot(s0, &m, s0); break;
    case 4: ext_sub_hot(s0, &m, s0); break;
    case 5: ext_sub_hot(&m, s0, s0); break;
    case 6: ext_div(s0, &m, s0); break;
    default: ext_div(&m, s0, s0); break;
  }
  return 0;
}

void X87_value_sum(const ExtValue* a, const ExtValue* b, ExtValue* r) { ext_add(a, b, r); }
void X87_value_difference(const ExtValue* a, const ExtValue* b, ExtValue* r) { ext_sub(a, b, r); }
void X87_value_product(const ExtValue* a, const ExtValue* b, ExtValue* r) { ext_mul(a, b, r); }
void X87_value_quotient(const ExtValue* a, const ExtValue* b, ExtValue* r) { ext_div(a, b, r); }

template <int Row, int Reg>
void op_arith(FpuCall* c) {
  if (!fpu_check(0)) return;
  ExtValue* s0 = fpu_st(0);
  if (!fpu_is_register_form(c)) {
    ExtValue m;
    load_operand<Row>(c->address, &m);
    switch (Reg) {
      case 0:
        if (Row == ROW_D8 || Row == ROW_DC) ext_add_hot(&m, s0, s0);
        else ext_add_hot(s0, &m, s0);
        break;
      case 1: ext_mul_hot(s0, &m, s0); break;
      case 4: ext_sub_hot(s0, &m, s0); break;
      case 5: ext_sub_hot(&m, s0, s0); break;
      case 6: ext_div(s0, &m, s0); break;
      default: ext_div(&m, s0, s0); break;
    }
    return;
  }
  if (Row == ROW_DA) {
    if (Reg == 5 && fpu_rm(c) == 1) fucompp(c);
    else fpu_unimplemented(c);
    return;
  }
  u32 i = fpu_rm(c);
  if (!fpu_check(i)) return;
  ExtValue* si = fpu_st(i);
  ExtValue* dst = Row == ROW_D8 ? s0 : si;
  switch (Reg) {
    case 0: ext_add_hot(s0, si, dst); break;
    case 1:
      if (Row == ROW_D8) ext_mul_hot(s0, si, dst);
      else ext_mul_hot(si, s0, dst);
      break;
    case 4: ext_sub_hot(s0, si, dst); break;
    case 5: ext_sub_hot(si, s0, dst); break;
    case 6: ext_div(s0, si, dst); break;
    default: ext_div(si, s0, dst); break;
  }
  if (Row == ROW_DE) fpu_pop();
}

#define ARITH_ROW(Row)                                                                              \
  template void op_arith<Row, 0>(FpuCall*);                                                         \
  template void op_arith<Row, 1>(FpuCall*);                                                         \
  template void op_arith<Row, 4>(FpuCall*);                                                         \
  template void op_arith<Row, 5>(FpuCall*);                                                         \
  template void op_arith<Row, 6>(FpuCall*);                                                         \
  template void op_arith<Row, 7>(FpuCall*);
#define ARITH_ENTRIES(Row)                                                                          \
  template int arith_entry<Row, 0>(u32, FpuState*, Env*);                                                      \
  template int arith_entry<Row, 1>(u32, FpuState*, Env*);                                                      \
  template int arith_entry<Row, 4>(u32, FpuState*, Env*);                                                      \
  template int arith_entry<Row, 5>(u32, FpuState*, Env*);
#define X87_DEFINE_ARITH_MEMORY(row, reg) \
  int X87_##row##_##reg##_m(u32 address, FpuState* s) { return arith_direct_memory<ROW_##row, reg>(address, s); }
#define X87_DEFINE_ARITH_REGISTER(row, reg) \
  int X87_##row##_##reg##_r(u32 i, FpuState* s) { return arith_direct_register<ROW_##row, reg>(i & 7, s); }
X87_ARITH_REGS(X87_DEFINE_ARITH_MEMORY, D8)
X87_ARITH_REGS(X87_DEFINE_ARITH_MEMORY, DC)
X87_ARITH_REGS(X87_DEFINE_ARITH_REGISTER, D8)
X87_ARITH_REGS(X87_DEFINE_ARITH_REGISTER, DC)
X87_ARITH_REGS(X87_DEFINE_ARITH_REGISTER, DE)
ARITH_ENTRIES(ROW_D8)
ARITH_ENTRIES(ROW_DC)
ARITH_ENTRIES(ROW_DE)
ARITH_ROW(ROW_D8)
ARITH_ROW(ROW_DA)
ARITH_ROW(ROW_DC)
ARITH_ROW(ROW_DE)

// Condition codes from a comparison result, then the invalid operation:
// for every unordered result, or (unordered compares) only a signalling one.
static inline void raise_compare(int r, bool unordered_compare) {
  if ((r & 0x40) && (!unordered_compare || (r & 0x80))) fpu_raise(FPU_EX_INVALID);
}
static inline void finish_compare(int r, bool unordered_compare, FpuState* s = &fpu_state) {
  // Unordered sets all three; computed, not looked up (a table's address
  // would need the GOT in every direct compare).
  const u32 cc = (r == CMP_EQUAL || (r & 0x40) ? SW_C3 : 0) | (r == CMP_LESS || (r & 0x40) ? SW_C0 : 0) |
                 (r & 0x40 ? SW_C2 : 0);
  fpu_set_cc(cc, s);
  raise_compare(r, unordered_compare);
}

// The register compares: an empty ST(i) reports unordered.
static bool check_compare_operand(u32 i) {
  if (fpu_check(i)) return true;
  fpu_set_cc(SW_C3 | SW_C2 | SW_C0);
  return false;
}

// FCOMPP and FUCOMPP.
static void compare_pop_both(FpuCall* c, bool unordered_compare) {
  if (!check_compare_operand(1)) return;
  int r = ext_compare(fpu_st(0), fpu_st(1));
  fpu_st(0)->tag = TAG_EMPTY;
  fpu_st(1)->tag = TAG_EMPTY;
  fpu_state.top += 2;
  finish_compare(r, unordered_compare);
}

static void fucompp(FpuCall* c) { compare_pop_both(c, true); }

template <int Row, bool Pop>
void op_compare(FpuCall* c) {
  if (!fpu_check(0)) return;
  int r;
  if (fpu_is_register_form(c)) {
    if (Row == ROW_DE && Pop && fpu_rm(c) == 1) {
      compare_pop_both(c, false);
      return;
    }
    if (Row != ROW_D8) {
      fpu_unimplemented(c);
      return;
    }
    if (!check_compare_operand(fpu_rm(c))) return;
    r = ext_compare(fpu_st(0), fpu_st(fpu_rm(c)));
  } else {
    ExtValue m;
    load_operand<Row>(c->address, &m);
    r = ext_compare(fpu_st(0), &m);
  }
  if (Pop) fpu_pop();
  finish_compare(r, false);
}
template void op_compare<ROW_D8, false>(FpuCall*);
template void op_compare<ROW_D8, true>(FpuCall*);
template void op_compare<ROW_DA, false>(FpuCall*);
template void op_compare<ROW_DA, true>(FpuCall*);
template void op_compare<ROW_DC, false>(FpuCall*);
template void op_compare<ROW_DC, true>(FpuCall*);
template void op_compare<ROW_DE, false>(FpuCall*);
template void op_compare<ROW_DE, true>(FpuCall*);

static void fucom(FpuCall* c, bool pop) {
  if (!fpu_check(0)) return;
  if (!check_compare_operand(fpu_rm(c))) return;
  int r = ext_compare(fpu_st(0), fpu_st(fpu_rm(c)));
  if (pop) fpu_pop();
  finish_compare(r, true);
}
void op_fucom(FpuCall* c) { fucom(c, false); }
void op_fucomp(FpuCall* c) { fucom(c, true); }

// The direct compares (translated code): with the operands present and
// every exception masked (so that an unordered result cannot abandon the
// instruction) at once, anything else through the cell's operation.
template <bool Unordered, int Pops>
static inline int compare_direct_register(u32 i, FpuState* s, u32 modrm, u32 row) {
  ExtValue* s0 = fpu_reg(s, 0);
  ExtValue* si = fpu_reg(s, i);
  if (__builtin_expect(s0->tag == TAG_EMPTY || si->tag == TAG_EMPTY || !fpu_all_masked(s) || (Pops == 2 && i != 1), 0))
    return fpu_run_decoded(row, modrm, 0);
  int r = ext_compare_hot(s0, si);
  if (Pops) {
    s0->tag = TAG_EMPTY;
    if (Pops == 2) si->tag = TAG_EMPTY;
    s->top += Pops;
  }
  finish_compare(r, Unordered, s);
  return 0;
}

template <int Row, bool Pop>
static inline int compare_direct_memory(u32 address, FpuState* s) {
  ExtValue* s0 = fpu_reg(s, 0);
  if (__builtin_expect(s0->tag == TAG_EMPTY || !fpu_all_masked(s), 0))
    return fpu_run_decoded(Row, (Pop ? 3 : 2) << 3, address);
  ExtValue m;
  load_operand<Row>(address, &m);
  int r = ext_compare_hot(s0, &m);
  if (Pop) fpu_pop(s);
  finish_compare(r, false, s);
  return 0;
}

int X87_D8_2_m(u32 address, FpuState* s) { return compare_direct_memory<ROW_D8, false>(address, s); }
int X87_D8_3_m(u32 address, FpuState* s) { return compare_direct_memory<ROW_D8, true>(address, s); }
int X87_DC_2_m(u32 address, FpuState* s) { return compare_direct_memory<ROW_DC, false>(address, s); }
int X87_DC_3_m(u32 address, FpuState* s) { return compare_direct_memory<ROW_DC, true>(address, s); }
int X87_D8_2_r(u32 i, FpuState* s) { return compare_direct_register<false, 0>(i & 7, s, 0xD0 | (i & 7), ROW_D8); }
int X87_D8_3_r(u32 i, FpuState* s) { return compare_direct_register<false, 1>(i & 7, s, 0xD8 | (i & 7), ROW_D8); }
int X87_DD_4_r(u32 i, FpuState* s) { return compare_direct_register<true, 0>(i & 7, s, 0xE0 | (i & 7), ROW_DD); }
int X87_DD_5_r(u32 i, FpuState* s) { return compare_direct_register<true, 1>(i & 7, s, 0xE8 | (i & 7), ROW_DD); }
int X87_DE_3_r(u32 i, FpuState* s) { return compare_direct_register<false, 2>(i & 7, s, 0xD8 | (i & 7), ROW_DE); }
int X87_DA_5_r(u32 i, FpuState* s) { return compare_direct_register<true, 2>(i & 7, s, 0xE8 | (i & 7), ROW_DA); }

// A compare's result as FCOMI sets EFLAGS: ZF, PF and CF.
static inline u32 order_flags(int r) {
  constexpr u32 ZF = 0x40, PF = 0x04, CF = 0x01;
  return r == CMP_GREATER ? 0 : r == CMP_EQUAL ? ZF : r == CMP_LESS ? CF : ZF | PF | CF;
}
u32 X87_value_order(ExtValue* a, ExtValue* b, u32 unordered) {
  const int r = ext_compare(a, b);
  raise_compare(r, unordered != 0);
  return order_flags(r);
}

// FCOMI, FUCOMI and their pops. An empty register or an unmasked
// exception takes the compare's own cell (FCOM or FUCOM ST(i)), whose
// condition codes give the flags and are then put back as they were.
template <bool Unordered, bool Pop>
static inline u32 compare_to_flags(u32 i, FpuState* s) {
  constexpr u32 ZF = 0x40, PF = 0x04, CF = 0x01;
  ExtValue* s0 = fpu_reg(s, 0);
  ExtValue* si = fpu_reg(s, i);
  u32 flags;
  if (__builtin_expect(s0->tag != TAG_EMPTY && si->tag != TAG_EMPTY && fpu_all_masked(s), 1)) {
    int r = ext_compare_hot(s0, si);
    flags = order_flags(r);
    fpu_clear_c1(s);
    raise_compare(r, Unordered);
  } else {
    // Unordered unless the cell sets the codes (an empty ST(0) leaves them).
    const u32 kept = s->status & (SW_C0 | SW_C2 | SW_C3);
    s->status |= SW_C0 | SW_C2 | SW_C3;
    const int abandoned = Unordered ? fpu_run_decoded(ROW_DD, 0xE0 | i, 0) : fpu_run_decoded(ROW_D8, 0xD0 | i, 0);
    const u32 sw = s->status;
    s->status = (sw & ~(SW_C0 | SW_C2 | SW_C3)) | kept;
    if (abandoned) return X87_ABANDONED;
    flags = (sw & SW_C3 ? ZF : 0) | (sw & SW_C2 ? PF : 0) | (sw & SW_C0 ? CF : 0);
  }
  if (Pop) fpu_pop(s);
  return flags;
}
u32 X87_DB_5_r(u32 i, FpuState* s) { return compare_to_flags<true, false>(i & 7, s); }
u32 X87_DB_6_r(u32 i, FpuState* s) { return compare_to_flags<false, false>(i & 7, s); }
u32 X87_DF_5_r(u32 i, FpuState* s) { return compare_to_flags<true, true>(i & 7, s); }
u32 X87_DF_6_r(u32 i, FpuState* s) { return compare_to_flags<false, true>(i & 7, s); }
