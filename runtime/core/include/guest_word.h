// Byte-wise access to 32-bit guest words. Guest stack slots, return
// addresses and relocated words may lie at any byte address, and the host
// need not tolerate unaligned word access, so every such word is read and
// written one byte at a time, least significant byte first.
#pragma once

#include <cstdint>

static inline uint32_t guest_read32(uint32_t address) {
  const volatile uint8_t* p = reinterpret_cast<const volatile uint8_t*>(static_cast<uintptr_t>(address));
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

static inline void guest_write32(uint32_t address, uint32_t value) {
  volatile uint8_t* p = reinterpret_cast<volatile uint8_t*>(static_cast<uintptr_t>(address));
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

static inline uint32_t guest_addr(const void* host) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(host));
}
