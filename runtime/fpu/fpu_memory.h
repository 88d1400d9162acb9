// Access to the x87's memory operands. Guest addresses are host addresses;
// operands may lie at any byte address. The guest words of the runtime's
// own records (stack slots, return addresses) go through guest_word.h.
#pragma once

#include "ext_value.h"
#include "guest_word.h"

// Operands of 16, 32 and 64 bits through memcpy: one access where the
// host allows an unaligned one, byte accesses where it does not; the bytes
// are little-endian whatever the host's order.
static inline u16 mem_read16(u32 address) {
  u16 v;
  __builtin_memcpy(&v, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), 2);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap16(v);
#endif
  return v;
}
static inline void mem_write16(u32 address, u16 value) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  value = __builtin_bswap16(value);
#endif
  __builtin_memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &value, 2);
}
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
static inline void mem_write32(u32 address, u32 value) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  value = __builtin_bswap32(value);
#endif
  __builtin_memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &value, 4);
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
