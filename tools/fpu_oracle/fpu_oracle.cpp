// Host x87 oracle: generates operands over the whole exponent range and
// records what the host's own x87 produces for them, with the rounding
// field set to chop (precision 64 bits) for the arithmetic and to each
// mode for the conversions.
//   fpu_oracle CASES_PER_OP SEED OUTPUT   (OUTPUT "-" is standard output)
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fpu_oracle_format.h"

#if !defined(__x86_64__) && !defined(__i386__)
#error "the oracle runs on an x86 host"
#endif

namespace {

uint64_t state;
uint64_t next() {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
uint32_t below(uint32_t n) { return (uint32_t)(next() % n); }

void put_ext(uint8_t* p, int sign, int exponent, uint64_t m) {
  memcpy(p, &m, 8);
  uint16_t se = (uint16_t)((exponent & 0x7FFF) | (sign ? 0x8000 : 0));
  memcpy(p + 8, &se, 2);
}

// Normal values over the whole range, zeros, infinities and quiet NaNs.
void random_ext(uint8_t* p, int center) {
  uint32_t kind = below(100);
  int sign = (int)(next() & 1);
  uint64_t m = next() | 0x8000000000000000ull;
  if (below(4) == 0) m &= ~0ull << below(64);
  m |= 0x8000000000000000ull;
  if (kind < 2) return put_ext(p, sign, 0, 0);
  if (kind < 4) return put_ext(p, sign, 0x7FFF, 0x8000000000000000ull);
  if (kind < 5) return put_ext(p, sign, 0x7FFF, m | 0xC000000000000000ull);
  int e = (center > 0 && kind < 75) ? center + (int)below(141) - 70 : 1 + (int)below(0x7FFE);
  if (e < 1) e = 1;
  if (e > 0x7FFE) e = 0x7FFE;
  put_ext(p, sign, e, m);
}

// A finite value with a biased exponent within [lo, hi].
void ranged_ext(uint8_t* p, int lo, int hi, int sign) {
  put_ext(p, sign < 0 ? (int)(next() & 1) : sign, lo + (int)below((uint32_t)(hi - lo + 1)),
          next() | 0x8000000000000000ull);
}

uint16_t control_word(int rc) { return (uint16_t)(0x037F | rc << 10); }

#define X87(body, ...) asm volatile("fninit\n\tfldcw %[cw]\n\t" body "\n\tfnstsw %[sw]\n\tfninit" : __VA_ARGS__)

void run(OracleCase* c) {
  uint16_t cw = control_word(c->rc);
  uint16_t sw = 0;
  typedef uint8_t T10[10];
  T10& a = *reinterpret_cast<T10*>(c->a);
  T10& b = *reinterpret_cast<T10*>(c->b);
  T10& r = *reinterpret_cast<T10*>(c->result);
  uint32_t a4;
  uint64_t a8;
  memcpy(&a4, c->a, 4);
  memcpy(&a8, c->a, 8);
  uint16_t* r16 = reinterpret_cast<uint16_t*>(c->result);
  uint32_t* r32 = reinterpret_cast<uint32_t*>(c->result);
  uint64_t* r64 = reinterpret_cast<uint64_t*>(c->result);
#define BIN(bytes) \
  X87("fldt %[b]\n\tfldt %[a]\n\t.byte " bytes "\n\tfstpt %[r]", [r] "=m"(r), [sw] "=m"(sw) : [a] "m"(a), [b] "m"(b), [cw] "m"(cw))
#define UN(bytes) X87("fldt %[a]\n\t.byte " bytes "\n\tfstpt %[r]", [r] "=m"(r), [sw] "=m"(sw) : [a] "m"(a), [cw] "m"(cw))
  switch (c->op) {
    case OR_ADD: BIN("0xd8, 0xc1"); break;
    case OR_SUB: BIN("0xd8, 0xe1"); break;
    case OR_MUL: BIN("0xd8, 0xc9"); break;
    case OR_DIV: BIN("0xd8, 0xf1"); break;
    case OR_SQRT: UN("0xd9, 0xfa"); break;
    case OR_LOAD_R4: X87("flds %[a]\n\tfstpt %[r]", [r] "=m"(r), [sw] "=m"(sw) : [a] "m"(a4), [cw] "m"(cw)); break;
    case OR_LOAD_R8: X87("fldl %[a]\n\tfstpt %[r]", [r] "=m"(r), [sw] "=m"(sw) : [a] "m"(a8), [cw] "m"(cw)); break;
    case OR_STORE_R4: X87("fldt %[a]\n\tfstps %[r]", [r] "=m"(*r32), [sw] "=m"(sw) : [a] "m"(a), [cw] "m"(cw)); break;
    case OR_STORE_R8: X87("fldt %[a]\n\tfstpl %[r]", [r] "=m"(*r64), [sw] "=m"(sw) : [a] "m"(a), [cw] "m"(cw)); break;
    case OR_STORE_I16: X87("fldt %[a]\n\tfistps %[r]", [r] "=m"(*r16), [sw] "=m"(sw) : [a] "m"(a), [cw] "m"(cw)); break;
    case OR_STORE_I32: X87("fldt %[a]\n\tfistpl %[r]", [r] "=m"(*r32), [sw] "=m"(sw) : [a] "m"(a), [cw] "m"(cw)); break;
    case OR_STORE_I64: X87("fldt %[a]\n\tfistpll %[r]", [r] "=m"(*r64), [sw] "=m"(sw) : [a] "m"(a), [cw] "m"(cw)); break;
    case OR_RNDINT: UN("0xd9, 0xfc"); break;
    case OR_COMPARE:
      X87("fldt %[b]\n\tfldt %[a]\n\t.byte 0xd8, 0xd1", [sw] "=m"(sw) : [a] "m"(a), [b] "m"(b), [cw] "m"(cw));
      break;
    case OR_SIN: UN("0xd9, 0xfe"); break;
    case OR_COS: UN("0xd9, 0xff"); break;
    case OR_TAN: UN("0xd9, 0xf2\n\tfstp %%st(0)"); break;
    case OR_ATAN: BIN("0xd9, 0xf3"); break;  // ST(0) = x = a, ST(1) = y = b
    case OR_F2XM1: UN("0xd9, 0xf0"); break;
    case OR_YL2X: BIN("0xd9, 0xf1"); break;
    case OR_YL2XP1: BIN("0xd9, 0xf9"); break;
  }
  c->status = sw;
}

void make_case(OracleCase* c, int op) {
  memset(c, 0, sizeof *c);
  c->op = (uint8_t)op;
  c->rc = 3;  // chop
  int center = 1 + (int)below(0x7FFE);
  switch (op) {
    case OR_LOAD_R4:
    case OR_LOAD_R8: {
      uint64_t bits = next();
      if (below(8) == 0) bits &= op == OR_LOAD_R4 ? 0x807FFFFFull : 0x800FFFFFFFFFFFFFull;  // denormals
      memcpy(c->a, &bits, 8);
      break;
    }
    case OR_STORE_R4:
    case OR_STORE_R8: {
      c->rc = (uint8_t)below(4);
      int mid = op == OR_STORE_R4 ? 0x3FFF : 0x3FFF;
      int span = op == OR_STORE_R4 ? 160 : 1100;
      if (below(10) == 0) random_ext(c->a, 0);
      else ranged_ext(c->a, mid - span, mid + span, -1);
      break;
    }
    case OR_STORE_I16:
    case OR_STORE_I32:
    case OR_STORE_I64:
    case OR_RNDINT: {
      c->rc = (uint8_t)below(4);
      int bits = op == OR_STORE_I16 ? 16 : op == OR_STORE_I32 ? 32 : 64;
      if (below(10) == 0) random_ext(c->a, 0);
      else ranged_ext(c->a, 0x3FFF - 70, 0x3FFF + bits, -1);
      break;
    }
    case OR_SIN:
    case OR_COS:
    case OR_TAN:
      c->rc = 0;
      ranged_ext(c->a, 0x3FFF - 30, 0x4001, -1);  // |x| < 8
      break;
    case OR_ATAN:
      c->rc = 0;
      ranged_ext(c->a, 0x3FFF - 20, 0x3FFF + 20, -1);
      ranged_ext(c->b, 0x3FFF - 20, 0x3FFF + 20, -1);
      break;
    case OR_F2XM1:
      c->rc = 0;
      ranged_ext(c->a, 0x3FFF - 40, 0x3FFE, -1);  // |x| < 1
      break;
    case OR_YL2X:
      c->rc = 0;
      ranged_ext(c->a, 0x3FFF - 100, 0x3FFF + 100, 0);
      ranged_ext(c->b, 0x3FFE, 0x3FFF, -1);
      break;
    case OR_YL2XP1:
      c->rc = 0;
      ranged_ext(c->a, 0x3FFF - 60, 0x3FFD, -1);  // |x| < 0.25
      ranged_ext(c->b, 0x3FFE, 0x3FFF, -1);
      break;
    default:
      random_ext(c->a, center);
      random_ext(c->b, center);
      break;
  }
  run(c);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: fpu_oracle CASES_PER_OP SEED OUTPUT\n");
    return 2;
  }
  long cases = atol(argv[1]);
  state = strtoull(argv[2], nullptr, 0);
  FILE* out = strcmp(argv[3], "-") == 0 ? stdout : fopen(argv[3], "wb");
  if (!out) {
    perror(argv[3]);
    return 1;
  }
  // Interleaved in blocks so that a stream can be checked as it arrives.
  const long block = 1000;
  OracleCase buffer[OR_COUNT];
  for (long done = 0; done < cases; done += block) {
    long n = cases - done < block ? cases - done : block;
    for (long i = 0; i < n; i++) {
      for (int op = 0; op < OR_COUNT; op++) make_case(&buffer[op], op);
      if (fwrite(buffer, sizeof buffer, 1, out) != 1) return 1;
    }
  }
  return fclose(out) == 0 ? 0 : 1;
}
