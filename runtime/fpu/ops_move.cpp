// Loads, stores, register moves and constants.
#include "ext_double.h"
#include "fpu_direct.h"
#include "fpu_dispatch.h"
#include "fpu_operand.h"

typedef void (*Loader)(u32, ExtValue*);
typedef void (*Storer)(const ExtValue*, u32);

// Push check, push, convert the memory operand into the new ST(0).
static void load_push(FpuCall* c, Loader load) {
  if (!fpu_push_check()) return;
  fpu_state.top--;
  u32 address;
  if (!fpu_address(c, &address)) return;
  load(address, fpu_st(0));
}

// The register forms of the integer and extended loads: the push check is
// made before the form is found unimplemented.
static void load_or_unimplemented(FpuCall* c, Loader load) {
  if (fpu_is_register_form(c)) {
    if (fpu_push_check()) fpu_unimplemented(c);
    return;
  }
  load_push(c, load);
}

static void store_from_st0(FpuCall* c, Storer store, bool pop) {
  if (!fpu_check(0)) return;
  if (fpu_is_register_form(c)) {
    fpu_unimplemented(c);
    return;
  }
  u32 address;
  if (!fpu_address(c, &address)) return;
  store(fpu_st(0), address);
  if (pop) fpu_pop();
}

// Register form recognised before the ST(0) check.
static void store_memory_only(FpuCall* c, Storer store, bool pop) {
  if (fpu_is_register_form(c)) {
    fpu_unimplemented(c);
    return;
  }
  store_from_st0(c, store, pop);
}

void op_fld_m32_or_st(FpuCall* c) {
  if (!fpu_is_register_form(c)) {
    load_push(c, load_real4);
    return;
  }
  // FLD ST(i): i counts from the top before the push.
  if (!fpu_push_check()) return;
  u32 i = fpu_rm(c);
  if (!fpu_check(i)) return;
  fpu_state.regs[(fpu_state.top - 1) & 7] = *fpu_st(i);
  fpu_state.top--;
}

void op_fxch(FpuCall* c) {
  if (!fpu_is_register_form(c)) {
    fpu_unimplemented(c);
    return;
  }
  ExtValue* s0 = fpu_st(0);
  ExtValue* si = fpu_st(fpu_rm(c));
  if (s0->tag == TAG_EMPTY) {
    fpu_raise(FPU_EX_STACK_UNDERFLOW);
    *s0 = ext_indefinite;
  }
  if (si->tag == TAG_EMPTY) {
    fpu_raise(FPU_EX_STACK_UNDERFLOW);
    *si = ext_indefinite;
  }
  ExtValue t = *s0;
  *s0 = *si;
  *si = t;
}

void op_fst_m32_or_fnop(FpuCall* c) {
  if (fpu_is_register_form(c)) {
    if (fpu_rm(c) != 0) fpu_unimplemented(c);  // D9 D0 is FNOP
    return;
  }
  store_from_st0(c, store_real4, false);
}
void op_fstp_m32(FpuCall* c) { store_memory_only(c, store_real4, true); }

void op_fild_m32(FpuCall* c) { load_or_unimplemented(c, load_int32); }
void op_fist_m32(FpuCall* c) { store_from_st0(c, store_int32, false); }
void op_fistp_m32(FpuCall* c) { store_from_st0(c, store_int32, true); }
void op_fld_m80(FpuCall* c) { load_or_unimplemented(c, load_real10); }
void op_fstp_m80(FpuCall* c) { store_memory_only(c, store_real10, true); }

void op_fld_m64_or_ffree(FpuCall* c) {
  if (fpu_is_register_form(c)) {
    fpu_st(fpu_rm(c))->tag = TAG_EMPTY;
    return;
  }
  load_push(c, load_real8);
}

// FST ST(i) and FSTP ST(i) copy ST(0) whole, without a check.
static void store_to_register(FpuCall* c, bool pop) {
  *fpu_st(fpu_rm(c)) = *fpu_st(0);
  if (pop) fpu_pop();
}
void op_fst_m64_or_st(FpuCall* c) {
  if (fpu_is_register_form(c)) store_to_register(c, false);
  else store_from_st0(c, store_real8, false);
}
void op_fstp_m64_or_st(FpuCall* c) {
  if (fpu_is_register_form(c)) store_to_register(c, true);
  else store_from_st0(c, store_real8, true);
}

void op_fild_m16(FpuCall* c) { load_or_unimplemented(c, load_int16); }
void op_fist_m16(FpuCall* c) { store_from_st0(c, store_int16, false); }
void op_fistp_m16(FpuCall* c) { store_from_st0(c, store_int16, true); }
void op_fbld(FpuCall* c) { load_push(c, load_bcd); }
void op_fild_m64(FpuCall* c) { load_or_unimplemented(c, load_int64); }
void op_fistp_m64(FpuCall* c) { store_from_st0(c, store_int64, true); }

// FBSTP stores even an empty register's contents (after the masked
// stack underflow) and pops.
void op_fbstp(FpuCall* c) {
  if (fpu_st(0)->tag == TAG_EMPTY) fpu_raise(FPU_EX_STACK_UNDERFLOW);
  if (fpu_is_register_form(c)) {
    fpu_unimplemented(c);
    return;
  }
  u32 address;
  if (!fpu_address(c, &address)) return;
  store_bcd(fpu_st(0), address);
  fpu_pop();
}

// D9 E8-EE.
static const ExtValue* const constants[7] = {&ext_one, &ext_l2t, &ext_l2e, &ext_pi, &ext_lg2, &ext_ln2, &ext_zero};
void op_load_constant(FpuCall* c) {
  u32 rm = fpu_rm(c);
  if (rm == 7) {
    fpu_unimplemented(c);
    return;
  }
  if (!fpu_push_check()) return;
  fpu_state.top--;
  *fpu_st(0) = *constants[rm];
  fpu_clear_c1();
}

// Entries of their own for FLD, FST and FSTP with a double operand (DD /0,
// /2 and /3): the stack check and the common conversions inline. A full
// stack, an empty ST(0), other values and the register forms of these
// cells go to the general entry, which then finds the same state; so does
// a store while some exception is unmasked (a store of a value out of the
// double range raises), which only the general entry can abandon.
template <int Reg>
int double_entry(u32 insn, FpuState* state, Env* env) {
  u32 modrm = mem_read8(insn + 1);
  if (modrm < 0xC0) {
    u32 top = state->top;
    u32 p = insn + 2;
    if (Reg == 0) {
      ExtValue* dst = &state->regs[(top - 1) & 7];
      if (dst->tag == TAG_EMPTY) {
        u32 address = fpu_operand_address(env, modrm, &p);
        state->top = top - 1;
        ext_load_double(address, dst);
        env->EIP = p;
        return 0;
      }
    } else {
      ExtValue* s0 = &state->regs[top & 7];
      if (s0->tag != TAG_EMPTY && (state->control & 0x7F) == 0x7F) {
        u32 address = fpu_operand_address(env, modrm, &p);
        ext_store_double(s0, address, state->control);
        if (Reg == 3) {
          s0->tag = TAG_EMPTY;
          state->top = top + 1;
        }
        env->EIP = p;
        return 0;
      }
    }
  }
  return fpu_execute_cell(env, insn);
}
template int double_entry<0>(u32, FpuState*, Env*);
// The direct entries of the same instructions, of their single-real forms
// and of the integer loads and stores (DB and DF /0, /2, /3): the operand
// address comes decoded. The stores convert at once only while every
// exception is masked (a rounding store may raise overflow, underflow or
// invalid, which must abandon it when unmasked).
template <int Row, int Reg, void (*Load)(u32, ExtValue*), void (*Store)(const ExtValue*, u32, u32)>
static inline int move_direct(u32 address, FpuState* s) {
  u32 top = s->top;
  if (Reg == 0) {
    ExtValue* dst = &s->regs[(top - 1) & 7];
    if (__builtin_expect(dst->tag == TAG_EMPTY, 1)) {
      s->top = top - 1;
      Load(address, dst);
      return 0;
    }
  } else {
    ExtValue* s0 = &s->regs[top & 7];
    if (__builtin_expect(s0->tag != TAG_EMPTY && fpu_all_masked(s), 1)) {
      Store(s0, address, s->control);
      if (Reg == 3) fpu_pop(s);
      return 0;
    }
  }
  return fpu_run_decoded(Row, Reg << 3, address);
}

void X87_value_load_double(u32 address, ExtValue* r) { load_real8(address, r); }
void X87_value_load_float(u32 address, ExtValue* r) { load_real4(address, r); }
void X87_value_store_double(const ExtValue* v, u32 address) { store_real8(v, address); }
void X87_value_store_float(const ExtValue* v, u32 address) { store_real4(v, address); }
void X87_value_store_int32(const ExtValue* v, u32 address) { store_int32(v, address); }
void X87_value_store_int16(const ExtValue* v, u32 address) { store_int16(v, address); }

int X87_D9_0_r(u32 i, FpuState* s) {
  i &= 7;
  u32 top = s->top;
  ExtValue* dst = &s->regs[(top - 1) & 7];
  const ExtValue* src = &s->regs[(top + i) & 7];
  if (__builtin_expect(dst->tag != TAG_EMPTY || src->tag == TAG_EMPTY, 0))
    return fpu_run_decoded(ROW_D9, 0xC0 | i, 0);
  *dst = *src;
  s->top = top - 1;
  return 0;
}

int X87_D9_1_r(u32 i, FpuState* s) {
  i &= 7;
  ExtValue* s0 = fpu_reg(s, 0);
  ExtValue* si = fpu_reg(s, i);
  if (__builtin_expect(s0->tag == TAG_EMPTY || si->tag == TAG_EMPTY, 0))
    return fpu_run_decoded(ROW_D9, 0xC8 | i, 0);
  ExtValue t = *s0;
  *s0 = *si;
  *si = t;
  return 0;
}

// FST ST(i) and FSTP ST(i) check nothing and cannot fail.
int X87_DD_2_r(u32 i, FpuState* s) {
  *fpu_reg(s, i & 7) = *fpu_reg(s, 0);
  return 0;
}
int X87_DD_3_r(u32 i, FpuState* s) {
  *fpu_reg(s, i & 7) = *fpu_reg(s, 0);
  fpu_pop(s);
  return 0;
}

// FLD1 ... FLDZ (D9 E8-EE) onto a free register; 1 and 0, the frequent
// ones, are written as they are (the table's address needs the GOT, which
// only the other constants then compute).
__attribute__((noinline)) static void copy_constant(ExtValue* dst, u32 i) { *dst = *constants[i]; }
int X87_D9_5_r(u32 i, FpuState* s) {
  i &= 7;
  ExtValue* dst = &s->regs[(s->top - 1) & 7];
  if (__builtin_expect(i == 7 || dst->tag != TAG_EMPTY, 0)) return fpu_run_decoded(ROW_D9, 0xE8 | i, 0);
  if (i == 0) ext_put(dst, 0, TAG_VALID, EXT_BIAS, 1ull << 63);
  else if (i == 6) ext_put(dst, 0, TAG_ZERO, 0, 0);
  else copy_constant(dst, i);
  s->top--;
  fpu_clear_c1(s);
  return 0;
}

// FIST and FISTP m32: the common conversion inline, with the rounding
// control of the state passed in.
template <int Reg>
static inline int fist32_direct(u32 address, FpuState* s) {
  ExtValue* s0 = &s->regs[s->top & 7];
  if (__builtin_expect(s0->tag == TAG_EMPTY || !fpu_all_masked(s), 0)) return fpu_run_decoded(ROW_DB, Reg << 3, address);
  u32 value;
  if (ext_int32_common(s0, s->control, &value)) mem_write32(address, value);
  else store_int32(s0, address);
  if (Reg == 3) fpu_pop(s);
  return 0;
}
int X87_DB_2_m(u32 address, FpuState* s) { return fist32_direct<2>(address, s); }
int X87_DB_3_m(u32 address, FpuState* s) { return fist32_direct<3>(address, s); }

// The integer stores take the rounding control from the state themselves.
template <void (*Store)(const ExtValue*, u32)>
static inline void store_integer(const ExtValue* v, u32 address, u32) {
  Store(v, address);
}

#define MOVE_ENTRY(row, reg, load, store) \
  int X87_##row##_##reg##_m(u32 address, FpuState* s) { return move_direct<ROW_##row, reg, load, store>(address, s); }
MOVE_ENTRY(D9, 0, ext_load_float, ext_store_float)
MOVE_ENTRY(D9, 2, ext_load_float, ext_store_float)
MOVE_ENTRY(D9, 3, ext_load_float, ext_store_float)
MOVE_ENTRY(DD, 0, ext_load_double, ext_store_double)
MOVE_ENTRY(DD, 2, ext_load_double, ext_store_double)
MOVE_ENTRY(DD, 3, ext_load_double, ext_store_double)
MOVE_ENTRY(DB, 0, ext_load_int32, store_integer<store_int32>)
MOVE_ENTRY(DF, 0, ext_load_int16, store_integer<store_int16>)
MOVE_ENTRY(DF, 2, ext_load_int16, store_integer<store_int16>)
MOVE_ENTRY(DF, 3, ext_load_int16, store_integer<store_int16>)

template int double_entry<2>(u32, FpuState*, Env*);
template int double_entry<3>(u32, FpuState*, Env*);
