// The common double conversions inline, for the entries of their own: a
// normal double or single loads, and a normal value that stays normal
// stores as either, without a call. Every other case goes through
// load_real8, load_real4, store_real8 and store_real4, which give the same
// results for these.
#pragma once

#include "ext_core.h"
#include "fpu_memory.h"

// The bits w of a normal double as a value; false, having written
// nothing, for any other.
EXT_INLINE bool ext_double_normal(u64 w, ExtValue* r) {
  u32 high = (u32)(w >> 32);
  u32 biased = (high >> 20) & 0x7FF;
  if (__builtin_expect(biased - 1 >= 0x7FE, 0)) return false;
  ext_put_head(r, (high >> 31) | (u32)(biased + 0x3C00) << 16);  // tag `Valid`
  ext_set_mant(r, 0x8000000000000000ull | w << 11);
  return true;
}
EXT_INLINE void ext_load_double(u32 address, ExtValue* r) {
  if (__builtin_expect(!ext_double_normal(mem_read64(address), r), 0)) load_real8(address, r);
}

// The same for a normal single.
EXT_INLINE bool ext_float_normal(u32 w, ExtValue* r) {
  u32 biased = (w >> 23) & 0xFF;
  if (__builtin_expect(biased - 1 >= 0xFE, 0)) return false;
  ext_put_head(r, (w >> 31) | (u32)(biased + 0x3F80) << 16);  // tag `Valid`
  r->mant_lo = 0;
  r->mant_hi = 0x80000000u | (w & 0x7FFFFFu) << 8;
  return true;
}
EXT_INLINE void ext_load_float(u32 address, ExtValue* r) {
  if (__builtin_expect(!ext_float_normal(mem_read32(address), r), 0)) load_real4(address, r);
}

// A 32-bit integer as a value, its head written whole (FILD m32 and m16:
// the next instruction reads the head as one word).
EXT_INLINE void ext_from_int32(i32 v, ExtValue* r) {
  if (v == 0) return ext_put(r, 0, TAG_ZERO, 0, 0);
  const u32 magnitude = v < 0 ? 0u - (u32)v : (u32)v;
  const int n = __builtin_clz(magnitude);
  ext_put_head(r, (u32)(v < 0) | (u32)(EXT_BIAS + 31 - n) << 16);  // tag `Valid`
  r->mant_lo = 0;
  r->mant_hi = magnitude << n;
}
EXT_INLINE void ext_load_int32(u32 address, ExtValue* r) { ext_from_int32((i32)mem_read32(address), r); }
EXT_INLINE void ext_load_int16(u32 address, ExtValue* r) { ext_from_int32((int16_t)mem_read16(address), r); }

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

// Whether a store adds half a unit at `half` for the dropped bits `rest`:
// to nearest only above an exact half; up and down whenever a dropped bit
// is set, by the value's sign (the half-unit increment then reaches the
// last kept place only from a half or more).
EXT_INLINE bool ext_round_decision(u32 rc, int sign, u64 rest, u64 half) {
  switch (rc & RC_MASK) {
    case RC_NEAREST: return (rest & half) && (rest & (half - 1));
    case RC_UP: return !sign && rest;
    case RC_DOWN: return sign && rest;
    default: return false;
  }
}

// A `Valid` value with its integer bit set that stays normal as a single
// (Bias 127, FracBits 23) or a double (1023, 52), encoded with rounding
// control `rc` as the general encoding encodes it; false for any other.
// Adding half a unit changes a kept bit only when the dropped bits' first
// one is set, so the decision is made on that bit alone: to nearest with
// some lower dropped bit set as well (an exact half stays), up and down by
// the sign. The words are worked on as 32-bit halves: a 64-bit sum of a
// 32-bit target keeps both halves in registers only when written so.
template <int Bias, int FracBits>
EXT_INLINE bool ext_encode_normal(const ExtValue* v, u32 rc, u64* out) {
  constexpr int kDrop = 63 - FracBits;
  constexpr bool kInLow = kDrop < 32;  // the dropped bits' first one is in the low word
  constexpr u32 kHalf = kInLow ? 1u << (kDrop - 1) : 1u << (kDrop - 33);
  const u32 head = ext_head(v);
  u32 lo = v->mant_lo, hi = v->mant_hi;
  int e = ext_head_exponent(head) - EXT_BIAS;
  if ((head & 0xFF00) != (TAG_VALID << 8) || !(hi >> 31) || (u32)(e + Bias - 1) >= 2u * Bias) return false;
  const u32 word = kInLow ? lo : hi;
  if (word & kHalf) {
    bool up;
    switch (rc & RC_MASK) {
      case RC_NEAREST: up = (word & (kHalf - 1)) || (!kInLow && lo); break;
      case RC_UP: up = !(head & 1); break;
      case RC_DOWN: up = head & 1; break;
      default: up = false; break;
    }
    if (up) {
      if constexpr (kInLow) {
        lo += kHalf;
        hi += lo < kHalf;
      } else {
        hi += kHalf;
      }
      if (!(hi >> 31)) {  // carried out of the significand: 1.0 of the next binade
        hi = 0x80000000u;
        lo = 0;
        if (++e > Bias) return false;
      }
    }
  }
  const u32 sign_exp = (head & 1) << 31 | (u32)(e + Bias) << (FracBits - (kInLow ? 32 : 0));
  if constexpr (kInLow)
    *out = (u64)(sign_exp | (hi & 0x7FFFFFFFu) >> kDrop) << 32 | (lo >> kDrop | hi << (32 - kDrop));
  else
    *out = sign_exp | (hi & 0x7FFFFFFFu) >> (kDrop - 32);
  return true;
}

// FST/FSTP m32 and m64 with the state's control word `rc`: the values
// above inline, every other through store_real4 and store_real8.
EXT_INLINE void ext_store_float(const ExtValue* v, u32 address, u32 rc) {
  u64 bits;
  if (__builtin_expect(ext_encode_normal<127, 23>(v, rc, &bits), 1)) mem_write32(address, (u32)bits);
  else store_real4(v, address);
}
EXT_INLINE void ext_store_double(const ExtValue* v, u32 address, u32 rc) {
  u64 bits;
  if (__builtin_expect(ext_encode_normal<1023, 52>(v, rc, &bits), 1)) mem_write64(address, bits);
  else store_real8(v, address);
}
