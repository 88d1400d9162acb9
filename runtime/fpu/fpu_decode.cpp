// Emu87: decodes one x87 instruction at the guest's EIP and executes it on
// the shared FPU. EmuMMX: MMX is not implemented.
#include <cstddef>
#include <cstring>

#include "fpu_direct.h"
#include "fpu_dispatch.h"
#include "fpu_memory.h"
#include "fpu_operand.h"
#include "fpu_state.h"
#include "trevik.h"

#define FPU_EXPORT extern "C" __attribute__((visibility("default")))

// The path taken while some exception is unmasked: the resumption point
// is armed around the operation, and this thread's current call points at
// it for fpu_raise. Out of line, so that the common path keeps no jump
// buffer and touches no thread-local data.
static __attribute__((noinline)) bool run_resumable(FpuOp op, FpuCall* call) {
  FpuCall* outer = fpu_current_call;
  call->resumable = true;
  fpu_current_call = call;
  if (setjmp(call->resume)) {
    fpu_current_call = outer;
    return false;
  }
  op(call);
  fpu_current_call = outer;
  return !call->abandoned;
}

int fpu_run(FpuOp op, FpuCall* call) {
  call->abandoned = false;
  call->resumable = false;
  // Only an unmasked exception can abandon an instruction through the
  // resumption point.
  if (__builtin_expect((fpu_state.control & 0x7F) != 0x7F, 0)) return run_resumable(op, call) ? 0 : 1;
  op(call);
  return call->abandoned ? 1 : 0;
}

int fpu_execute(Env* env, u32 insn, FpuOp op) {
  FpuCall call;
  call.env = env;
  call.insn = insn;
  call.opcode = mem_read8(insn);
  u32 modrm = mem_read8(insn + 1);
  call.modrm = modrm;
  u32 p = insn + 2;
  if (modrm < 0xC0) call.address = fpu_operand_address(env, modrm, &p);
  if (fpu_run(op, &call)) return 1;
  env->EIP = p;
  return 0;
}

// The same with the instruction's address and the registers, which the
// unimplemented-opcode trace and FNSTSW AX use.
static int run_decoded(u32 row, u32 modrm, u32 address, u32 insn, Env* env) {
  FpuCall call;
  call.env = env;
  call.insn = insn;
  call.opcode = 0xD8 | (row & 7);
  call.modrm = modrm;
  call.address = address;
  return fpu_run(fpu_main_table[(modrm & 0x38) | (row & 7)].op, &call);
}
int fpu_run_decoded(u32 row, u32 modrm, u32 address) { return run_decoded(row, modrm, address, 0, nullptr); }

// The general direct entry of translated code (fpu_direct.h); the entries
// of their own live with their operations (ops_arith.cpp, ops_move.cpp).
int X87Exec(u32 insn, u32 opcode_modrm, u32 address, Env* env) {
  return run_decoded((opcode_modrm >> 8) & 7, opcode_modrm & 0xFF, address, insn, env);
}

int fpu_execute_cell(Env* env, u32 insn) {
  u32 index = (mem_read8(insn + 1) & 0x38) | (mem_read8(insn) & 7);
  return fpu_execute(env, insn, fpu_main_table[index].op);
}

FPU_EXPORT int Emu87(Env* env) {
  u32 p = env->EIP;
  u32 opcode = mem_read8(p);
  if (__builtin_expect((opcode & 0xF8) != 0xD8, 0)) {  // not an escape byte itself
    if (opcode == 0x66) opcode = mem_read8(++p);
    if (opcode == 0x9B) {  // FWAIT: nothing is pending in this FPU
      env->EIP = p + 1;
      return 0;
    }
  }
  u32 modrm = mem_read8(p + 1);
  const FpuCell& cell = fpu_main_table[(modrm & 0x38) | (opcode & 7)];
  if (cell.entry) return cell.entry(p, &fpu_state, env);
  return fpu_execute(env, p, cell.op);
}

FPU_EXPORT int EmuMMX(Env* env) {
  log_puts("MMX not implemented");
  u32 eax;
  memcpy(&eax, env, sizeof eax);
  return (int)eax;
}
