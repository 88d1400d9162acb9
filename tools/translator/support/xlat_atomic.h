// Locked guest instructions (LOCK prefix, and XCHG with memory): each is
// one atomic read-modify-write of the guest operand, sequentially
// consistent, because guest threads run in parallel on host threads. The
// flags are those the plain form computes, from the old value the atomic
// operation observed.
//
// The operand is accessed through a pointer of its own width. On x86 hosts
// that is correct at any address (an access that crosses a cache line is a
// split lock: atomic, but slow, and a kernel with split-lock detection may
// warn or throttle the process); on hosts that require aligned atomics an
// unaligned locked operand faults. Guest code keeps its lock words aligned,
// as the x86 itself demands for speed.
#pragma once

#include <type_traits>

#include "xlat_ops.h"

template <int W>
using XWord = std::conditional_t<W == 8, uint8_t, std::conditional_t<W == 16, uint16_t, u32>>;

template <int W>
XI XWord<W>* x_atom(u32 a) {
  return reinterpret_cast<XWord<W>*>(x_ptr(a));
}

// Operations with a fetch-op of their own: the old value.
template <int W>
XI u32 x_lock_add(u32 a, u32 v) {
  return __atomic_fetch_add(x_atom<W>(a), static_cast<XWord<W>>(v), __ATOMIC_SEQ_CST);
}
template <int W>
XI u32 x_lock_sub(u32 a, u32 v) {
  return __atomic_fetch_sub(x_atom<W>(a), static_cast<XWord<W>>(v), __ATOMIC_SEQ_CST);
}
template <int W>
XI u32 x_lock_and(u32 a, u32 v) {
  return __atomic_fetch_and(x_atom<W>(a), static_cast<XWord<W>>(v), __ATOMIC_SEQ_CST);
}
template <int W>
XI u32 x_lock_or(u32 a, u32 v) {
  return __atomic_fetch_or(x_atom<W>(a), static_cast<XWord<W>>(v), __ATOMIC_SEQ_CST);
}
template <int W>
XI u32 x_lock_xor(u32 a, u32 v) {
  return __atomic_fetch_xor(x_atom<W>(a), static_cast<XWord<W>>(v), __ATOMIC_SEQ_CST);
}
template <int W>
XI u32 x_lock_xchg(u32 a, u32 v) {
  return __atomic_exchange_n(x_atom<W>(a), static_cast<XWord<W>>(v), __ATOMIC_SEQ_CST);
}
// CMPXCHG: stores `v` when the operand is `expected`; the value found.
template <int W>
XI u32 x_lock_cmpxchg(u32 a, u32 expected, u32 v) {
  XWord<W> found = static_cast<XWord<W>>(expected);
  __atomic_compare_exchange_n(x_atom<W>(a), &found, static_cast<XWord<W>>(v), false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return found;
}

// Operations without one (ADC, SBB, NEG): the result of `Op` on the value
// read, stored by compare-exchange, again from the value found until no
// other writer came in between. Each pass starts from the flags before the
// instruction (ADC and SBB read CF); the flags of the pass that stored are
// kept. The old value.
template <int W, u32 (*Op)(XFlags&, u32, u32)>
XI u32 x_lock_update(XFlags& f, u32 a, u32 b) {
  XWord<W>* p = x_atom<W>(a);
  XWord<W> old = __atomic_load_n(p, __ATOMIC_RELAXED);
  for (;;) {
    XFlags g = f;
    const XWord<W> r = static_cast<XWord<W>>(Op(g, old, b));
    if (__atomic_compare_exchange_n(p, &old, r, true, __ATOMIC_SEQ_CST, __ATOMIC_RELAXED)) {
      f = g;
      return old;
    }
  }
}
// NEG in the shape x_lock_update takes.
template <int W>
XI u32 x_neg_of(XFlags& f, u32 a, u32) {
  return x_neg<W>(f, a);
}

// CMPXCHG8B: stores `v` when the eight bytes are `expected`; the value found.
XI uint64_t x_cmpxchg8b(u32 a, uint64_t expected, uint64_t v) {
  uint64_t found = expected;
  __atomic_compare_exchange_n(reinterpret_cast<uint64_t*>(x_ptr(a)), &found, v, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return found;
}
