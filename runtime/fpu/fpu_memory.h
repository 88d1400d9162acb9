// Byte-wise access to memory operands of other widths than the 32-bit
// guest word (which guest_word.h provides). Guest addresses are host
// addresses; operands may lie at any byte address.
#pragma once

#include "ext_value.h"
#include "guest_word.h"

static inline u16 mem_read16(u32 address) {
  const volatile u8* p = reinterpret_cast<const volatile u8*>(static_cast<uintptr_t>(address));
  return (u16)(p[0] | p[1] << 8);
}
static inline void mem_write16(u32 address, u16 value) {
  volatile u8* p = reinterpret_cast<volatile u8*>(static_cast<uintptr_t>(address));
  p[0] = (u8)value;
  p[1] = (u8)(value >> 8);
}
// 64-bit operands through memcpy: one access where the host allows an
// unaligned one, byte accesses where it does not; the bytes are
// little-endian whatever the host's order.
static inline u64 mem_read64(u32 address) {
  u64 v;
  __builtin_memcpy(&v, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}
static inline u32 mem_read32(u32 address) {
  u32 v;
  __builtin_memcpy(&v, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), 4);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap32(v);
#endif
  return v;
}
static inline void mem_write64(u32 address, u64 value) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  value = __builtin_bswap64(value);
#endif
  __builtin_memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &value, 8);
}
static inline u8 mem_read8(u32 address) { return *reinterpret_cast<const volatile u8*>(static_cast<uintptr_t>(address)); }
static inline void mem_write8(u32 address, u8 value) {
  *reinterpret_cast<volatile u8*>(static_cast<uintptr_t>(address)) = value;
}
