// A run of x87 instructions with its values in the chunk's own locals
// (tools/translator/emit_x87_run.cpp): each instruction computes with the
// same inline routines its runtime entry runs in its common case, so the
// bits are the same, and says false where that entry would leave its
// common case. The run then stores what it holds into the x87 state and
// goes on through the entries from that instruction.
#pragma once

#include "../../../runtime/fpu/ext_double.h"
#include "../../../runtime/fpu/fpu_state.h"

// The larger routines (sums, stores, compares) once per file, called:
// written in line at every use they made the generated code of all
// modules 19 % slower to compile, for 5 % of the x87 program's time.
// Loads, products and copies stay in line.
#define X87_ONCE static __attribute__((noinline, unused))

// A whole record, as three words (gcc copies a structure of 12 bytes with
// a string move where registers are short, a stall of its own).
XI void x87_copy(ExtValue* d, const ExtValue* s) {
  const u32 head = ext_head(s), lo = s->mant_lo, hi = s->mant_hi;
  ext_put_head(d, head);
  d->mant_lo = lo;
  d->mant_hi = hi;
}
// A register's tag made `Empty` by one store of its head word, which the
// next instruction's read of that word can take from the store.
XI void x87_set_empty(ExtValue* v) { ext_put_head(v, (ext_head(v) & ~0xFF00u) | (u32)TAG_EMPTY << 8); }
XI bool x87_empty(const ExtValue* v) { return v->tag == TAG_EMPTY; }

// Loads and stores of doubles and singles; the bits go through the
// chunk's own guest accesses (volatile, in program order with the rest).
XI void x87_load_double(u32 address, ExtValue* r) {
  const u32 low = m32(address);
  if (!ext_double_normal((u64)m32(address + 4) << 32 | low, r)) X87_value_load_double(address, r);
}
XI void x87_load_float(u32 address, ExtValue* r) {
  if (!ext_float_normal(m32(address), r)) X87_value_load_float(address, r);
}
XI void x87_load_int32(u32 address, ExtValue* r) { ext_from_int32((i32)m32(address), r); }
XI void x87_load_int16(u32 address, ExtValue* r) { ext_from_int32((int16_t)m16(address), r); }
X87_ONCE void x87_store_double(const ExtValue* v, u32 address, u32 rc) {
  u64 bits;
  if (!ext_encode_normal<1023, 52>(v, rc, &bits)) return X87_value_store_double(v, address);
  s32(address, (u32)bits);
  s32(address + 4, (u32)(bits >> 32));
}
X87_ONCE void x87_store_float(const ExtValue* v, u32 address, u32 rc) {
  u64 bits;
  if (!ext_encode_normal<127, 23>(v, rc, &bits)) return X87_value_store_float(v, address);
  s32(address, (u32)bits);
}

// FIST and FISTP: the values the entry stores inline, every other one
// through the runtime's store (which sets the masked invalid operation of
// a value out of range).
X87_ONCE void x87_store_int32(const ExtValue* v, u32 address, u32 rc) {
  u32 out;
  if (!ext_int32_common(v, rc, &out)) return X87_value_store_int32(v, address);
  s32(address, out);
}
X87_ONCE void x87_store_int16(const ExtValue* v, u32 address, u32) { X87_value_store_int16(v, address); }

// The operations (r may be a or b).
X87_ONCE void x87_add(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (ext_heads_valid(ext_head(a), ext_head(b))) ext_add_valid(a, b, r);
  else X87_value_sum(a, b, r);
}
X87_ONCE void x87_sub(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (ext_heads_valid(ext_head(a), ext_head(b))) ext_sub_valid(a, b, r);
  else X87_value_difference(a, b, r);
}
XI void x87_mul(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (!ext_mul_common(a, b, r)) X87_value_product(a, b, r);
}

// FCOMI and FUCOMI: ZF (0x40), PF (0x04) and CF (0x01) in their EFLAGS
// places; a pair the entry does not order in line is normalised in place.
X87_ONCE u32 x87_order(ExtValue* a, ExtValue* b, u32 unordered) {
  switch (ext_compare_common(a, b)) {
    case CMP_GREATER: return 0;
    case CMP_EQUAL: return 0x40;
    case CMP_LESS: return 0x01;
    default: return X87_value_order(a, b, unordered);
  }
}
