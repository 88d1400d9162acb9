// The dispatch tables and the operations they name.
#pragma once

#include "fpu_state.h"

#pragma GCC visibility push(hidden)

// Main table: index reg * 8 + (opcode - 0xD8). Each cell holds its
// operation and, for the most frequent instructions, an entry of their own
// that Emu87 jumps to instead of the general one (fpu_execute).
struct FpuCell {
  FpuOp op;
  FpuEntry entry;  // null: fpu_execute with `op`
};
extern const FpuCell fpu_main_table[64];

// Runs the operation of the cell of opcode byte 0xD8 + `row` and `modrm`
// on an instruction the caller decoded (a memory form's operand at
// `address`): what every direct entry does outside its common case. Its
// arguments travel in registers on i386, so that the entries jump to it.
int fpu_run_decoded(u32 row, u32 modrm, u32 address) FPU_ENTRY_CALL;

// Arithmetic and compares (ops_arith.cpp).
enum : int { ROW_D8 = 0, ROW_D9, ROW_DA, ROW_DB, ROW_DC, ROW_DD, ROW_DE, ROW_DF };
template <int Row, int Reg>
void op_arith(FpuCall* c);
// The entries of add, subtract and multiply (reg fields 0, 1, 4 and 5) of
// the D8, DC and DE rows: two `Valid` registers are computed at once.
template <int Row, int Reg>
FPU_CELL_CALL int arith_entry(u32 insn, FpuState* state, Env* env);
template <int Row, bool Pop>
void op_compare(FpuCall* c);
void op_fucom(FpuCall* c);
void op_fucomp(FpuCall* c);

// Loads, stores and register moves (ops_move.cpp).
void op_fld_m32_or_st(FpuCall* c);
void op_fxch(FpuCall* c);
void op_fst_m32_or_fnop(FpuCall* c);
void op_fstp_m32(FpuCall* c);
void op_fild_m32(FpuCall* c);
void op_fist_m32(FpuCall* c);
void op_fistp_m32(FpuCall* c);
void op_fld_m80(FpuCall* c);
void op_fstp_m80(FpuCall* c);
void op_fld_m64_or_ffree(FpuCall* c);
// The entries of FLD, FST and FSTP with a double operand (reg 0, 2, 3 of DD).
template <int Reg>
FPU_CELL_CALL int double_entry(u32 insn, FpuState* state, Env* env);
void op_fst_m64_or_st(FpuCall* c);
void op_fstp_m64_or_st(FpuCall* c);
void op_fild_m16(FpuCall* c);
void op_fist_m16(FpuCall* c);
void op_fistp_m16(FpuCall* c);
void op_fbld(FpuCall* c);
void op_fild_m64(FpuCall* c);
void op_fbstp(FpuCall* c);
void op_fistp_m64(FpuCall* c);
void op_load_constant(FpuCall* c);

// Control (ops_control.cpp).
void op_fldcw(FpuCall* c);
void op_fnstcw(FpuCall* c);
void op_frstor(FpuCall* c);
void op_fsave(FpuCall* c);
void op_fnstsw_m16(FpuCall* c);
void op_fnstsw_ax(FpuCall* c);
void op_fninit(FpuCall* c);
void op_fnclex(FpuCall* c);
void op_fdecstp(FpuCall* c);
void op_fincstp(FpuCall* c);
void op_fchs(FpuCall* c);
void op_fabs(FpuCall* c);
void op_ftst(FpuCall* c);
void op_fxam(FpuCall* c);

// The D9 F0-FF group (ops_transcendental.cpp).
void op_f2xm1(FpuCall* c);
void op_fyl2x(FpuCall* c);
void op_fptan(FpuCall* c);
void op_fpatan(FpuCall* c);
void op_fxtract(FpuCall* c);
void op_fprem1(FpuCall* c);
void op_fprem(FpuCall* c);
void op_fyl2xp1(FpuCall* c);
void op_fsqrt(FpuCall* c);
void op_fsincos(FpuCall* c);
void op_frndint(FpuCall* c);
void op_fscale(FpuCall* c);
void op_fsin(FpuCall* c);
void op_fcos(FpuCall* c);

#pragma GCC visibility pop
