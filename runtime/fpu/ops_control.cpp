// Control operations: control and status words, state image, stack
// pointer, sign operations and classification.
#include "fpu_direct.h"
#include "fpu_dispatch.h"
#include "fpu_memory.h"
#include "trevik.h"

void op_fldcw(FpuCall* c) { fpu_state.control = (u32)(i32)(int16_t)mem_read16(c->address); }
void op_fnstcw(FpuCall* c) { mem_write16(c->address, (u16)fpu_state.control); }
// Their direct entries (a conversion to an integer in C code changes the
// rounding with them twice).
int X87_D9_5_m(u32 address, FpuState* s) {
  s->control = (u32)(i32)(int16_t)mem_read16(address);
  return 0;
}
int X87_D9_7_m(u32 address, FpuState* s) {
  mem_write16(address, (u16)s->control);
  return 0;
}

void op_fnstsw_m16(FpuCall* c) {
  if (fpu_is_register_form(c)) {
    fpu_unimplemented(c);
    return;
  }
  fpu_store_top();
  mem_write16(c->address, (u16)fpu_state.status);
}

void op_fnstsw_ax(FpuCall* c) {
  fpu_store_top();
  // Written at once: nothing after it can abandon the instruction.
  c->env->EAX = (c->env->EAX & 0xFFFF0000u) | (fpu_state.status & 0xFFFF);
}

uint32_t X87_status_word(FpuState* s) {
  fpu_store_top(s);
  return s->status & 0xFFFF;
}

void op_fninit(FpuCall*) { fpu_reset(); }
void op_fnclex(FpuCall*) { fpu_state.status &= ~0x80FFu; }
void op_fdecstp(FpuCall*) {
  fpu_clear_c1();
  fpu_state.top--;
}
void op_fincstp(FpuCall*) {
  fpu_clear_c1();
  fpu_state.top++;
}

void op_fchs(FpuCall*) {
  if (!fpu_check(0)) return;
  fpu_clear_c1();
  fpu_st(0)->sign ^= 1;
}
void op_fabs(FpuCall*) {
  if (!fpu_check(0)) return;
  fpu_st(0)->sign = 0;
  fpu_clear_c1();
}

// The codes of FTST for a `Valid` or zero ST(0) (which raise nothing).
static inline u32 test_codes(const ExtValue* v) { return v->tag == TAG_ZERO ? SW_C3 : v->sign ? SW_C0 : 0; }
// The codes of FXAM for anything but a special value.
static inline u32 examine_codes(const ExtValue* v) {
  u32 cc = v->sign ? SW_C1 : 0;
  switch (v->tag) {
    case TAG_VALID: return cc | ((v->mant_hi & 0x80000000u) ? SW_C2 : SW_C3 | SW_C2);
    case TAG_ZERO: return cc | SW_C3;
    default: return cc | SW_C3 | SW_C0;  // empty
  }
}

// The direct entry of D9 E0-E7 (translated code): FCHS and FABS of a
// present ST(0), FTST of a finite one and FXAM of anything but a special
// value at once, the rest through the cell's operation.
int X87_D9_4_r(u32 i, FpuState* s) {
  i &= 7;
  ExtValue* s0 = fpu_reg(s, 0);
  const int tag = s0->tag;
  if (__builtin_expect(i <= 1 && tag != TAG_EMPTY, 1)) {
    fpu_clear_c1(s);
    s0->sign = i == 0 ? s0->sign ^ 1 : 0;
    return 0;
  }
  if (i == 4 && (tag == TAG_VALID || tag == TAG_ZERO)) {
    fpu_set_cc(test_codes(s0), s);
    return 0;
  }
  if (i == 5 && tag != TAG_SPECIAL) {
    fpu_set_cc(examine_codes(s0), s);
    return 0;
  }
  return fpu_run_decoded(ROW_D9, 0xE0 | i, 0);
}

void op_ftst(FpuCall*) {
  const ExtValue* v = fpu_st(0);
  switch (v->tag) {
    case TAG_VALID:
    case TAG_ZERO: fpu_set_cc(test_codes(v)); break;
    case TAG_SPECIAL:
      if (ext_is_pos_inf(v)) {
        fpu_set_cc(0);
      } else if (ext_is_neg_inf(v)) {
        fpu_set_cc(SW_C0);
      } else {
        fpu_set_cc(SW_C3 | SW_C2 | SW_C0);
        fpu_raise(FPU_EX_INVALID);
      }
      break;
    default:
      fpu_set_cc(SW_C3 | SW_C2 | SW_C0);
      fpu_raise(FPU_EX_STACK_UNDERFLOW);
      break;
  }
}

void op_fxam(FpuCall*) {
  const ExtValue* v = fpu_st(0);
  if (v->tag != TAG_SPECIAL) {
    fpu_set_cc(examine_codes(v));
    return;
  }
  u32 cc = v->sign ? SW_C1 : 0;
  if (ext_equal(v, &ext_indefinite)) cc |= SW_C0;
  else if (ext_is_inf(v)) cc |= SW_C2 | SW_C0;
  fpu_set_cc(cc);
}

// The 108-byte state image (32-bit protected-mode layout). Bytes 12-27,
// the instruction and operand pointers, are neither written nor read.
enum : u32 { IMAGE_CONTROL = 0, IMAGE_STATUS = 4, IMAGE_TAGS = 8, IMAGE_REGISTERS = 28 };

void op_fsave(FpuCall* c) {
  u32 address;
  if (!fpu_address(c, &address)) return;
  fpu_store_top();
  u32 tags = 0;
  for (u32 r = 0; r < 8; r++) tags |= (u32)(fpu_state.regs[r].tag & 3) << (2 * r);
  mem_write16(address + IMAGE_CONTROL, (u16)fpu_state.control);
  mem_write16(address + IMAGE_CONTROL + 2, 0);
  mem_write16(address + IMAGE_STATUS, (u16)fpu_state.status);
  mem_write16(address + IMAGE_STATUS + 2, 0);
  mem_write16(address + IMAGE_TAGS, (u16)tags);
  mem_write16(address + IMAGE_TAGS + 2, 0);
  for (u32 i = 0; i < 8; i++) store_real10(fpu_st(i), address + IMAGE_REGISTERS + 10 * i);
}

void op_frstor(FpuCall* c) {
  u32 address = c->address;
  fpu_state.control = mem_read16(address + IMAGE_CONTROL);
  fpu_state.status = mem_read16(address + IMAGE_STATUS);
  fpu_state.top = (fpu_state.status >> 11) & 7;
  u32 tags = mem_read16(address + IMAGE_TAGS);
  for (u32 i = 0; i < 8; i++) {
    u32 r = (fpu_state.top + i) & 7;
    load_real10(address + IMAGE_REGISTERS + 10 * i, &fpu_state.regs[r]);
    fpu_state.regs[r].tag = (int8_t)((tags >> (2 * r)) & 3);
  }
}
