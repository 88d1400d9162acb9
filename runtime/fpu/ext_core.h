// The whole-word cores of normalisation, addition, subtraction and
// multiplication of two finite non-zero values. They are inline so that
// the instruction routines compute the common case without a call; the
// routines of ext_arith.cpp use the same cores after their special cases.
#pragma once

#include "ext_value.h"

#define EXT_INLINE static inline __attribute__((always_inline))

// Shift left while the integer bit is clear and the exponent is not 0.
EXT_INLINE void ext_normalise_left(u64* m, int* e) {
  if (*m == 0 || (*m >> 63) || *e == 0) return;
  int n = ext_clz64(*m);
  if (*e > 0 && *e < n) n = *e;
  *m <<= n;
  *e = (int16_t)(*e - n);
}

#if FPU_I386_ASM
// The general sums behind the assembly below are out of line: kept in
// line, GCC holds what they need in stack slots across the assembly, at a
// cost to every common sum.
#define EXT_GENERAL static __attribute__((noinline, unused))
#else
#define EXT_GENERAL EXT_INLINE
#endif

#if FPU_I386_ASM
// The common sums in i386 assembly (GCC keeps the 64-bit words of the
// portable form in stack slots): two significands with their integer bits
// set whose exponents differ by less than 32, and for a difference, a
// result that is not zero and normalises without reaching exponent 0.
// They write the same record as the general code below, or nothing and
// return false. The records' addresses come in ESI (a) and EDI (b) (the
// functions' own copies: the assembly swaps and reuses them), the rest in
// memory: every register but EBP is used. The exponents into EAX and EDX.
#define EXT_ASM_EXPONENTS   \
  "movl (%%esi), %%eax\n\t" \
  "movl (%%edi), %%edx\n\t" \
  "sarl $16, %%eax\n\t"    \
  "sarl $16, %%edx\n\t"
EXT_INLINE bool ext_magnitude_add_common(const ExtValue* a, const ExtValue* b, int sign, ExtValue* r) {
  asm volatile goto(EXT_ASM_EXPONENTS
           "movl %%edx, %%ecx\n\t"
           "subl %%eax, %%ecx\n\t"      // eb - ea
           "jns 1f\n\t"
           "negl %%ecx\n\t"
           "xchgl %%esi, %%edi\n\t"
           "movl %%eax, %%edx\n"        // EDX the larger exponent, ESI the smaller's record
           "1:\n\t"
           "cmpl $31, %%ecx\n\t"
           "ja %l[general]\n\t"
           "movl 8(%%esi), %%ebx\n\t"
           "movl %%ebx, %%eax\n\t"
           "andl 8(%%edi), %%eax\n\t"
           "jns %l[general]\n\t"        // an integer bit clear
           "movl 4(%%esi), %%eax\n\t"
           "shrdl %%cl, %%ebx, %%eax\n\t"
           "shrl %%cl, %%ebx\n\t"
           "addl 4(%%edi), %%eax\n\t"
           "adcl 8(%%edi), %%ebx\n\t"
           "jnc 2f\n\t"
           "rcrl $1, %%ebx\n\t"         // the carry becomes the integer bit
           "rcrl $1, %%eax\n\t"
           "incl %%edx\n\t"
           "cmpl %[max], %%edx\n\t"
           "jg %l[general]\n"           // an infinity: the general code
           "2:\n\t"
           "shll $16, %%edx\n\t"
           "orl %[sign], %%edx\n\t"
           "movl %[r], %%ecx\n\t"
           "movl %%edx, (%%ecx)\n\t"
           "movl %%eax, 4(%%ecx)\n\t"
           "movl %%ebx, 8(%%ecx)"
           : "+S"(a), "+D"(b)
           : [r] "m"(r), [sign] "mi"((u32)sign), [max] "i"(EXT_EXP_MAX)
           : "eax", "ebx", "ecx", "edx", "cc", "memory"
           : general);
  return true;
general:
  return false;
}
EXT_INLINE bool ext_magnitude_difference_common(const ExtValue* a, const ExtValue* b, int sign, ExtValue* r) {
  asm volatile goto(EXT_ASM_EXPONENTS
           "movl %%eax, %%ecx\n\t"
           "subl %%edx, %%ecx\n\t"      // ea - eb
           "jg 2f\n\t"
           "jl 1f\n\t"
           "movl 8(%%esi), %%ebx\n\t"   // equal exponents: by significand
           "cmpl 8(%%edi), %%ebx\n\t"
           "ja 2f\n\t"
           "jb 1f\n\t"
           "movl 4(%%esi), %%ebx\n\t"
           "cmpl 4(%%edi), %%ebx\n\t"
           "ja 2f\n\t"
           "je %l[general]\n"           // equal magnitudes: a zero
           "1:\n\t"
           "negl %%ecx\n\t"
           "xchgl %%esi, %%edi\n\t"
           "movl %%edx, %%eax\n\t"
           "movl $1, %%edx\n\t"         // swapped: the other sign
           "jmp 3f\n"
           "2:\n\t"
           "xorl %%edx, %%edx\n"
           "3:\n\t"                     // ESI the larger, EAX its exponent, ECX the gap
           "cmpl $31, %%ecx\n\t"
           "ja %l[general]\n\t"
           "movl 8(%%esi), %%ebx\n\t"
           "andl 8(%%edi), %%ebx\n\t"
           "jns %l[general]\n\t"        // an integer bit clear
           "movl 8(%%edi), %%ebx\n\t"
           "movl 4(%%edi), %%edi\n\t"
           "shrdl %%cl, %%ebx, %%edi\n\t"
           "shrl %%cl, %%ebx\n\t"
           "movl 4(%%esi), %%ecx\n\t"
           "subl %%edi, %%ecx\n\t"
           "movl 8(%%esi), %%edi\n\t"
           "sbbl %%ebx, %%edi\n\t"
           "movl %%ecx, %%esi\n\t"      // the difference in EDI:ESI, not zero
           "testl %%edi, %%edi\n\t"
           "js 5f\n\t"
           "jz 4f\n\t"
           "bsrl %%edi, %%ecx\n\t"
           "xorl $31, %%ecx\n\t"        // leading zeros, 1..31
           "cmpl %%eax, %%ecx\n\t"
           "jge %l[general]\n\t"        // down to exponent 0: the general code
           "shldl %%cl, %%esi, %%edi\n\t"
           "shll %%cl, %%esi\n\t"
           "subl %%ecx, %%eax\n\t"
           "jmp 5f\n"
           "4:\n\t"
           "bsrl %%esi, %%ecx\n\t"
           "xorl $31, %%ecx\n\t"
           "addl $32, %%ecx\n\t"        // leading zeros, 32..63
           "cmpl %%eax, %%ecx\n\t"
           "jge %l[general]\n\t"
           "subl %%ecx, %%eax\n\t"
           "shll %%cl, %%esi\n\t"       // by the count less 32
           "movl %%esi, %%edi\n\t"
           "xorl %%esi, %%esi\n"
           "5:\n\t"
           "shll $16, %%eax\n\t"
           "xorl %[sign], %%edx\n\t"
           "orl %%edx, %%eax\n\t"
           "movl %[r], %%ecx\n\t"
           "movl %%eax, (%%ecx)\n\t"
           "movl %%esi, 4(%%ecx)\n\t"
           "movl %%edi, 8(%%ecx)"
           : "+S"(a), "+D"(b)
           : [r] "m"(r), [sign] "mi"((u32)sign)
           : "eax", "ebx", "ecx", "edx", "cc", "memory"
           : general);
  return true;
general:
  return false;
}
#endif

// |a| + |b| with the given sign, for two `Valid` operands: the larger
// significand's (by exponent, then significand) stays, the other is
// shifted to it, losing its low bits.
EXT_GENERAL void ext_magnitude_add_general(const ExtValue* a, const ExtValue* b, int sign, ExtValue* r) {
  // The operands are swapped by address, so that only the exponents are
  // live while they are ordered (equal operands add alike either way).
  int ea = ext_head_exponent(ext_head(a)), eb = ext_head_exponent(ext_head(b));
  if (ea > eb || (ea == eb && ext_mant(a) > ext_mant(b))) {
    const ExtValue* t = a;
    a = b;
    b = t;
    int u = ea;
    ea = eb;
    eb = u;
  }
  // Now b is the larger: exponent eb, significand mb.
  int d = eb - ea;
  u64 mb = ext_mant(b);
  if (d > 64) return ext_put(r, sign, TAG_VALID, eb, mb);
  u64 s = mb + (d >= 64 ? 0 : ext_mant(a) >> d);
  if (s < mb) {  // carry out of bit 63
    s = (s >> 1) | 0x8000000000000000ull;
    // Past the exponent range: an infinity, as a product does.
    if (++eb > EXT_EXP_MAX) return ext_put(r, sign, TAG_SPECIAL, EXT_EXP_SPECIAL, 0x8000000000000000ull);
  } else if (!(s >> 63)) {  // only from operands below the normal range
    if (s == 0) return ext_put(r, sign, TAG_ZERO, 0, 0);
    ext_normalise_left(&s, &eb);
  }
  ext_put(r, sign, TAG_VALID, eb, s);
}

// ||a| - |b||, for two `Valid` operands: `sign` when |a| > |b|, the other
// sign otherwise (so an exact zero takes the other sign). The smaller
// operand loses its low bits while it is aligned.
EXT_GENERAL void ext_magnitude_difference_general(const ExtValue* a, const ExtValue* b, int sign, ExtValue* r) {
  // Swapped by address, as above.
  int ea = ext_head_exponent(ext_head(a)), eb = ext_head_exponent(ext_head(b));
  if (!(ea > eb || (ea == eb && ext_mant(a) > ext_mant(b)))) {
    const ExtValue* t = a;
    a = b;
    b = t;
    int u = ea;
    ea = eb;
    eb = u;
    sign ^= 1;
  }
  // Now a is the larger.
  int d = ea - eb;
  u64 ma = ext_mant(a);
  if (d > 64) return ext_put(r, sign, TAG_VALID, ea, ma);
  u64 s = ma - (d >= 64 ? 0 : ext_mant(b) >> d);
  if (s == 0) return ext_put(r, sign, TAG_ZERO, 0, 0);
  ext_normalise_left(&s, &ea);
  ext_put(r, sign, TAG_VALID, ea, s);
}

// The same, the common case first where there is one in assembly.
EXT_INLINE void ext_magnitude_add(const ExtValue* a, const ExtValue* b, int sign, ExtValue* r) {
#if FPU_I386_ASM
  if (ext_magnitude_add_common(a, b, sign, r)) return;
#endif
  ext_magnitude_add_general(a, b, sign, r);
}
EXT_INLINE void ext_magnitude_difference(const ExtValue* a, const ExtValue* b, int sign, ExtValue* r) {
#if FPU_I386_ASM
  if (ext_magnitude_difference_common(a, b, sign, r)) return;
#endif
  ext_magnitude_difference_general(a, b, sign, r);
}

// a + b and a - b for two `Valid` operands.
EXT_INLINE void ext_add_valid(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (a->sign == b->sign) ext_magnitude_add(a, b, a->sign, r);
  else if (a->sign == 0) ext_magnitude_difference(a, b, 0, r);  // a - |b|
  else ext_magnitude_difference(b, a, 0, r);                    // b - |a|
}
EXT_INLINE void ext_sub_valid(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (a->sign != b->sign) ext_magnitude_add(a, b, a->sign, r);
  else ext_magnitude_difference(a, b, a->sign, r);
}

// Upper 64 bits of the 128-bit product, from four 32x32 partial products:
// the middle column only contributes its two carries.
EXT_INLINE u64 ext_mul_high(u64 a, u64 b) {
  u32 a0 = (u32)a, a1 = (u32)(a >> 32), b0 = (u32)b, b1 = (u32)(b >> 32);
  u32 low_high = (u32)(((u64)a0 * b0) >> 32);
  u64 x = (u64)a0 * b1, y = (u64)a1 * b0;
  u32 column, carry1, carry2;
  carry1 = __builtin_add_overflow(low_high, (u32)x, &column);
  carry2 = __builtin_add_overflow(column, (u32)y, &column);
  return (u64)a1 * b1 + (x >> 32) + (y >> 32) + (carry1 + carry2);
}

// A product or quotient whose exponent is above the range before its
// normalising shift may be in range after it (a significand below 1): the
// overflow test is made on the normalised exponent, so such a value is
// finite, as on the hardware, and not an infinity.
EXT_INLINE void ext_above_range_normalise(u64* m, int* e) {
  if (*e > EXT_EXP_MAX && *m && !(*m >> 63)) {
    int n = ext_clz64(*m);
    *m <<= n;
    *e -= n;
  }
}

// The rest of a product: out of range, or a significand with leading zeros
// (an operand below the normal range).
EXT_INLINE void ext_mul_finish(int sign, u64 m, int e, ExtValue* r) {
  ext_above_range_normalise(&m, &e);
  if (e > EXT_EXP_MAX) return ext_put(r, sign, TAG_SPECIAL, EXT_EXP_SPECIAL, 0x8000000000000000ull);
  if (e < EXT_EXP_FLOOR || m == 0) return ext_put(r, sign, TAG_ZERO, 0, 0);
  ext_normalise_left(&m, &e);
  ext_put(r, sign, TAG_VALID, e, m);
}

// a * b for two `Valid` operands, normalised.
EXT_INLINE void ext_mul_valid(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  u32 ha = ext_head(a), hb = ext_head(b);
  int sign = (int)((ha ^ hb) & 0xFF);
  u64 m = ext_mul_high(ext_mant(a), ext_mant(b));
  int e = ext_head_exponent(ha) + ext_head_exponent(hb) - (EXT_BIAS - 1);
  ext_mul_finish(sign, m, e, r);
}

// The common product, tried first by the instruction routines: two
// normalised significands (their product has at most one leading zero)
// and non-negative exponents whose sum stays in range. Returns false,
// having written nothing, for every other pair of operands.
//
// It works on the head words: with both tags 0 and both exponents below
// 0x8000, ha + hb holds the exponent sum in its upper half and the sum of
// the signs (0, 1 or 2) in its lower half, whose bit 0 is the product's
// sign. Only the result's head and address stay live across the product,
// and the one normalising shift is made without a branch on its bits.
EXT_INLINE bool ext_mul_common_head(const ExtValue* a, const ExtValue* b, u32* head) {
  u32 ha = ext_head(a), hb = ext_head(b);
  if ((ha | hb) & 0x8000FF00u) return false;  // a tag other than `Valid`, or a negative exponent
  u32 sum = ha + hb;
  // Biased result exponent sum - 0x3FFE in 1..EXT_EXP_MAX.
  if (sum - ((u32)EXT_BIAS << 16) >= (u32)EXT_EXP_MAX << 16) return false;
  if (!((a->mant_hi & b->mant_hi) >> 31)) return false;
  *head = (sum - ((u32)(EXT_BIAS - 1) << 16)) & ~2u;
  return true;
}
// Writes the upper half m of a common product with the head: below 2, it
// goes one place left (m + m) and the exponent one down; in 32-bit halves,
// so that nothing leaves the registers.
EXT_INLINE void ext_mul_put(u64 m, u32 head, ExtValue* r) {
  u32 hi = (u32)(m >> 32), lo = (u32)m;
  u32 below = ~(u32)((i32)hi >> 31);
  u32 lo_masked = lo & below;
  hi += (hi & below) + (lo_masked >> 31);
  lo += lo_masked;
  head += below << 16;
  ext_put_head(r, head);
  r->mant_lo = lo;
  r->mant_hi = hi;
}
// The product of a pair accepted by ext_mul_common_head, written to r
// (which may be a or b).
EXT_INLINE void ext_mul_common_product(const ExtValue* a, const ExtValue* b, u32 head, ExtValue* r) {
#if FPU_I386_ASM
  // The same columns with the carries in the flags, and the normalising
  // shift by a count of 0 or 1; GCC spills the 64-bit sums of the
  // portable form.
  u32 t0, t1;
  asm volatile("movl 4(%[a]), %%eax\n\t"
      "mull 4(%[b])\n\t"
      "movl %%edx, %[t0]\n\t"          // high word of a0 * b0
      "movl 4(%[a]), %%eax\n\t"
      "mull 8(%[b])\n\t"
      "addl %[t0], %%eax\n\t"
      "adcl $0, %%edx\n\t"             // x = a0 * b1 + that (no carry out)
      "movl %%eax, %[t0]\n\t"
      "movl %%edx, %[t1]\n\t"
      "movl 8(%[a]), %%eax\n\t"
      "mull 4(%[b])\n\t"               // y = a1 * b0
      "addl %%eax, %[t0]\n\t"          // middle column: its carry ...
      "adcl %%edx, %[t1]\n\t"          // ... and both high words
      "sbbl %[t0], %[t0]\n\t"          // minus the carry out of those
      "movl 8(%[a]), %%eax\n\t"
      "mull 8(%[b])\n\t"
      "addl %[t1], %%eax\n\t"
      "adcl $0, %%edx\n\t"
      "subl %[t0], %%edx\n\t"          // the product's upper half
      "movl %%edx, %%ecx\n\t"
      "notl %%ecx\n\t"
      "shrl $31, %%ecx\n\t"             // 1 below 1, else 0: the shift
      "shldl %%cl, %%eax, %%edx\n\t"
      "shll %%cl, %%eax\n\t"
      "shll $16, %%ecx\n\t"
      "negl %%ecx\n\t"
      "addl %[head], %%ecx\n\t"        // one less in the exponent after a shift
      "movl %%ecx, (%[r])\n\t"
      "movl %%eax, 4(%[r])\n\t"
      "movl %%edx, 8(%[r])"
      : [t0] "=&c"(t0), [t1] "=&r"(t1)
      : [a] "r"(a), [b] "r"(b), [r] "r"(r), [head] "g"(head)
      : "eax", "edx", "cc", "memory");
#else
  u32 a0 = a->mant_lo, a1 = a->mant_hi, b0 = b->mant_lo, b1 = b->mant_hi;
  u64 x = (u64)a0 * b1 + (u32)(((u64)a0 * b0) >> 32);
  u64 y = (u64)a1 * b0 + (u32)x;
  ext_mul_put((u64)a1 * b1 + (u32)(x >> 32) + (u32)(y >> 32), head, r);
#endif
}
// The same product when b's low significand word is zero (the small
// integers of the series): the two partial products of that word vanish,
// so the upper half is a1 * b1 plus the high word of a0 * b1, exactly.
EXT_INLINE void ext_mul_common_product_short(const ExtValue* a, const ExtValue* b, u32 head, ExtValue* r) {
  ext_mul_put((u64)a->mant_hi * b->mant_hi + (((u64)a->mant_lo * b->mant_hi) >> 32), head, r);
}
EXT_INLINE bool ext_mul_common(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  u32 head;
  if (!ext_mul_common_head(a, b, &head)) return false;
  ext_mul_common_product(a, b, head, r);
  return true;
}

// The instruction routines' entry points: the common case inline, every
// other case through the full routine.
EXT_INLINE void ext_add_hot(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (a->tag == TAG_VALID && b->tag == TAG_VALID) ext_add_valid(a, b, r);
  else ext_add(a, b, r);
}
EXT_INLINE void ext_sub_hot(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (a->tag == TAG_VALID && b->tag == TAG_VALID) ext_sub_valid(a, b, r);
  else ext_sub(a, b, r);
}
EXT_INLINE void ext_mul_hot(const ExtValue* a, const ExtValue* b, ExtValue* r) {
  if (!ext_mul_common(a, b, r)) ext_mul(a, b, r);
}
// The order ext_compare gives two `Valid` operands whose integer bits are
// set (its normalisation changes nothing for them: they order by sign,
// exponent and significand), and such an operand against a zero (a
// compare with 0.0, which orders by the operand's sign); -1 for any other
// pair.
EXT_INLINE int ext_compare_common(const ExtValue* a, const ExtValue* b) {
  if (!ext_heads_valid(ext_head(a), ext_head(b)) || !((a->mant_hi & b->mant_hi) >> 31)) {
    const bool a_zero = a->tag == TAG_ZERO && !(a->mant_hi | a->mant_lo);
    const bool b_zero = b->tag == TAG_ZERO && !(b->mant_hi | b->mant_lo);
    if (a_zero && b->tag == TAG_VALID && (b->mant_hi >> 31)) return b->sign ? CMP_GREATER : CMP_LESS;
    if (b_zero && a->tag == TAG_VALID && (a->mant_hi >> 31)) return a->sign ? CMP_LESS : CMP_GREATER;
    return -1;
  }
  int d;
  if (a->sign != b->sign) {
    d = 1;
  } else if (a->exponent != b->exponent) {
    d = a->exponent > b->exponent ? 1 : -1;
  } else {
    const u64 ma = ext_mant(a), mb = ext_mant(b);
    d = ma > mb ? 1 : ma < mb ? -1 : 0;
  }
  if (a->sign) d = -d;
  return d > 0 ? CMP_GREATER : d < 0 ? CMP_LESS : CMP_EQUAL;
}
// ext_compare with the common pairs above inline.
EXT_INLINE int ext_compare_hot(ExtValue* a, ExtValue* b) {
  const int r = ext_compare_common(a, b);
  return r >= 0 ? r : ext_compare(a, b);
}
