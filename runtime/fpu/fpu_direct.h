// The x87 for translated code: the translator decodes each x87 instruction
// ahead of time and calls the entry of its operation with the decoded
// operand (a memory form's address, or the register number i of ST(i)).
// Each entry executes the instruction exactly as Emu87 does on its bytes
// (the same state, results and exceptions) and returns 0, or 1 when the
// instruction was abandoned by an unmasked exception; the caller then keeps
// EIP at the instruction, as Emu87 does. Names give the opcode byte and
// the reg field of the ModRM byte. Every entry takes the x87's state as its
// last argument, `&X87_state` (the caller has the address at hand in its
// GOT; an entry that had to find it itself would first compute its own GOT
// base, a call and return on i386 for every instruction).
#pragma once

#include <stdint.h>

struct Env;
// Opaque here; hidden like every type of the runtime's x87 (fpu_state.h).
struct __attribute__((visibility("hidden"))) FpuState;
struct ExtValue;  // ext_value.h

// On i386 the arguments travel in registers. Callers call through the GOT
// entry at once (no PLT stub: one indirect jump less per instruction);
// translated modules, position-dependent shared objects there (where such
// a call cannot be linked), call the entry itself once the loader has
// relocated their text.
#if defined(__i386__) && !defined(X87_CALL_RELOCATED)
#define X87_CALL __attribute__((regparm(3), noplt))
#elif defined(__i386__)
#define X87_CALL __attribute__((regparm(3)))
#else
#define X87_CALL
#endif
#define X87_API extern "C" __attribute__((visibility("default")))

// The state every direct entry takes.
X87_API FpuState X87_state;
#define X87S (&X87_state)

// Any x87 instruction: `insn` its guest address (for the trace of an
// unimplemented opcode), `opcode_modrm` its opcode byte (D8-DF) times 256
// plus its ModRM byte, `address` the operand address of a memory form.
// FNSTSW AX writes the low half of env->EAX; no other operation uses `env`.
X87_API int X87Exec(uint32_t insn, uint32_t opcode_modrm, uint32_t address, Env* env) X87_CALL;
// The status word as FNSTSW stores it (TOP included); changes nothing.
X87_API uint32_t X87_status_word(FpuState* state) X87_CALL;

// Arithmetic with a memory operand: D8 single real, DC double real; reg 0
// FADD, 1 FMUL, 4 FSUB, 5 FSUBR, 6 FDIV, 7 FDIVR.
#define X87_ARITH_REGS(X, row) X(row, 0) X(row, 1) X(row, 4) X(row, 5) X(row, 6) X(row, 7)
#define X87_DECLARE_MEMORY(row, reg) X87_API int X87_##row##_##reg##_m(uint32_t address, FpuState* state) X87_CALL;
#define X87_DECLARE_REGISTER(row, reg) X87_API int X87_##row##_##reg##_r(uint32_t i, FpuState* state) X87_CALL;
X87_ARITH_REGS(X87_DECLARE_MEMORY, D8)
X87_ARITH_REGS(X87_DECLARE_MEMORY, DC)
// The same with ST(i): D8 into ST(0), DC into ST(i), DE into ST(i) and pop.
X87_ARITH_REGS(X87_DECLARE_REGISTER, D8)
X87_ARITH_REGS(X87_DECLARE_REGISTER, DC)
X87_ARITH_REGS(X87_DECLARE_REGISTER, DE)
// FLD, FST, FSTP with a single (D9 /0, /2, /3) or double real (DD).
X87_DECLARE_MEMORY(D9, 0)
X87_DECLARE_MEMORY(D9, 2)
X87_DECLARE_MEMORY(D9, 3)
X87_DECLARE_MEMORY(DD, 0)
X87_DECLARE_MEMORY(DD, 2)
X87_DECLARE_MEMORY(DD, 3)
// FILD, FIST, FISTP with a 32-bit (DB /0, /2, /3) or 16-bit integer (DF).
X87_DECLARE_MEMORY(DB, 0)
X87_DECLARE_MEMORY(DB, 2)
X87_DECLARE_MEMORY(DB, 3)
X87_DECLARE_MEMORY(DF, 0)
X87_DECLARE_MEMORY(DF, 2)
X87_DECLARE_MEMORY(DF, 3)
// FLDCW and FNSTCW (D9 /5, /7).
X87_DECLARE_MEMORY(D9, 5)
X87_DECLARE_MEMORY(D9, 7)
// FLD ST(i), FXCH ST(i), FST ST(i), FSTP ST(i); FCHS, FABS, FTST and FXAM
// (D9 /4 with i 0, 1, 4 and 5), the constants (D9 /5 with i 0-6), FSQRT
// (D9 /7 with i 2).
X87_DECLARE_REGISTER(D9, 0)
X87_DECLARE_REGISTER(D9, 1)
X87_DECLARE_REGISTER(D9, 4)
X87_DECLARE_REGISTER(D9, 5)
X87_DECLARE_REGISTER(D9, 7)
X87_DECLARE_REGISTER(DD, 2)
X87_DECLARE_REGISTER(DD, 3)
// Compares: FCOM and FCOMP with a single (D8 /2, /3) or double real (DC),
// or with ST(i) (D8 /2, /3); FUCOM and FUCOMP ST(i) (DD /4, /5); FCOMPP
// (DE /3) and FUCOMPP (DA /5) with i 1.
X87_DECLARE_MEMORY(D8, 2)
X87_DECLARE_MEMORY(D8, 3)
X87_DECLARE_MEMORY(DC, 2)
X87_DECLARE_MEMORY(DC, 3)
X87_DECLARE_REGISTER(D8, 2)
X87_DECLARE_REGISTER(D8, 3)
X87_DECLARE_REGISTER(DD, 4)
X87_DECLARE_REGISTER(DD, 5)
X87_DECLARE_REGISTER(DE, 3)
X87_DECLARE_REGISTER(DA, 5)

// The P6 compares into EFLAGS: FCOMI and FUCOMI ST(i) (DB /6, /5), FCOMIP
// and FUCOMIP (DF /6, /5). They return ZF, PF and CF in their EFLAGS
// places (an unordered result sets all three), or X87_ABANDONED. As on the
// P6 they clear C1 and leave C0, C2 and C3 as they were.
#define X87_ABANDONED 0x80000000u
#define X87_DECLARE_FLAGS(row, reg) X87_API uint32_t X87_##row##_##reg##_r(uint32_t i, FpuState* state) X87_CALL;
X87_DECLARE_FLAGS(DB, 5)
X87_DECLARE_FLAGS(DB, 6)
X87_DECLARE_FLAGS(DF, 5)
X87_DECLARE_FLAGS(DF, 6)

// Routines on values, for translated code that holds a run of x87
// instructions' values in its own locals (tools/translator/support/
// xlat_x87.h) and computes their common cases itself: each is what the
// instruction's entry computes on operands that are present, with every
// exception masked (a masked exception sets its flags in the status word,
// as there). r may be a or b.
X87_API void X87_value_sum(const ExtValue* a, const ExtValue* b, ExtValue* r) X87_CALL;         // FADD
X87_API void X87_value_difference(const ExtValue* a, const ExtValue* b, ExtValue* r) X87_CALL;  // a - b
X87_API void X87_value_product(const ExtValue* a, const ExtValue* b, ExtValue* r) X87_CALL;
X87_API void X87_value_quotient(const ExtValue* a, const ExtValue* b, ExtValue* r) X87_CALL;  // a / b
X87_API void X87_value_root(ExtValue* v) X87_CALL;  // FSQRT, in place
X87_API void X87_value_load_double(uint32_t address, ExtValue* r) X87_CALL;
X87_API void X87_value_load_float(uint32_t address, ExtValue* r) X87_CALL;
X87_API void X87_value_store_double(const ExtValue* v, uint32_t address) X87_CALL;
X87_API void X87_value_store_float(const ExtValue* v, uint32_t address) X87_CALL;
X87_API void X87_value_store_int32(const ExtValue* v, uint32_t address) X87_CALL;  // FIST m32
X87_API void X87_value_store_int16(const ExtValue* v, uint32_t address) X87_CALL;  // FIST m16
// FCOMI (`unordered` 0) or FUCOMI (1) of a and b, which it normalises in
// place: ZF, PF and CF in their EFLAGS places.
X87_API uint32_t X87_value_order(ExtValue* a, ExtValue* b, uint32_t unordered) X87_CALL;
