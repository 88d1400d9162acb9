// Emu87: decodes one x87 instruction at the guest's EIP and executes it on
// the shared FPU. EmuMMX: MMX is not implemented.
#include <cstddef>
#include <cstring>

#include "fpu_dispatch.h"
#include "fpu_memory.h"
#include "fpu_state.h"
#include "trevik.h"

#define FPU_EXPORT extern "C" __attribute__((visibility("default")))

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
static u32 decode_address(const Env* env, u32 modrm, u32* p) {
  u32 mod = modrm >> 6, rm = modrm & 7;
  u32 address;
  if (rm == 4) {
    u32 sib = mem_read8((*p)++);
    u32 base = sib & 7, index = (sib >> 3) & 7;
    address = (mod == 0 && base == 5) ? 0 : guest_register(env, base);
    if (index != 4) address += guest_register(env, index) << (sib >> 6);
    if (mod == 0 && base == 5) {
      address += guest_read32(*p);
      *p += 4;
    }
  } else if (mod == 0 && rm == 5) {
    address = guest_read32(*p);
    *p += 4;
    return address;
  } else {
    address = guest_register(env, rm);
  }
  if (mod == 1) {
    address += (u32)(i32)(int8_t)mem_read8(*p);
    *p += 1;
  } else if (mod == 2) {
    address += guest_read32(*p);
    *p += 4;
  }
  return address;
}

FPU_EXPORT int Emu87(Env* env) {
  u32 p = env->EIP;
  if (mem_read8(p) == 0x66) p++;
  if (mem_read8(p) == 0x9B) {  // FWAIT: nothing is pending in this FPU
    env->EIP = p + 1;
    return 0;
  }
  FpuCall call;
  call.insn = p;
  call.opcode = mem_read8(p);
  call.modrm = mem_read8(p + 1);
  p += 2;
  call.address = call.modrm < 0xC0 ? decode_address(env, call.modrm, &p) : 0;
  call.next = p;
  call.eax = env->EAX;
  call.abandoned = false;
  // Only an unmasked exception can abandon an instruction, so the
  // resumption point is armed only when some exception is unmasked.
  call.resumable = (fpu_state.control & 0x7F) != 0x7F;
  FpuCall* outer = nullptr;
  if (call.resumable) {
    outer = fpu_current_call;
    fpu_current_call = &call;
    if (setjmp(call.resume)) {
      fpu_current_call = outer;
      return 1;
    }
  }
  fpu_main_table[(call.modrm & 0x38) | (call.opcode & 7)](&call);
  if (call.resumable) fpu_current_call = outer;
  if (call.abandoned) return 1;
  env->EIP = call.next;
  env->EAX = call.eax;
  return 0;
}

FPU_EXPORT int EmuMMX(Env* env) {
  log_puts("MMX not implemented");
  u32 eax;
  memcpy(&eax, env, sizeof eax);
  return (int)eax;
}
