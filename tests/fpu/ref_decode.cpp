// The literal instruction path for the benchmark: decoding as written for
// Emu87 (register copies, a jump buffer set on every call, the opcode and
// ModRM read, the main table, the address decoder) over the step-by-step
// reference arithmetic. It executes the instructions the benchmark times;
// every other table entry takes the unimplemented path.
#include <csetjmp>

#include "ext_series.h"
#include "fpu_memory.h"
#include "fpu_state.h"
#include "ref_arith.h"
#include "trevik.h"

namespace {

struct Decoder {
  jmp_buf resume;
  u32 code;     // next code byte
  u32 regs[8];  // EAX, ECX, EDX, EBX, ESP, EBP, ESI, EDI
  u32 modrm;
};
Decoder dec;

ExtValue* st(u32 i) { return &fpu_state.regs[(fpu_state.top + i) & 7]; }
bool check(u32 i) {
  if (st(i)->tag != TAG_EMPTY) return true;
  fpu_raise(FPU_EX_STACK_UNDERFLOW);
  return false;
}
bool push_check() {
  if (fpu_state.regs[(fpu_state.top - 1) & 7].tag == TAG_EMPTY) return true;
  fpu_raise(FPU_EX_STACK_OVERFLOW);
  fpu_state.top--;
  *st(0) = ext_indefinite;
  return false;
}
void pop() {
  st(0)->tag = TAG_EMPTY;
  fpu_state.top++;
}
u8 next8() { return mem_read8(dec.code++); }
u32 next32() {
  u32 v = guest_read32(dec.code);
  dec.code += 4;
  return v;
}

u32 address() {
  u32 mod = dec.modrm >> 6, rm = dec.modrm & 7;
  if (mod == 3) longjmp(dec.resume, 1);
  if (rm == 4) {
    u32 sib = next8(), base = sib & 7, index = (sib >> 3) & 7;
    u32 a = (base == 5 && mod == 0) ? 0 : dec.regs[base];
    if (index != 4) a += dec.regs[index] << (sib >> 6);
    if (mod == 1) a += (u32)(i32)(int8_t)next8();
    else if (mod == 2 || base == 5) a += next32();
    return a;
  }
  if (mod == 0) return rm == 5 ? next32() : dec.regs[rm];
  if (mod == 1) return dec.regs[rm] + (u32)(i32)(int8_t)next8();
  return dec.regs[rm] + next32();
}

void unimplemented() { fpu_raise(FPU_EX_INVALID); }

void d8_arith(void (*op)(const ExtValue*, const ExtValue*, ExtValue*) EXT_CALL) {
  if (!check(0)) return;
  if (dec.modrm < 0xC0) return unimplemented();  // memory forms are not timed
  if (!check(dec.modrm & 7)) return;
  op(st(0), st(dec.modrm & 7), st(0));
}
void d8_0() { d8_arith(ref_add); }
void d8_1() { d8_arith(ref_mul); }
void d8_6() { d8_arith(ref_div); }

// Double real as written: biased exponent + 0x3C00, integer bit forced.
void dd_0() {
  if (dec.modrm >= 0xC0) return unimplemented();
  if (!push_check()) return;
  fpu_state.top--;
  u64 w = mem_read64(address());
  ExtValue* r = st(0);
  *r = ext_zero;
  r->sign = (int8_t)(w >> 63);
  if ((w << 1) == 0) return;
  u32 biased = (u32)(w >> 52) & 0x7FF;
  r->tag = TAG_VALID;
  r->exponent = (int16_t)(biased == 0x7FF ? 0x7FFF : biased + 0x3C00);
  ext_set_mant(r, 0x8000000000000000ull | w << 11);
  ref_normalise(r);
}
void dd_3() {
  if (!check(0)) return;
  if (dec.modrm >= 0xC0) {  // FSTP ST(i)
    *st(dec.modrm & 7) = *st(0);
    return pop();
  }
  mem_write64(address(), ref_store_real8(st(0), fpu_state.control & RC_MASK));
  pop();
}
void db_3() {
  if (!check(0) || dec.modrm >= 0xC0) return;
  u32 a = address();
  ExtValue c = *st(0);
  u32 out = 0x80000000u;
  if (!(c.tag == TAG_SPECIAL && (ext_equal(&c, &ext_pos_inf) || ext_equal(&c, &ext_neg_inf)))) {
    ref_round_int_mode(&c, fpu_state.control & RC_MASK);
    if (c.mant_hi == 0 && (c.mant_lo < 0x80000000u || (c.sign && c.mant_lo == 0x80000000u)))
      out = c.sign ? 0u - c.mant_lo : c.mant_lo;
  }
  guest_write32(a, out);
  pop();
}
void db_5() {
  if (dec.modrm >= 0xC0) return unimplemented();
  if (!push_check()) return;
  fpu_state.top--;
  u32 a = address();
  ExtValue* r = st(0);
  u16 se = mem_read16(a + 8);
  r->sign = (int8_t)(se >> 15);
  r->tag = TAG_VALID;
  r->exponent = (int16_t)(se & 0x7FFF);
  ext_set_mant(r, mem_read64(a));
  ref_normalise(r);
}

void fsqrt() {
  if (!check(0)) return;
  ExtValue* v = st(0);
  if (v->tag == TAG_ZERO || (v->tag == TAG_SPECIAL && !v->sign)) return;
  if (v->sign) {
    fpu_raise(FPU_EX_INVALID);
    *v = ext_indefinite;
    return;
  }
  int e = v->exponent;
  u64 m = ext_mant(v);
  if (e & 1) {
    m >>= 1;
    e++;
  }
  ext_set_mant(v, ref_sqrt_mant(m));
  v->exponent = (int16_t)((e - 0x4000) / 2 + EXT_BIAS);
  ref_normalise(v);
}
void fsin() {
  if (!check(0)) return;
  ExtValue* x = st(0);
  if (x->exponent > 16446) {
    fpu_state.status |= SW_C2;
    return;
  }
  int q = ext_reduce_quadrant(&ext_reference, x);
  ExtValue sum;
  ext_sin_cos_series(&ext_reference, x, &sum, nullptr);
  fpu_state.status &= ~SW_CC;
  if (q & 2) sum.sign ^= 1;
  *x = sum;
}
void fpatan() {  // finite non-zero operands only (the timed case)
  if (!check(1)) return;
  ExtValue x = *st(0), y = *st(1);
  if (x.tag != TAG_VALID || y.tag != TAG_VALID) return unimplemented();
  ext_atan2_general(&ext_reference, &x, &y, st(1));
  pop();
}
void fld1() {
  if (!push_check()) return;
  fpu_state.top--;
  *st(0) = ext_one;
  fpu_state.status &= ~SW_C1;
}

void d9_5() {
  if (dec.modrm == 0xE8) fld1();
  else unimplemented();
}
void d9_6() {
  if (dec.modrm == 0xF3) fpatan();
  else unimplemented();
}
void d9_7() {
  if (dec.modrm == 0xFA) fsqrt();
  else if (dec.modrm == 0xFE) fsin();
  else unimplemented();
}

typedef void (*Op)();
#define U unimplemented
// Index reg * 8 + (opcode - D8).
const Op main_table[64] = {
    d8_0, U, U, U, U, dd_0, U, U,  d8_1, U, U, U, U, U,    U, U,  //
    U,    U, U, U, U, U,    U, U,  U,    U, U, db_3, U, dd_3, U, U,  //
    U,    U, U, U, U, U,    U, U,  U,    d9_5, U, db_5, U, U, U, U,  //
    d8_6, d9_6, U, U, U, U, U, U,  U,    d9_7, U, U, U, U, U, U,  //
};
#undef U

}  // namespace

int ref_emu87(Env* env) {
  const u32 copies[8] = {env->EAX, env->ECX, env->EDX, env->EBX, env->ESP, env->EBP, env->ESI, env->EDI};
  for (int i = 0; i < 8; i++) dec.regs[i] = copies[i];
  dec.code = env->EIP;
  if (mem_read8(dec.code) == 0x66) dec.code++;
  if (mem_read8(dec.code) == 0x9B) {
    env->EIP = dec.code + 1;
    return 0;
  }
  if (setjmp(dec.resume)) return 1;
  u32 opcode = next8();
  dec.modrm = next8();
  main_table[(dec.modrm & 0x38) | (opcode & 7)]();
  env->EIP = dec.code;
  env->EAX = dec.regs[0];
  return 0;
}
