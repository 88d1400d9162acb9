// Case records exchanged between the host x87 oracle and the emulator's
// differential test: operands and the hardware's result, little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

enum OracleOp : uint8_t {
  OR_ADD, OR_SUB, OR_MUL, OR_DIV, OR_SQRT,   // extended operands, chop
  OR_LOAD_R4, OR_LOAD_R8,                    // bit patterns loaded
  OR_STORE_R4, OR_STORE_R8,                  // under the case's rounding
  OR_STORE_I16, OR_STORE_I32, OR_STORE_I64,  // under the case's rounding
  OR_RNDINT,                                 // under the case's rounding
  OR_COMPARE,                                // FCOM condition codes
  OR_SIN, OR_COS, OR_TAN, OR_ATAN, OR_F2XM1, OR_YL2X, OR_YL2XP1,  // round to nearest
  OR_COUNT
};

struct OracleCase {
  uint8_t op;
  uint8_t rc;          // rounding-control field >> 10
  uint16_t status;     // hardware status word after the operation
  uint8_t a[10];       // first operand (extended, or the low bytes of a pattern)
  uint8_t b[10];       // second operand (extended)
  uint8_t result[10];  // extended result, or the stored bytes
  uint8_t pad[6];
};
static_assert(sizeof(OracleCase) == 40, "OracleCase is 40 bytes");
static_assert(offsetof(OracleCase, a) == 4 && offsetof(OracleCase, b) == 14 && offsetof(OracleCase, result) == 24,
              "OracleCase offsets are fixed");

static const char* const oracle_op_names[OR_COUNT] = {
    "FADD", "FSUB", "FMUL", "FDIV", "FSQRT", "FLD m32", "FLD m64", "FST m32", "FST m64", "FIST m16",
    "FIST m32", "FISTP m64", "FRNDINT", "FCOM", "FSIN", "FCOS", "FPTAN", "FPATAN", "F2XM1", "FYL2X", "FYL2XP1"};
