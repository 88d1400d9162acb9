// The software x87's extended-precision value and the routines that compute
// with it. No host floating point is used anywhere: every value is a sign,
// a biased 16-bit exponent and a 64-bit significand with an explicit
// integer bit, and every operation is integer arithmetic on those fields.
#pragma once

#include <cstddef>
#include <cstdint>

// Everything declared here stays inside Trevik.dll (see CMakeLists.txt).
#pragma GCC visibility push(hidden)

typedef uint8_t u8;
typedef uint16_t u16;
typedef uint32_t u32;
typedef uint64_t u64;
typedef int16_t i16;
typedef int32_t i32;
typedef int64_t i64;

// The arithmetic routines take their arguments in registers on i386
// (internal to the library; their table below has the same convention).
#if defined(__i386__)
#define EXT_CALL __attribute__((regparm(3)))
#else
#define EXT_CALL
#endif

// The hot paths of products and quotients have i386 assembly beside their
// portable C; FPU_PORTABLE builds the C on i386 as well (tests).
#if defined(__i386__) && !defined(FPU_PORTABLE)
#define FPU_I386_ASM 1
#else
#define FPU_I386_ASM 0
#endif

// Value classes; the numbers are the x87 tag-word encodings.
enum : int8_t { TAG_VALID = 0, TAG_ZERO = 1, TAG_SPECIAL = 2, TAG_EMPTY = 3 };

// 12 bytes, copied whole. The significand is kept as two 32-bit words (low
// first) so that the record has the same layout on every 32-bit target.
struct ExtValue {
  int8_t sign;      // 0 positive, 1 negative
  int8_t tag;       // TAG_*
  int16_t exponent; // biased by 0x3FFF; 0x7FFF for infinities and NaNs; may be negative
  u32 mant_lo;
  u32 mant_hi;
};
static_assert(sizeof(ExtValue) == 12, "ExtValue is 12 bytes");
static_assert(offsetof(ExtValue, tag) == 1 && offsetof(ExtValue, exponent) == 2 &&
                  offsetof(ExtValue, mant_lo) == 4 && offsetof(ExtValue, mant_hi) == 8,
              "ExtValue field offsets are fixed");

enum : int { EXT_BIAS = 0x3FFF, EXT_EXP_SPECIAL = 0x7FFF, EXT_EXP_MAX = 32766 };

// A product or a scaled value whose biased exponent would fall below this
// is far beneath anything any memory format can hold; it becomes a signed
// zero so that exponents never wrap around the 16-bit field.
enum : int { EXT_EXP_FLOOR = -16383 };

static inline u64 ext_mant(const ExtValue* v) { return (u64)v->mant_hi << 32 | v->mant_lo; }
static inline void ext_set_mant(ExtValue* v, u64 m) {
  v->mant_lo = (u32)m;
  v->mant_hi = (u32)(m >> 32);
}
// Writes a whole record. The sign, tag and exponent go out as one 32-bit
// store: a later copy of the record reads that word whole, and a word
// assembled from byte and half-word stores cannot be forwarded to it.
// The head word (below) written as one store.
static inline void ext_put_head(ExtValue* r, u32 head) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  __builtin_memcpy(r, &head, 4);
#else
  r->sign = (int8_t)head;
  r->tag = (int8_t)(head >> 8);
  r->exponent = (int16_t)(head >> 16);
#endif
}
static inline void ext_put(ExtValue* r, int sign, int tag, int exponent, u64 m) {
  ext_put_head(r, (u32)(u8)sign | (u32)(u8)tag << 8 | (u32)(u16)exponent << 16);
  ext_set_mant(r, m);
}
// The sign, tag and exponent as one word, the head: sign in bits 0-7, tag
// in bits 8-15, exponent (signed) in bits 16-31.
static inline u32 ext_head(const ExtValue* v) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  u32 head;
  __builtin_memcpy(&head, v, 4);
  return head;
#else
  return (u32)(u8)v->sign | (u32)(u8)v->tag << 8 | (u32)(u16)v->exponent << 16;
#endif
}
static inline int ext_head_exponent(u32 head) { return (i32)head >> 16; }
// Both tags `Valid` (0) in two heads.
static inline bool ext_heads_valid(u32 a, u32 b) { return ((a | b) & 0xFF00) == 0; }
static inline int ext_clz64(u64 m) {  // m != 0
  u32 hi = (u32)(m >> 32);
  return hi ? __builtin_clz(hi) : 32 + __builtin_clz((u32)m);
}

// Constants.
extern const ExtValue ext_zero, ext_one, ext_l2t, ext_l2e, ext_pi, ext_half_pi, ext_lg2, ext_ln2;
extern const ExtValue ext_pos_inf, ext_neg_inf, ext_indefinite;

// Results of ext_compare.
enum : int {
  CMP_GREATER = 1,
  CMP_EQUAL = 2,
  CMP_LESS = 3,
  CMP_UNORDERED = 0x44,
  CMP_UNORDERED_SIGNALLING = 0xC4,
};

// Exception codes: the status-word bits each one sets.
enum : u32 {
  FPU_EX_INVALID = 0x81,
  FPU_EX_DENORMAL = 0x82,
  FPU_EX_ZERO_DIVIDE = 0x84,
  FPU_EX_OVERFLOW = 0x88,
  FPU_EX_UNDERFLOW = 0x90,
  FPU_EX_PRECISION = 0xA0,
  FPU_EX_STACK_UNDERFLOW = 0xC1,
  FPU_EX_STACK_OVERFLOW = 0x2C1,
};

// Rounding-control values (control-word bits 10-11).
enum : u32 { RC_NEAREST = 0, RC_DOWN = 0x400, RC_UP = 0x800, RC_CHOP = 0xC00, RC_MASK = 0xC00 };

// Reports an exception; returns when it is masked, otherwise abandons the
// instruction in progress. Defined with the FPU state.
void fpu_raise(u32 code);
// The rounding field of the current control word.
u32 fpu_rounding(void);

// Classifies and normalises: a zero significand is `Zero`, an exponent
// above the range `Special`; otherwise the significand is shifted left
// until its integer bit is set or the exponent reaches 0.
static inline void ext_normalise(ExtValue* v) {
  u64 m = ext_mant(v);
  int e = v->exponent;
  if (m == 0) return ext_put(v, v->sign, TAG_ZERO, 0, 0);
  if (e > EXT_EXP_MAX) return ext_put(v, v->sign, TAG_SPECIAL, e, m);
  if ((m >> 63) || e == 0) return;
  int n = ext_clz64(m);
  if (e > 0 && e < n) n = e;
  ext_put(v, v->sign, v->tag, e - n, m << n);
}

// Classification and arithmetic. Result records may alias the operands.
int ext_nan_kind(const ExtValue* v);  // 0 not a NaN, 1 signalling, 2 quiet
bool ext_equal(const ExtValue* a, const ExtValue* b);
int ext_compare(ExtValue* a, ExtValue* b) EXT_CALL;  // normalises both in place
void ext_add(const ExtValue* a, const ExtValue* b, ExtValue* r) EXT_CALL;
void ext_sub(const ExtValue* a, const ExtValue* b, ExtValue* r) EXT_CALL;  // a - b
void ext_mul(const ExtValue* a, const ExtValue* b, ExtValue* r) EXT_CALL;
void ext_div(const ExtValue* a, const ExtValue* b, ExtValue* r) EXT_CALL;  // a / b
void ext_round_int(ExtValue* v);  // rounding by the control word
void ext_round_int_mode(ExtValue* v, u32 rc) EXT_CALL;
u64 ext_sqrt_mant(u64 m) EXT_CALL;  // floor(sqrt(m * 2^64)), computed exactly
u64 ext_sqrt_mant_normal(u64 m) EXT_CALL;  // the same for m >= 2^62

static inline bool ext_is_pos_inf(const ExtValue* v) { return ext_equal(v, &ext_pos_inf); }
static inline bool ext_is_neg_inf(const ExtValue* v) { return ext_equal(v, &ext_neg_inf); }
static inline bool ext_is_inf(const ExtValue* v) { return ext_is_pos_inf(v) || ext_is_neg_inf(v); }

// Conversions from and to memory operands at guest addresses (read and
// written byte by byte, so no alignment is needed).
void load_real4(u32 address, ExtValue* r);
void load_real8(u32 address, ExtValue* r);
void load_real10(u32 address, ExtValue* r);
void load_int16(u32 address, ExtValue* r);
void load_int32(u32 address, ExtValue* r);
void load_int64(u32 address, ExtValue* r);
void load_bcd(u32 address, ExtValue* r);
void store_real4(const ExtValue* v, u32 address);
void store_real8(const ExtValue* v, u32 address);
void store_real10(const ExtValue* v, u32 address);
void store_int16(const ExtValue* v, u32 address);
void store_int32(const ExtValue* v, u32 address);
void store_int64(const ExtValue* v, u32 address);
void store_bcd(const ExtValue* v, u32 address);

// Value forms of the integer loads, used by the conversions above and by
// the series (int(k)).
void ext_from_i32(i32 v, ExtValue* r) EXT_CALL;
void ext_from_i64(i64 v, ExtValue* r);
// An integer magnitude with a sign (magnitudes up to 2^64 - 1).
void ext_from_magnitude(u64 magnitude, int sign, ExtValue* r) EXT_CALL;

// The basic operations the series and reductions are built from. The
// emulator uses ext_fast; tests and benchmarks run the same series over
// step-by-step implementations of the same operations.
struct ExtArith {
  void (*add)(const ExtValue*, const ExtValue*, ExtValue*) EXT_CALL;
  void (*sub)(const ExtValue*, const ExtValue*, ExtValue*) EXT_CALL;
  void (*mul)(const ExtValue*, const ExtValue*, ExtValue*) EXT_CALL;
  void (*div)(const ExtValue*, const ExtValue*, ExtValue*) EXT_CALL;
  int (*compare)(ExtValue*, ExtValue*) EXT_CALL;
  void (*round_int_mode)(ExtValue*, u32) EXT_CALL;
  void (*from_i32)(i32, ExtValue*) EXT_CALL;
  void (*from_magnitude)(u64, int, ExtValue*) EXT_CALL;
  u64 (*sqrt_mant)(u64) EXT_CALL;
};
extern const ExtArith ext_fast;

#pragma GCC visibility pop
