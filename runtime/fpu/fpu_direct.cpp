// The exported entries of the x87 for translated code (fpu_direct.h): each
// names its operation's entry; the operations keep their common cases
// inline and run the cell's operation on the decoded instruction otherwise.
#include "fpu_direct.h"

#include "fpu_dispatch.h"

int X87Exec(u32 insn, u32 opcode_modrm, u32 address, Env* env) {
  return fpu_run_decoded((opcode_modrm >> 8) & 7, opcode_modrm & 0xFF, address, insn, env);
}

#define X87_DEFINE_ARITH_MEMORY(row, reg) \
  int X87_##row##_##reg##_m(u32 address) { return arith_direct_memory<ROW_##row, reg>(address); }
#define X87_DEFINE_ARITH_REGISTER(row, reg) \
  int X87_##row##_##reg##_r(u32 i) { return arith_direct_register<ROW_##row, reg>(i & 7); }
X87_ARITH_REGS(X87_DEFINE_ARITH_MEMORY, D8)
X87_ARITH_REGS(X87_DEFINE_ARITH_MEMORY, DC)
X87_ARITH_REGS(X87_DEFINE_ARITH_REGISTER, D8)
X87_ARITH_REGS(X87_DEFINE_ARITH_REGISTER, DC)
X87_ARITH_REGS(X87_DEFINE_ARITH_REGISTER, DE)

int X87_D9_0_m(u32 address) { return single_direct<0>(address); }
int X87_D9_2_m(u32 address) { return single_direct<2>(address); }
int X87_D9_3_m(u32 address) { return single_direct<3>(address); }
int X87_DD_0_m(u32 address) { return double_direct<0>(address); }
int X87_DD_2_m(u32 address) { return double_direct<2>(address); }
int X87_DD_3_m(u32 address) { return double_direct<3>(address); }
int X87_D9_0_r(u32 i) { return fld_register_direct(i & 7); }
int X87_D9_1_r(u32 i) { return fxch_direct(i & 7); }
int X87_DD_2_r(u32 i) { return fst_register_direct(i & 7, false); }
int X87_DD_3_r(u32 i) { return fst_register_direct(i & 7, true); }
