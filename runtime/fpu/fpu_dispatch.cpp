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

#define OP(op) \
  { op, nullptr }
#define DOUBLE(op, reg) \
  { op, double_entry<reg> }
#define ARITH(row, reg) \
  { op_arith<row, reg>, arith_entry<row, reg> }

const FpuCell fpu_main_table[64] = {
    // reg 0: D8, D9, DA, DB, DC, DD, DE, DF
    ARITH(ROW_D8, 0), OP(op_fld_m32_or_st), OP((op_arith<ROW_DA, 0>)), OP(op_fild_m32),
    ARITH(ROW_DC, 0), DOUBLE(op_fld_m64_or_ffree, 0), ARITH(ROW_DE, 0), OP(op_fild_m16),
    // reg 1
    ARITH(ROW_D8, 1), OP(op_fxch), OP((op_arith<ROW_DA, 1>)), OP(unimplemented),
    ARITH(ROW_DC, 1), OP(unimplemented), ARITH(ROW_DE, 1), OP(unimplemented),
    // reg 2
    OP((op_compare<ROW_D8, false>)), OP(op_fst_m32_or_fnop), OP((op_compare<ROW_DA, false>)), OP(op_fist_m32),
    OP((op_compare<ROW_DC, false>)), DOUBLE(op_fst_m64_or_st, 2), OP((op_compare<ROW_DE, false>)), OP(op_fist_m16),
    // reg 3
    OP((op_compare<ROW_D8, true>)), OP(op_fstp_m32), OP((op_compare<ROW_DA, true>)), OP(op_fistp_m32),
    OP((op_compare<ROW_DC, true>)), DOUBLE(op_fstp_m64_or_st, 3), OP((op_compare<ROW_DE, true>)), OP(op_fistp_m16),
    // reg 4
    ARITH(ROW_D8, 4), OP(d9_4), OP((op_arith<ROW_DA, 4>)), OP(db_4),
    ARITH(ROW_DC, 4), OP(dd_4), ARITH(ROW_DE, 4), OP(df_4),
    // reg 5
    ARITH(ROW_D8, 5), OP(d9_5), OP((op_arith<ROW_DA, 5>)), OP(op_fld_m80),
    ARITH(ROW_DC, 5), OP(dd_5), ARITH(ROW_DE, 5), OP(op_fild_m64),
    // reg 6
    OP((op_arith<ROW_D8, 6>)), OP(d9_6), OP((op_arith<ROW_DA, 6>)), OP(unimplemented),
    OP((op_arith<ROW_DC, 6>)), OP(op_fsave), OP((op_arith<ROW_DE, 6>)), OP(op_fbstp),
    // reg 7
    OP((op_arith<ROW_D8, 7>)), OP(d9_7), OP((op_arith<ROW_DA, 7>)), OP(op_fstp_m80),
    OP((op_arith<ROW_DC, 7>)), OP(op_fnstsw_m16), OP((op_arith<ROW_DE, 7>)), OP(op_fistp_m64),
};
