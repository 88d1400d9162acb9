// Dispatch tables: the main table by reg field and opcode, and the
// second-level tables of the register forms.
#include "fpu_dispatch.h"

static void unimplemented(FpuCall* c) { fpu_unimplemented(c); }

// D9 E0-EF (reg fields 4 and 5).
static const FpuOp table_d9_e0[16] = {
    op_fchs,          op_fabs,          unimplemented,    unimplemented,    op_ftst,          op_fxam,
    unimplemented,    unimplemented,    op_load_constant, op_load_constant, op_load_constant, op_load_constant,
    op_load_constant, op_load_constant, op_load_constant, unimplemented,
};
// D9 F0-FF (reg fields 6 and 7).
static const FpuOp table_d9_f0[16] = {
    op_f2xm1, op_fyl2x,   op_fptan,   op_fpatan,  op_fxtract, op_fprem1,  op_fdecstp, op_fincstp,
    op_fprem, op_fyl2xp1, op_fsqrt,   op_fsincos, op_frndint, op_fscale,  op_fsin,    op_fcos,
};
// DB E0-E7 in the first half, DF E0-E7 in the second.
static const FpuOp table_db_df_e0[16] = {
    unimplemented, unimplemented, op_fnclex,     op_fninit,     unimplemented, unimplemented, unimplemented, unimplemented,
    op_fnstsw_ax,  unimplemented, unimplemented, unimplemented, unimplemented, unimplemented, unimplemented, unimplemented,
};

// Cells with a memory operation and a register form from a second table.
static void d9_4(FpuCall* c) {
  if (fpu_is_register_form(c)) table_d9_e0[fpu_rm(c)](c);
  else fpu_unimplemented(c);  // FLDENV
}
static void d9_5(FpuCall* c) {
  if (fpu_is_register_form(c)) table_d9_e0[8 + fpu_rm(c)](c);
  else op_fldcw(c);
}
static void d9_6(FpuCall* c) {
  if (fpu_is_register_form(c)) table_d9_f0[fpu_rm(c)](c);
  else fpu_unimplemented(c);  // FNSTENV
}
static void d9_7(FpuCall* c) {
  if (fpu_is_register_form(c)) table_d9_f0[8 + fpu_rm(c)](c);
  else op_fnstcw(c);
}
static void db_4(FpuCall* c) {
  if (fpu_is_register_form(c)) table_db_df_e0[fpu_rm(c)](c);
  else fpu_unimplemented(c);
}
static void df_4(FpuCall* c) {
  if (fpu_is_register_form(c)) table_db_df_e0[8 + fpu_rm(c)](c);
  else op_fbld(c);
}
static void dd_4(FpuCall* c) {
  if (fpu_is_register_form(c)) op_fucom(c);
  else op_frstor(c);
}
static void dd_5(FpuCall* c) {
  if (fpu_is_register_form(c)) op_fucomp(c);
  else fpu_unimplemented(c);
}

const FpuOp fpu_main_table[64] = {
    // reg 0:   D8                    D9                 DA                    DB
    op_arith<ROW_D8, 0>, op_fld_m32_or_st, op_arith<ROW_DA, 0>, op_fild_m32,
    //          DC                    DD                 DE                    DF
    op_arith<ROW_DC, 0>, op_fld_m64_or_ffree, op_arith<ROW_DE, 0>, op_fild_m16,
    // reg 1
    op_arith<ROW_D8, 1>, op_fxch, op_arith<ROW_DA, 1>, unimplemented,
    op_arith<ROW_DC, 1>, unimplemented, op_arith<ROW_DE, 1>, unimplemented,
    // reg 2
    op_compare<ROW_D8, false>, op_fst_m32_or_fnop, op_compare<ROW_DA, false>, op_fist_m32,
    op_compare<ROW_DC, false>, op_fst_m64_or_st, op_compare<ROW_DE, false>, op_fist_m16,
    // reg 3
    op_compare<ROW_D8, true>, op_fstp_m32, op_compare<ROW_DA, true>, op_fistp_m32,
    op_compare<ROW_DC, true>, op_fstp_m64_or_st, op_compare<ROW_DE, true>, op_fistp_m16,
    // reg 4
    op_arith<ROW_D8, 4>, d9_4, op_arith<ROW_DA, 4>, db_4,
    op_arith<ROW_DC, 4>, dd_4, op_arith<ROW_DE, 4>, df_4,
    // reg 5
    op_arith<ROW_D8, 5>, d9_5, op_arith<ROW_DA, 5>, op_fld_m80,
    op_arith<ROW_DC, 5>, dd_5, op_arith<ROW_DE, 5>, op_fild_m64,
    // reg 6
    op_arith<ROW_D8, 6>, d9_6, op_arith<ROW_DA, 6>, unimplemented,
    op_arith<ROW_DC, 6>, op_fsave, op_arith<ROW_DE, 6>, op_fbstp,
    // reg 7
    op_arith<ROW_D8, 7>, d9_7, op_arith<ROW_DA, 7>, op_fstp_m80,
    op_arith<ROW_DC, 7>, op_fnstsw_m16, op_arith<ROW_DE, 7>, op_fistp_m64,
};
