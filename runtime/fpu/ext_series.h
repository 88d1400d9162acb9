// The series, continued fraction and reduction behind the transcendental
// instructions, written over a table of basic operations so that the very
// same steps can be run over other implementations of those operations.
#pragma once

#include "ext_value.h"

#pragma GCC visibility push(hidden)

extern const ExtValue ext_sqrt2_bound;  // FYL2X's square-root-of-two bound

// One partial-remainder step: x = x - y * q with q = x / y rounded by `rc`.
// Returns the low three bits of the two's-complement quotient; an exponent
// difference of 64 or more reduces only partially (*incomplete set).
int ext_partial_remainder(const ExtArith* a, ExtValue* x, const ExtValue* y, u32 rc, bool* incomplete);
// Reduction by pi/2 of the trigonometric instructions; returns the quadrant
// bits and leaves the reduced argument in x.
int ext_reduce_quadrant(const ExtArith* a, ExtValue* x);
// Sine and cosine series of a reduced argument (either output may be null).
void ext_sin_cos_series(const ExtArith* a, const ExtValue* x, ExtValue* sine, ExtValue* cosine);
// Angle of (x, y) for finite non-zero x and y.
void ext_atan2_general(const ExtArith* a, const ExtValue* x, const ExtValue* y, ExtValue* r);
// e^(x ln 2) - 1 through the x^18 term.
void ext_exp2m1_series(const ExtArith* a, const ExtValue* x, ExtValue* r);
// y * log2(x) for a positive finite x.
void ext_ylog2x_general(const ExtArith* a, const ExtValue* x, const ExtValue* y, ExtValue* r);

#pragma GCC visibility pop
