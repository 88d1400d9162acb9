// Helpers that translated guest code is written in: guest memory access,
// the lazy flag values and the x86 integer operations that set them. Every
// operation takes operands already cut to its width W (8, 16 or 32 bits)
// and returns its result cut to W.
#pragma once

#include <cstring>

#include "frame.h"
#include "wce/seh.h"

#define XI static inline __attribute__((always_inline))

// The lazy flag values of a running chunk (DF lives apart). AF is bit 4 of
// `af` (for arithmetic: operand ^ operand ^ result, the carry into bit 4).
// It lives only while the chunk runs: the frame and the Env carry the other
// five, so a chunk is entered with AF clear. The helpers that set it take
// AF = false where the flag-liveness pass found it dead.
struct XFlags {
  u32 cf, of;
  i32 sf;
  u32 zf, pf;
  u32 af = 0;  // a chunk is entered with AF clear
};
constexpr u32 X_FLAG_AF = 0x10;

template <int W>
XI constexpr u32 x_mask() {
  return W == 32 ? 0xFFFFFFFFu : (1u << W) - 1;
}
template <int W>
XI constexpr i32 x_sx(u32 v) {
  if constexpr (W == 8) return static_cast<int8_t>(v);
  if constexpr (W == 16) return static_cast<int16_t>(v);
  return static_cast<i32>(v);
}
template <int W>
XI u32 x_msb(u32 v) {
  return (v >> (W - 1)) & 1;
}
template <int W>
XI void x_szp(XFlags& f, u32 r) {
  f.sf = x_sx<W>(r);
  f.zf = r;
  f.pf = r;
}

// --- guest memory ------------------------------------------------------------
// Every guest access is volatile: the host compiler keeps them in program
// order among themselves, as the guest processor does (another guest
// thread may watch: a plain store after an increment under a spinlock is
// the lock's release, and must not pass the increment). The host's own
// ordering of stores and loads is the x86's, which is the guest's.
// A 32-bit operand whose address is known to be aligned (stack words,
// scaled indexes, aligned absolute addresses) is a word access (m32a);
// any other 16- or 32-bit operand goes through a type of alignment 1, one
// word access where the processor allows unaligned ones and byte accesses
// where it does not.
typedef uint16_t __attribute__((aligned(1), may_alias)) XU16;
typedef u32 __attribute__((aligned(1), may_alias)) XU32;
XI uint8_t* x_ptr(u32 a) { return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(a)); }
XI u32 m8(u32 a) { return *reinterpret_cast<volatile uint8_t*>(x_ptr(a)); }
XI void s8(u32 a, u32 v) { *reinterpret_cast<volatile uint8_t*>(x_ptr(a)) = static_cast<uint8_t>(v); }
XI u32 m16(u32 a) { return *reinterpret_cast<volatile XU16*>(x_ptr(a)); }
XI void s16(u32 a, u32 v) { *reinterpret_cast<volatile XU16*>(x_ptr(a)) = static_cast<uint16_t>(v); }
XI u32 m32(u32 a) { return *reinterpret_cast<volatile XU32*>(x_ptr(a)); }
XI void s32(u32 a, u32 v) { *reinterpret_cast<volatile XU32*>(x_ptr(a)) = v; }
XI u32 m32a(u32 a) { return *reinterpret_cast<volatile u32*>(x_ptr(a)); }
XI void s32a(u32 a, u32 v) { *reinterpret_cast<volatile u32*>(x_ptr(a)) = v; }
template <int W>
XI u32 mw(u32 a) {
  if constexpr (W == 8) return m8(a);
  if constexpr (W == 16) return m16(a);
  return m32(a);
}
template <int W>
XI void sw(u32 a, u32 v) {
  if constexpr (W == 8) s8(a, v);
  if constexpr (W == 16) s16(a, v);
  if constexpr (W == 32) s32(a, v);
}
XI u32 x_fs() { return guest_addr(FS_Base()); }

// --- arithmetic ----------------------------------------------------------------
template <int W, bool AF = true>
XI u32 x_add(XFlags& f, u32 a, u32 b) {
  u32 r = (a + b) & x_mask<W>();
  f.cf = r < a;
  f.of = x_msb<W>((a ^ r) & (b ^ r));
  if constexpr (AF) f.af = a ^ b ^ r;
  x_szp<W>(f, r);
  return r;
}
template <int W, bool AF = true>
XI u32 x_adc(XFlags& f, u32 a, u32 b) {
  u32 c = f.cf;
  u32 r = (a + b + c) & x_mask<W>();
  f.cf = c ? r <= a : r < a;
  f.of = x_msb<W>((a ^ r) & (b ^ r));
  if constexpr (AF) f.af = a ^ b ^ r;
  x_szp<W>(f, r);
  return r;
}
template <int W, bool AF = true>
XI u32 x_sub(XFlags& f, u32 a, u32 b) {
  u32 r = (a - b) & x_mask<W>();
  f.cf = a < b;
  f.of = x_msb<W>((a ^ b) & (a ^ r));
  if constexpr (AF) f.af = a ^ b ^ r;
  x_szp<W>(f, r);
  return r;
}
template <int W, bool AF = true>
XI u32 x_sbb(XFlags& f, u32 a, u32 b) {
  u32 c = f.cf;
  u32 r = (a - b - c) & x_mask<W>();
  f.cf = c ? a <= b : a < b;
  f.of = x_msb<W>((a ^ b) & (a ^ r));
  if constexpr (AF) f.af = a ^ b ^ r;
  x_szp<W>(f, r);
  return r;
}
template <int W, bool AF = true>
XI u32 x_logic(XFlags& f, u32 r) {
  f.cf = 0;
  f.of = 0;
  if constexpr (AF) f.af = 0;  // undefined; the P6 clears it
  x_szp<W>(f, r);
  return r;
}
template <int W, bool AF = true>
XI u32 x_inc(XFlags& f, u32 a) {
  u32 r = (a + 1) & x_mask<W>();
  f.of = r == (1u << (W - 1));
  if constexpr (AF) f.af = a ^ 1 ^ r;
  x_szp<W>(f, r);
  return r;
}
template <int W, bool AF = true>
XI u32 x_dec(XFlags& f, u32 a) {
  u32 r = (a - 1) & x_mask<W>();
  f.of = a == (1u << (W - 1));
  if constexpr (AF) f.af = a ^ 1 ^ r;
  x_szp<W>(f, r);
  return r;
}
template <int W, bool AF = true>
XI u32 x_neg(XFlags& f, u32 a) {
  u32 r = (0 - a) & x_mask<W>();
  f.cf = a != 0;
  f.of = a == (1u << (W - 1));
  if constexpr (AF) f.af = a ^ r;
  x_szp<W>(f, r);
  return r;
}

// --- shifts and rotates: the count is cut to 5 bits; 0 changes nothing ----------
template <int W>
XI u32 x_shl(XFlags& f, u32 a, u32 c) {
  c &= 31;
  if (!c) return a;
  u32 r;
  // In 32-bit words where the operand is one (a 64-bit shift costs i386
  // hosts a register holding zero and a double shift).
  if constexpr (W == 32) {
    r = a << c;
    f.cf = (a >> (32 - c)) & 1;
  } else {
    uint64_t wide = static_cast<uint64_t>(a) << c;
    r = static_cast<u32>(wide) & x_mask<W>();
    f.cf = static_cast<u32>(wide >> W) & 1;
  }
  f.of = x_msb<W>(r) ^ f.cf;
  x_szp<W>(f, r);
  return r;
}
template <int W>
XI u32 x_shr(XFlags& f, u32 a, u32 c) {
  c &= 31;
  if (!c) return a;
  u32 r = a >> c;
  f.cf = (a >> (c - 1)) & 1;
  f.of = x_msb<W>(a);
  x_szp<W>(f, r);
  return r;
}
template <int W>
XI u32 x_sar(XFlags& f, u32 a, u32 c) {
  c &= 31;
  if (!c) return a;
  i32 s = x_sx<W>(a);
  f.cf = static_cast<u32>(s >> (c - 1)) & 1;
  u32 r = static_cast<u32>(s >> c) & x_mask<W>();
  f.of = 0;
  x_szp<W>(f, r);
  return r;
}
template <int W>
XI u32 x_rol(XFlags& f, u32 a, u32 c) {
  c &= 31;
  if (!c) return a;
  u32 k = c % W;
  u32 r = k ? ((a << k) | (a >> (W - k))) & x_mask<W>() : a;
  f.cf = r & 1;
  f.of = x_msb<W>(r) ^ f.cf;
  return r;
}
template <int W>
XI u32 x_ror(XFlags& f, u32 a, u32 c) {
  c &= 31;
  if (!c) return a;
  u32 k = c % W;
  u32 r = k ? ((a >> k) | (a << (W - k))) & x_mask<W>() : a;
  f.cf = x_msb<W>(r);
  f.of = f.cf ^ x_msb<W>(r << 1);
  return r;
}
template <int W>
XI u32 x_rcl(XFlags& f, u32 a, u32 c) {
  c = (c & 31) % (W + 1);
  if (!c) return a;
  uint64_t v = static_cast<uint64_t>(f.cf) << W | a;  // W + 1 bits: CF above the operand
  uint64_t m = (static_cast<uint64_t>(1) << (W + 1)) - 1;
  v = ((v << c) | (v >> (W + 1 - c))) & m;
  u32 r = static_cast<u32>(v) & x_mask<W>();
  f.cf = static_cast<u32>(v >> W) & 1;
  f.of = x_msb<W>(r) ^ f.cf;
  return r;
}
template <int W>
XI u32 x_rcr(XFlags& f, u32 a, u32 c) {
  c = (c & 31) % (W + 1);
  if (!c) return a;
  f.of = x_msb<W>(a) ^ f.cf;
  uint64_t v = static_cast<uint64_t>(f.cf) << W | a;
  uint64_t m = (static_cast<uint64_t>(1) << (W + 1)) - 1;
  v = ((v >> c) | (v << (W + 1 - c))) & m;
  f.cf = static_cast<u32>(v >> W) & 1;
  return static_cast<u32>(v) & x_mask<W>();
}
template <int W>
XI u32 x_shld(XFlags& f, u32 a, u32 b, u32 c) {
  c &= 31;
  if (!c) return a;
  u32 r;
  if constexpr (W == 32) {
    r = (a << c) | (c ? b >> (32 - c) : 0);
    f.cf = (a >> (32 - c)) & 1;
  } else {
    uint64_t v = (static_cast<uint64_t>(a) << W | b) << c;
    r = static_cast<u32>(v >> W) & x_mask<W>();
    f.cf = static_cast<u32>(v >> (2 * W)) & 1;
  }
  f.of = x_msb<W>(r ^ a);
  x_szp<W>(f, r);
  return r;
}
template <int W>
XI u32 x_shrd(XFlags& f, u32 a, u32 b, u32 c) {
  c &= 31;
  if (!c) return a;
  uint64_t v = static_cast<uint64_t>(b) << W | a;
  u32 r = static_cast<u32>(v >> c) & x_mask<W>();
  f.cf = static_cast<u32>(v >> (c - 1)) & 1;
  f.of = x_msb<W>(r ^ a);
  x_szp<W>(f, r);
  return r;
}

// --- multiply and divide ---------------------------------------------------------
// Two- and three-operand IMUL: CF = OF = the product did not fit.
template <int W>
XI u32 x_imul(XFlags& f, u32 a, u32 b) {
  u32 r;
  if constexpr (W == 32) {
    // One 32-bit multiply whose overflow test goes when the flags are dead
    // (a 64-bit product would keep EDX busy on i386 hosts).
    i32 p;
    f.cf = f.of = __builtin_mul_overflow(static_cast<i32>(a), static_cast<i32>(b), &p);
    r = static_cast<u32>(p);
  } else {
    int64_t p = static_cast<int64_t>(x_sx<W>(a)) * x_sx<W>(b);
    r = static_cast<u32>(p) & x_mask<W>();
    f.cf = f.of = p != x_sx<W>(r);
  }
  x_szp<W>(f, r);
  return r;
}
// One-operand MUL and IMUL: the double-width product.
template <int W>
XI uint64_t x_mul_wide(XFlags& f, u32 a, u32 b, bool is_signed) {
  uint64_t p = is_signed ? static_cast<uint64_t>(static_cast<int64_t>(x_sx<W>(a)) * x_sx<W>(b))
                         : static_cast<uint64_t>(a) * b;
  u32 low = static_cast<u32>(p) & x_mask<W>();
  if (is_signed)
    f.cf = static_cast<int64_t>(p) != x_sx<W>(low);
  else
    f.cf = (p >> W) != 0;
  f.of = f.cf;
  x_szp<W>(f, low);
  return p;
}

// The divide error of the x86, raised as a host exception so that it takes
// the road of every other fault.
[[noreturn]] void x_divide_error(u32 guest_eip, bool zero_divisor);
// The exception of a trap instruction (INT3, UD2, HLT, INT n ...), raised
// the same way.
[[noreturn]] void x_guest_trap(u32 guest_eip, u32 code);
// After the runtime abandoned the x87 instruction at guest_eip: the
// floating-point exception of the x87's unmasked pending one, raised the
// same way; returns when none is pending (a register operand where the
// operation asks for an address).
void x_x87_raise(u32 guest_eip);

// CPUID: the processor the guest sees (a P6-class x87 machine without
// MMX or SSE), and RDTSC: a counter of nanoseconds since some fixed point.
struct XCpuid {
  u32 eax, ebx, ecx, edx;
};
XCpuid x_cpuid(u32 leaf, u32 subleaf);
uint64_t x_rdtsc(void);

// Unsigned and signed division of the double-width dividend hi:lo by d;
// false when the x86 would raise a divide error. The 8- and 16-bit forms
// divide in 32 bits. The 32-bit forms test for the divide error first, so
// that on an i386 host one DIVL (which cannot fault then) does the
// division; a 64-bit `/` and `%` would be two calls into libgcc.
XI u32 x_divl(u32 hi, u32 lo, u32 d, u32* r) {  // requires hi < d
#if defined(__i386__)
  u32 q;
  asm("divl %4" : "=a"(q), "=d"(*r) : "a"(lo), "d"(hi), "rm"(d) : "cc");
  return q;
#else
  const uint64_t n = static_cast<uint64_t>(hi) << 32 | lo;
  *r = static_cast<u32>(n % d);
  return static_cast<u32>(n / d);
#endif
}
template <int W>
XI bool x_divu(u32 hi, u32 lo, u32 d, u32* q, u32* r) {
  if constexpr (W == 32) {
    if (hi >= d) return false;  // also d == 0: the quotient needs more than 32 bits
    *q = x_divl(hi, lo, d, r);
    return true;
  } else {
    if (!d) return false;
    const u32 n = hi << W | lo;
    if (n / d > x_mask<W>()) return false;
    *q = n / d;
    *r = n % d;
    return true;
  }
}
template <int W>
XI bool x_divs(u32 hi, u32 lo, u32 d, u32* q, u32* r) {
  if (!d) return false;
  if constexpr (W == 32) {
    // On the magnitudes; the quotient takes the sign of the operands'
    // product, the remainder the dividend's.
    const bool negative_n = static_cast<i32>(hi) < 0, negative_d = static_cast<i32>(d) < 0;
    uint64_t n = static_cast<uint64_t>(hi) << 32 | lo;
    if (negative_n) n = 0 - n;
    const u32 dm = negative_d ? 0u - d : d;
    const u32 nh = static_cast<u32>(n >> 32);
    if (nh >= dm) return false;
    u32 rm;
    const u32 qm = x_divl(nh, static_cast<u32>(n), dm, &rm);
    if (negative_n != negative_d) {
      if (qm > 0x80000000u) return false;
      *q = 0u - qm;
    } else {
      if (qm > 0x7FFFFFFFu) return false;
      *q = qm;
    }
    *r = negative_n ? 0u - rm : rm;
    return true;
  } else {
    const i32 n = static_cast<i32>(hi << W | lo) << (32 - 2 * W) >> (32 - 2 * W);
    const i32 dv = x_sx<W>(d);
    if (n == INT32_MIN && dv == -1) return false;  // W == 16 only; the host would trap
    const i32 quotient = n / dv;
    if (quotient > x_sx<W>(x_mask<W>() >> 1) || quotient < -static_cast<i32>(x_mask<W>() >> 1) - 1) return false;
    *q = static_cast<u32>(quotient) & x_mask<W>();
    *r = static_cast<u32>(n % dv) & x_mask<W>();
    return true;
  }
}

// --- bits --------------------------------------------------------------------------
XI u32 x_bsf(XFlags& f, u32 s, u32 old) {
  f.zf = s;
  return s ? static_cast<u32>(__builtin_ctz(s)) : old;
}
XI u32 x_bsr(XFlags& f, u32 s, u32 old) {
  f.zf = s;
  return s ? static_cast<u32>(31 - __builtin_clz(s)) : old;
}

// --- EFLAGS --------------------------------------------------------------------------
// The six flags the Env carries (also what the runtime's x87 is given and
// gives back: AF stays in the chunk's locals meanwhile).
XI u32 x_eflags(const XFlags& f, i32 df) {
  return (f.cf ? FLAG_CF : 0) | (f.of ? FLAG_OF : 0) | (f.sf < 0 ? FLAG_SF : 0) | (kParity[f.pf & 0xFF] ? FLAG_PF : 0) |
         (f.zf == 0 ? FLAG_ZF : 0) | (df < 0 ? FLAG_DF : 0);
}
XI void x_set_eflags(XFlags& f, i32& df, u32 e) {
  f.cf = e & FLAG_CF;
  f.of = (e & FLAG_OF) ? 1 : 0;
  f.sf = (e & FLAG_SF) ? -1 : 0;
  f.zf = (e & FLAG_ZF) ? 0 : 1;
  f.pf = (e & FLAG_PF) ? 0 : 1;
  df = (e & FLAG_DF) ? -1 : 1;
}
// With AF: what the guest itself reads and writes (PUSHF, POPF, LAHF). Only
// these make AF live, so a chunk without them computes no AF at all.
XI u32 x_guest_eflags(const XFlags& f, i32 df) { return x_eflags(f, df) | (f.af & X_FLAG_AF); }
XI void x_set_guest_eflags(XFlags& f, i32& df, u32 e) {
  x_set_eflags(f, df, e);
  f.af = e & X_FLAG_AF;
}
// SAHF: SF, ZF, AF, PF and CF from AH.
XI void x_sahf(XFlags& f, u32 ah) {
  f.cf = ah & 1;
  f.af = ah & X_FLAG_AF;
  f.pf = (ah & 4) ? 0 : 1;
  f.zf = (ah & 0x40) ? 0 : 1;
  f.sf = (ah & 0x80) ? -1 : 0;
}
XI u32 x_lahf(const XFlags& f) { return (x_guest_eflags(f, 1) & 0xD5) | 2; }

#include "xlat_decimal.h"

// --- string instructions ---------------------------------------------------------------
// One element, or with REP until ECX reaches 0, stepping ESI and EDI by the
// element size in the direction of the DF step.
template <int W>
XI void x_movs(u32& esi, u32& edi, i32 df) {
  sw<W>(edi, mw<W>(esi));
  esi += df * (W / 8);
  edi += df * (W / 8);
}
template <int W>
XI void x_rep_movs(u32& esi, u32& edi, u32& ecx, i32 df) {
  const u32 size = W / 8;
  // Forward copies that cannot see their own output are one block move.
  if (df > 0 && ecx && ecx < 0x40000000u && (edi - esi >= ecx * size) && (esi - edi >= ecx * size)) {
    memmove(x_ptr(edi), x_ptr(esi), ecx * size);
    esi += ecx * size;
    edi += ecx * size;
    ecx = 0;
    return;
  }
  for (; ecx; ecx--) x_movs<W>(esi, edi, df);
}
template <int W>
XI void x_stos(u32& edi, u32 value, i32 df) {
  sw<W>(edi, value);
  edi += df * (W / 8);
}
template <int W>
XI void x_rep_stos(u32& edi, u32& ecx, u32 value, i32 df) {
  if (W == 8 && df > 0 && ecx && ecx < 0x40000000u) {
    memset(x_ptr(edi), static_cast<int>(value & 0xFF), ecx);
    edi += ecx;
    ecx = 0;
    return;
  }
  for (; ecx; ecx--) x_stos<W>(edi, value, df);
}
template <int W>
XI u32 x_lods(u32& esi, i32 df) {
  u32 v = mw<W>(esi);
  esi += df * (W / 8);
  return v;
}
// SCAS and CMPS compare like CMP; `rep` is 0 (none), 1 (REPE) or 2 (REPNE).
template <int W>
XI void x_scas(XFlags& f, u32 acc, u32& edi, u32& ecx, i32 df, int rep) {
  if (!rep) {
    x_sub<W>(f, acc, mw<W>(edi));
    edi += df * (W / 8);
    return;
  }
  while (ecx) {
    x_sub<W>(f, acc, mw<W>(edi));
    edi += df * (W / 8);
    ecx--;
    if ((rep == 1) != (f.zf == 0)) break;
  }
}
template <int W>
XI void x_cmps(XFlags& f, u32& esi, u32& edi, u32& ecx, i32 df, int rep) {
  if (!rep) {
    x_sub<W>(f, mw<W>(esi), mw<W>(edi));
    esi += df * (W / 8);
    edi += df * (W / 8);
    return;
  }
  while (ecx) {
    x_sub<W>(f, mw<W>(esi), mw<W>(edi));
    esi += df * (W / 8);
    edi += df * (W / 8);
    ecx--;
    if ((rep == 1) != (f.zf == 0)) break;
  }
}

// The string instructions with 16-bit addresses (the 0x67 prefix): SI, DI
// and CX count in their low halves, the high halves are kept. `op`: 0
// MOVS, 1 STOS, 2 LODS, 3 SCAS, 4 CMPS; `rep`: 0 none, 1 REP or REPE, 2
// REPNE. The addresses lie below 64K, which is never mapped, so the first
// element faults as on the device; with REP and CX zero nothing is read.
template <int W>
XI void x_string16(XFlags& f, u32& eax, u32& esi, u32& edi, u32& ecx, i32 df, int op, int rep) {
  const u32 mask = W == 32 ? 0xFFFFFFFFu : (1u << W) - 1;
  const u32 step = static_cast<u32>(df * (W / 8));
  auto low = [](u32& r, u32 v) { r = (r & 0xFFFF0000u) | (v & 0xFFFFu); };
  while (!rep || (ecx & 0xFFFFu)) {
    const u32 si = esi & 0xFFFFu, di = edi & 0xFFFFu;
    if (op == 0) sw<W>(di, mw<W>(si));
    if (op == 1) sw<W>(di, eax & mask);
    if (op == 2) eax = (eax & ~mask) | mw<W>(si);
    if (op == 3) x_sub<W>(f, eax & mask, mw<W>(di));
    if (op == 4) x_sub<W>(f, mw<W>(si), mw<W>(di));
    if (op == 0 || op == 2 || op == 4) low(esi, si + step);
    if (op != 2) low(edi, di + step);
    if (!rep) return;
    low(ecx, ecx - 1);
    if (op >= 3 && (rep == 1) != (f.zf == 0)) return;
  }
}

// --- leaving for the runtime ------------------------------------------------------------
// x87 instructions in their plain encodings call the runtime's entry of
// their operation, decoded by the translator (fpu_direct.h).
#include "../../../runtime/fpu/fpu_direct.h"
#include "xlat_x87.h"
// Other x87 encodings (prefixed ones) and MMX instructions run in the
// runtime on the Env; the chunk stores every register first and takes EIP,
// EAX and EFLAGS back afterwards.
struct XFpuOut {
  u32 eax, eip, eflags;
};
XFpuOut x_fpu(Env* env, u32 eax, u32 ebx, u32 ecx, u32 edx, u32 esi, u32 edi, u32 esp, u32 ebp, u32 eip, u32 eflags,
              bool mmx);
