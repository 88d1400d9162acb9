// The common double conversions inline, for the entries of their own: a
// normal double or single loads, and a normal value whose dropped bits are
// all zero stores as a double, without a call. Every other case goes
// through load_real8, load_real4 and store_real8, which give the same
// results for these.
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

// The same for a normal single.
EXT_INLINE void ext_load_float(u32 address, ExtValue* r) {
  u32 w = guest_read32(address);
  u32 biased = (w >> 23) & 0xFF;
  if (__builtin_expect(biased - 1 >= 0xFE, 0)) return load_real4(address, r);
  ext_put_head(r, (w >> 31) | (u32)(biased + 0x3F80) << 16);  // tag `Valid`
  r->mant_lo = 0;
  r->mant_hi = 0x80000000u | (w & 0x7FFFFFu) << 8;
}

// FIST/FISTP m32 of a `Valid` value from 1 up to 2^31 with its integer
// bit set, rounded by `rc` as ext_round_int_mode rounds (the dropped bits'
// first one and whether any other is set); false, having computed
// nothing, for any other value or a result out of range.
EXT_INLINE bool ext_int32_common(const ExtValue* v, u32 rc, u32* out) {
  const u32 head = ext_head(v);
  const int e = ext_head_exponent(head);
  if ((head & 0xFF00) != (TAG_VALID << 8) || e < EXT_BIAS || e > EXT_BIAS + 30 || !(v->mant_hi >> 31)) return false;
  const u64 m = ext_mant(v);
  const int shift = EXT_BIAS + 63 - e;  // 33..63
  u32 q = (u32)(m >> shift);
  const u64 dropped = m << (64 - shift);
  const bool round = dropped >> 63, inexact = dropped != 0, negative = head & 1;
  switch (rc & RC_MASK) {
    case RC_NEAREST: q += round && ((dropped << 1) != 0 || (q & 1)); break;
    case RC_DOWN: q += inexact && negative; break;
    case RC_UP: q += inexact && !negative; break;
    default: break;
  }
  if (q > 0x7FFFFFFFu && !(negative && q == 0x80000000u)) return false;
  *out = negative ? 0u - q : q;
  return true;
}

EXT_INLINE void ext_store_double(const ExtValue* v, u32 address) {
  u32 head = ext_head(v);
  u32 e = (u32)(ext_head_exponent(head) - (EXT_BIAS - 1022));  // 0..2045 for a normal double
  u64 m = ext_mant(v);
  if (__builtin_expect((head & 0xFF00) != (TAG_VALID << 8) || e > 2045 || !(m >> 63) || (m & 0x7FF), 0))
    return store_real8(v, address);
  mem_write64(address, (u64)(head & 1) << 63 | (u64)(e + 1) << 52 | ((m >> 11) & 0xFFFFFFFFFFFFFull));
}
