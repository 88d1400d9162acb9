// The operand address of a memory form, decoded from the guest's
// registers: used by the general entry and by the entries of their own.
#pragma once

#include <cstddef>
#include <cstring>

#include "fpu_memory.h"
#include "trevik.h"

// Guest register by x86 number (EAX, ECX, EDX, EBX, ESP, EBP, ESI, EDI):
// its offset in the Env record, so that the decoder reads it without a
// branch.
static const u8 register_offsets[8] = {offsetof(Env, EAX), offsetof(Env, ECX), offsetof(Env, EDX),
                                       offsetof(Env, EBX), offsetof(Env, ESP), offsetof(Env, EBP),
                                       offsetof(Env, ESI), offsetof(Env, EDI)};
static inline u32 guest_register(const Env* env, u32 n) {
  u32 v;
  memcpy(&v, reinterpret_cast<const char*>(env) + register_offsets[n & 7], sizeof v);
  return v;
}

// Operand address of a memory form (ModRM below 0xC0), 32-bit addressing;
// `p` is advanced past the SIB byte and the displacement.
static inline u32 fpu_operand_address(const Env* env, u32 modrm, u32* p) {
  u32 mod = modrm >> 6, rm = modrm & 7;
  u32 address;
  if (rm == 4) {
    u32 sib = mem_read8((*p)++);
    u32 base = sib & 7, index = (sib >> 3) & 7;
    address = (mod == 0 && base == 5) ? 0 : guest_register(env, base);
    if (index != 4) address += guest_register(env, index) << (sib >> 6);
    if (mod == 0 && base == 5) {
      address += mem_read32(*p);
      *p += 4;
    }
  } else if (mod == 0 && rm == 5) {
    address = mem_read32(*p);
    *p += 4;
    return address;
  } else {
    address = guest_register(env, rm);
  }
  if (mod == 1) {
    address += (u32)(i32)(int8_t)mem_read8(*p);
    *p += 1;
  } else if (mod == 2) {
    address += mem_read32(*p);
    *p += 4;
  }
  return address;
}
