// Step-by-step reference implementations of the x87's basic operations:
// one-bit-per-step alignment, normalisation and integer rounding, 16-bit
// digit products and additions, the 64-step quotient loop. They define
// the bits the emulator's whole-word routines must reproduce.
#pragma once

#include "ext_value.h"

void ref_normalise(ExtValue* v);
void ref_add(const ExtValue* a, const ExtValue* b, ExtValue* r) EXT_CALL;
void ref_sub(const ExtValue* a, const ExtValue* b, ExtValue* r) EXT_CALL;
void ref_mul(const ExtValue* a, const ExtValue* b, ExtValue* r) EXT_CALL;
void ref_div(const ExtValue* a, const ExtValue* b, ExtValue* r) EXT_CALL;
int ref_compare(ExtValue* a, ExtValue* b) EXT_CALL;
void ref_round_int_mode(ExtValue* v, u32 rc) EXT_CALL;
void ref_from_i32(i32 v, ExtValue* r) EXT_CALL;
void ref_from_magnitude(u64 magnitude, int sign, ExtValue* r) EXT_CALL;
u64 ref_sqrt_mant(u64 m) EXT_CALL;
u32 ref_store_real4(const ExtValue* v, u32 rc);
u64 ref_store_real8(const ExtValue* v, u32 rc);

extern const ExtArith ext_reference;

// The same instructions decoded as written for Emu87 (ref_decode.cpp),
// for the benchmark's instruction column.
struct Env;
int ref_emu87(Env* env);
