// The FPU state shared by every guest thread, the record of the one
// instruction a call of Emu87 is executing, and the helpers the operations
// share: stack checks, condition codes, exceptions and the trace channel.
#pragma once

#include <csetjmp>

#include "ext_value.h"

struct Env;  // the caller's record (trevik.h)

#pragma GCC visibility push(hidden)

struct FpuState {
  u32 control;       // low 16 bits used
  ExtValue regs[8];  // physical registers
  u32 status;        // low 16 bits used; bits 11-13 rewritten from top when stored
  u32 top;           // index of ST(0), used modulo 8
};
extern FpuState fpu_state;

constexpr u32 FPU_CONTROL_DEFAULT = 0x037F;
constexpr u32 SW_C0 = 0x100, SW_C1 = 0x200, SW_C2 = 0x400, SW_C3 = 0x4000;
constexpr u32 SW_CC = SW_C0 | SW_C1 | SW_C2 | SW_C3;
constexpr u32 SW_TOP = 0x3800;

// One instruction in progress. It lives on the stack of the general entry
// (fpu_execute) that decodes it, so threads executing x87 code at the same
// time never see each other's instruction or resumption point.
struct FpuCall {
  u32 insn;         // guest address of the opcode byte
  u32 opcode;       // the opcode byte
  u32 modrm;        // the ModRM byte
  u32 address;      // operand address of a memory form
  Env* env;         // the caller's record; FNSTSW AX changes the low half of its EAX
  bool abandoned;   // set when the instruction is given up without an exception
  bool resumable;   // `resume` is armed
  jmp_buf resume;   // where an unmasked exception abandons the instruction
};

typedef void (*FpuOp)(FpuCall* call);

// An entry of its own for an instruction of the main table: executes the
// instruction whose opcode byte is at `insn` (past any prefix) and gives
// Emu87's result. Emu87 jumps to it with nothing left to do afterwards.
// The state comes as an argument, so that the entry's common case needs
// no address of its own (no GOT base in position-independent code). On
// i386 the first two arguments travel in registers and `env` stays where
// Emu87 received it, which leaves a register for the jump's target.
#if defined(__i386__)
#define FPU_ENTRY_CALL __attribute__((regparm(3)))
#define FPU_CELL_CALL __attribute__((regparm(2)))
#else
#define FPU_ENTRY_CALL
#define FPU_CELL_CALL
#endif
typedef int (*FpuEntry)(u32 insn, FpuState* state, Env* env) FPU_CELL_CALL;
// The general entry: builds the instruction record (ModRM, operand
// address, end of the instruction), runs `op` and advances EIP.
int fpu_execute(Env* env, u32 insn, FpuOp op) FPU_ENTRY_CALL;
// Runs `op` on a decoded instruction record (the resumption point armed
// while some exception is unmasked): 0 executed, 1 abandoned.
int fpu_run(FpuOp op, FpuCall* call) FPU_ENTRY_CALL;
// The same with the operation of the instruction's table cell: where an
// entry of its own leaves its common case.
int fpu_execute_cell(Env* env, u32 insn) FPU_ENTRY_CALL;

static inline ExtValue* fpu_st(u32 i) { return &fpu_state.regs[(fpu_state.top + i) & 7]; }
// The same for a state at hand (the direct entries).
static inline ExtValue* fpu_reg(FpuState* s, u32 i) { return &s->regs[(s->top + i) & 7]; }
// Every exception masked: nothing the instruction raises can abandon it.
static inline bool fpu_all_masked(const FpuState* s) { return (s->control & 0x7F) == 0x7F; }
static inline u32 fpu_rm(const FpuCall* c) { return c->modrm & 7; }
static inline bool fpu_is_register_form(const FpuCall* c) { return c->modrm >= 0xC0; }
static inline void fpu_set_cc(u32 bits, FpuState* s = &fpu_state) { s->status = (s->status & ~SW_CC) | bits; }
static inline void fpu_clear_c1(FpuState* s = &fpu_state) { s->status &= ~SW_C1; }
static inline void fpu_pop(FpuState* s = &fpu_state) {
  fpu_reg(s, 0)->tag = TAG_EMPTY;
  s->top++;
}
static inline void fpu_store_top(FpuState* s = &fpu_state) { s->status = (s->status & ~SW_TOP) | (s->top & 7) << 11; }

// The failing halves of the two stack checks, out of line.
void fpu_stack_underflow(void);
void fpu_stack_overflow(void);
// ST(i) check: raises a stack underflow and fails when ST(i) is empty.
static inline bool fpu_check(u32 i) {
  if (__builtin_expect(fpu_st(i)->tag != TAG_EMPTY, 1)) return true;
  fpu_stack_underflow();
  return false;
}
// Push check: on a full stack raises a stack overflow, pushes the
// indefinite value and fails.
static inline bool fpu_push_check(void) {
  if (__builtin_expect(fpu_state.regs[(fpu_state.top - 1) & 7].tag == TAG_EMPTY, 1)) return true;
  fpu_stack_overflow();
  return false;
}
// The operand address of a memory form; a register form is traced and
// abandons the instruction (returns false).
bool fpu_address(FpuCall* call, u32* address);
// The path of every unimplemented table entry.
void fpu_unimplemented(FpuCall* call);
// Back to the load-time state.
void fpu_reset(void);

// Diagnostic trace: printf-style fragments, discarded unless a sink is set.
typedef void (*FpuTraceSink)(const char* text);
extern "C" __attribute__((visibility("default"))) void fpu_set_trace(FpuTraceSink sink);
void fpu_trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void fpu_dump_state(void);

// The current call of this thread, for fpu_raise.
extern thread_local FpuCall* fpu_current_call;

#pragma GCC visibility pop
