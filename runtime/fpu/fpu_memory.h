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
static inline u64 mem_read64(u32 address) {
  return (u64)guest_read32(address) | (u64)guest_read32(address + 4) << 32;
}
static inline void mem_write64(u32 address, u64 value) {
  guest_write32(address, (u32)value);
  guest_write32(address + 4, (u32)(value >> 32));
}
static inline u8 mem_read8(u32 address) { return *reinterpret_cast<const volatile u8*>(static_cast<uintptr_t>(address)); }
static inline void mem_write8(u32 address, u8 value) {
  *reinterpret_cast<volatile u8*>(static_cast<uintptr_t>(address)) = value;
}
