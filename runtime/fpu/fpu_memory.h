// Access to the x87's memory operands. Guest addresses are host addresses;
// operands may lie at any byte address. The guest words of the runtime's
// own records (stack slots, return addresses) go through guest_word.h.
#pragma once

#include "ext_value.h"
#include "guest_word.h"

// Operands of 16, 32 and 64 bits through memcpy: one access where the
// host allows an unaligned one, byte accesses where it does not; the bytes
// are little-endian whatever the host's order.
template <typename T>
static inline T mem_little_endian(T v) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  if constexpr (sizeof(T) == 2) return __builtin_bswap16(v);
  if constexpr (sizeof(T) == 4) return __builtin_bswap32(v);
  if constexpr (sizeof(T) == 8) return __builtin_bswap64(v);
#endif
  return v;
}
template <typename T>
static inline T mem_read(u32 address) {
  T v;
  __builtin_memcpy(&v, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), sizeof v);
  return mem_little_endian(v);
}
template <typename T>
static inline void mem_write(u32 address, T value) {
  value = mem_little_endian(value);
  __builtin_memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &value, sizeof value);
}
static inline u16 mem_read16(u32 address) { return mem_read<u16>(address); }
static inline u32 mem_read32(u32 address) { return mem_read<u32>(address); }
static inline u64 mem_read64(u32 address) { return mem_read<u64>(address); }
static inline void mem_write16(u32 address, u16 value) { mem_write(address, value); }
static inline void mem_write32(u32 address, u32 value) { mem_write(address, value); }
static inline void mem_write64(u32 address, u64 value) { mem_write(address, value); }
static inline u8 mem_read8(u32 address) { return *reinterpret_cast<const volatile u8*>(static_cast<uintptr_t>(address)); }
static inline void mem_write8(u32 address, u8 value) {
  *reinterpret_cast<volatile u8*>(static_cast<uintptr_t>(address)) = value;
}
