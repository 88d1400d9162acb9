// The common double conversions inline, for the entries of their own: a
// normal double loads, and a normal value whose dropped bits are all zero
// stores, without a call. Every other case goes through load_real8 and
// store_real8, which give the same results for these two.
#pragma once

#include "ext_core.h"
#include "fpu_memory.h"

EXT_INLINE void ext_load_double(u32 address, ExtValue* r) {
  u64 w = mem_read64(address);
  u32 high = (u32)(w >> 32);
  u32 biased = (high >> 20) & 0x7FF;
  if (__builtin_expect(biased - 1 >= 0x7FE, 0)) return load_real8(address, r);
  ext_put_head(r, (high >> 31) | (u32)(biased + 0x3C00) << 16);  // tag `Valid`
  ext_set_mant(r, 0x8000000000000000ull | w << 11);
}

EXT_INLINE void ext_store_double(const ExtValue* v, u32 address) {
  u32 head = ext_head(v);
  u32 e = (u32)(ext_head_exponent(head) - (EXT_BIAS - 1022));  // 0..2045 for a normal double
  u64 m = ext_mant(v);
  if (__builtin_expect((head & 0xFF00) != (TAG_VALID << 8) || e > 2045 || !(m >> 63) || (m & 0x7FF), 0))
    return store_real8(v, address);
  mem_write64(address, (u64)(head & 1) << 63 | (u64)(e + 1) << 52 | ((m >> 11) & 0xFFFFFFFFFFFFFull));
}
