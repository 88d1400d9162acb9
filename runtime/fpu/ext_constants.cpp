// Constant values of the software x87.
#include "ext_value.h"

#define EXT_CONST(name, sign, tag, exponent, mant) \
  const ExtValue name = {sign, tag, exponent, (u32)(mant##ull), (u32)(mant##ull >> 32)}

EXT_CONST(ext_zero, 0, TAG_ZERO, 0, 0x0000000000000000);
EXT_CONST(ext_one, 0, TAG_VALID, 0x3FFF, 0x8000000000000000);
EXT_CONST(ext_l2t, 0, TAG_VALID, 0x4000, 0xD49A784BCD1B8AFE);
EXT_CONST(ext_l2e, 0, TAG_VALID, 0x3FFF, 0xB8AA3B295C17F0BC);
EXT_CONST(ext_pi, 0, TAG_VALID, 0x4000, 0xC90FDAA22168C235);
EXT_CONST(ext_half_pi, 0, TAG_VALID, 0x3FFF, 0xC90FDAA22168C235);
EXT_CONST(ext_lg2, 0, TAG_VALID, 0x3FFD, 0x9A209A84FBCFF799);
EXT_CONST(ext_ln2, 0, TAG_VALID, 0x3FFE, 0xB17217F7D1CF79AC);
EXT_CONST(ext_pos_inf, 0, TAG_SPECIAL, 0x7FFF, 0x8000000000000000);
EXT_CONST(ext_neg_inf, 1, TAG_SPECIAL, 0x7FFF, 0x8000000000000000);
EXT_CONST(ext_indefinite, 1, TAG_SPECIAL, 0x7FFF, 0xC000000000000000);

const ExtArith ext_fast = {ext_add, ext_sub, ext_mul, ext_div, ext_compare,
                           ext_round_int_mode, ext_from_i32, ext_from_magnitude, ext_sqrt_mant};
