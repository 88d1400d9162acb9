/* C functions compiled twice, for the guest (then translated) and natively;
   each test leaves one or more words in c_results, which must agree. */
#include <stdlib.h>
#include <string.h>

#include "ctests.h"

#ifdef _WIN32
__attribute__((dllexport))
#endif
unsigned c_results[C_RESULTS];

static unsigned seed = 12345;
static unsigned next_random(void) {
  seed = seed * 1103515245u + 12345u;
  return seed >> 7;
}

static int compare_ints(const void* a, const void* b) {
  int x = *(const int*)a, y = *(const int*)b;
  return x < y ? -1 : x > y;
}

/* Insertion sort by hand and qsort, checksummed. */
static unsigned test_sort(void) {
  static int a[500], b[500];
  for (int i = 0; i < 500; i++) a[i] = b[i] = (int)next_random() - 0x1000000;
  for (int i = 1; i < 500; i++) {
    int v = a[i], j = i - 1;
    while (j >= 0 && a[j] > v) {
      a[j + 1] = a[j];
      j--;
    }
    a[j + 1] = v;
  }
  qsort(b, 500, sizeof b[0], compare_ints);
  unsigned h = 0;
  for (int i = 0; i < 500; i++) h = h * 31 + (unsigned)a[i] + (a[i] == b[i] ? 0 : 0x10000);
  return h;
}

static unsigned crc32(const unsigned char* p, size_t n) {
  unsigned c = 0xFFFFFFFFu;
  while (n--) {
    c ^= *p++;
    for (int k = 0; k < 8; k++) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

static unsigned fnv1a(const unsigned char* p, size_t n) {
  unsigned h = 2166136261u;
  while (n--) h = (h ^ *p++) * 16777619u;
  return h;
}

static unsigned long long mix64(unsigned long long x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  return x;
}

/* 64-bit multiply, divide, modulo and shifts, signed and unsigned. */
static void test_64(unsigned* out) {
  unsigned long long u = 0x123456789ABCDEFULL, acc = 0;
  long long s = -0x7654321FEDCBALL;
  for (int i = 1; i < 200; i++) {
    u = mix64(u + (unsigned)i);
    unsigned long long d = (u >> (i % 40)) | 1;
    acc += u / d + u % (d + 7) + (u << (i % 63)) + (u >> (i % 63));
    long long q = s / (long long)(i * 37 - 3000);
    acc ^= (unsigned long long)q + (unsigned long long)(s % (i + 3)) + (unsigned long long)(s >> (i % 50));
    s = s * 3 + (long long)i;
  }
  out[0] = (unsigned)acc;
  out[1] = (unsigned)(acc >> 32);
}

/* Dense enough for a jump table; each case does different work. */
static unsigned switch_state = 5;
static int dense_switch(int v) {
  switch (v) {
    case 0: switch_state += 17; break;
    case 1: switch_state *= 3; break;
    case 2: switch_state ^= 0x5A5A; break;
    case 3: switch_state = (switch_state >> 3) | 1; break;
    case 4: switch_state <<= 4; break;
    case 5: switch_state -= 1234; break;
    case 6: switch_state = ~switch_state; break;
    case 7: switch_state += (unsigned)v * 77; break;
    case 8: switch_state = switch_state * switch_state; break;
    case 9: switch_state ^= switch_state >> 7; break;
    case 10: switch_state += 1000; break;
    case 11: switch_state = (switch_state << 13) | (switch_state >> 19); break;
    default: return -1;
  }
  return (int)switch_state;
}

static unsigned op_add(unsigned a, unsigned b) { return a + b; }
static unsigned op_xor(unsigned a, unsigned b) { return a ^ b; }
static unsigned op_mul(unsigned a, unsigned b) { return a * b; }
static unsigned op_rot(unsigned a, unsigned b) { return (a << (b & 31)) | (a >> ((32 - (b & 31)) & 31)); }
static unsigned (*const ops[4])(unsigned, unsigned) = {op_add, op_xor, op_mul, op_rot};

static unsigned ackermann(unsigned m, unsigned n) {
  if (m == 0) return n + 1;
  if (n == 0) return ackermann(m - 1, 1);
  return ackermann(m - 1, ackermann(m, n - 1));
}

static int fib(int n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }

struct record {
  char name[13];
  short a;
  int b;
  unsigned char c[7];
  int wide[2];
};

static struct record make_record(int i) {
  struct record r;
  memset(&r, 0, sizeof r);
  for (int k = 0; k < 12; k++) r.name[k] = (char)('a' + (i + k) % 26);
  r.a = (short)(i * 1000);
  r.b = i * -77;
  for (int k = 0; k < 7; k++) r.c[k] = (unsigned char)(i * k);
  r.wide[0] = i << 20;
  r.wide[1] = -i;
  return r;
}

static unsigned test_structs(void) {
  struct record rs[20];
  for (int i = 0; i < 20; i++) rs[i] = make_record(i);
  struct record t = rs[3];
  rs[3] = rs[17];
  rs[17] = t;
  return fnv1a((const unsigned char*)rs, sizeof rs);
}

static unsigned test_strings(void) {
  char buf[200], other[64];
  memset(buf, 0, sizeof buf);
  strcpy(buf, "The quick brown fox");
  strcat(buf, " jumps over the lazy dog");
  strncpy(other, buf + 4, 11);
  other[11] = 0;
  unsigned h = (unsigned)strlen(buf) * 7 + (unsigned)strlen(other);
  h = h * 31 + (unsigned)(strchr(buf, 'x') - buf);
  h = h * 31 + (unsigned)(strrchr(buf, 'o') - buf);
  h = h * 31 + (unsigned)(strstr(buf, "lazy") - buf);
  h = h * 31 + (unsigned)(strcmp(buf, other) > 0) + 2u * (unsigned)(strncmp(buf, "The q", 5) == 0);
  h = h * 31 + (unsigned)(memcmp(buf, "The", 3) == 0);
  memmove(buf + 3, buf, 30);
  memset(buf + 40, 'z', 10);
  return h ^ fnv1a((const unsigned char*)buf, 60);
}

/* gcc's generic tuning writes this as REP BSF (TZCNT where BMI exists). */
__attribute__((noinline, target("tune=generic"))) static unsigned ctz_generic(unsigned v) {
  return (unsigned)__builtin_ctz(v);
}

static unsigned test_bits(void) {
  unsigned h = 0;
  for (unsigned i = 1; i < 3000; i += 7) {
    unsigned v = i * 2654435761u;
    h += (unsigned)__builtin_popcount(v) + (unsigned)__builtin_clz(v | 1) * 3 + (unsigned)__builtin_ctz(v | 0x80000000u);
    h ^= __builtin_bswap32(v) >> (i & 7);
    h += ctz_generic(v | 0x80000000u) * 5;
    short sv = (short)v;
    signed char cv = (signed char)v;
    h += (unsigned)(sv / 3) + (unsigned)(cv % 5) + (unsigned)((int)v >> 5) + (v > 0x80000000u ? 1u : 2u);
    h += (unsigned)((int)v < -5) + (unsigned)((unsigned short)v < 1000);
  }
  return h;
}

/* Doubles whose arithmetic is exact (eighths of small integers), compared,
   ordered and converted; compilers for i686 compare with FCOMI/FUCOMI. A
   NaN compares unordered. */
static unsigned test_float(void) {
  static double v[64];
  for (int i = 0; i < 64; i++) v[i] = (double)((int)(next_random() & 0xFFFF) - 0x8000) / 8.0;
  unsigned h = 0;
  double lo = v[0], hi = v[0];
  for (int i = 1; i < 64; i++) {
    lo = v[i] < lo ? v[i] : lo;
    hi = v[i] > hi ? v[i] : hi;
    h = h * 3 + (v[i] < v[i - 1]) + 2 * (v[i] == v[i - 1]) + 4 * (v[i] >= 0.5);
  }
  h += (unsigned)(int)(lo * 8.0) * 7 + (unsigned)(int)(hi * 8.0);
  volatile double zero = 0.0;
  double nan = zero / zero;
  h = h * 5 + (nan < 1.0) + 2 * (nan == nan) + 4 * (nan != nan) + 8 * (nan > 1.0) + 16 * (nan >= nan);
  return h;
}

void run_ctests(void) {
  static unsigned char bytes[4096];
  for (int i = 0; i < 4096; i++) bytes[i] = (unsigned char)next_random();
  c_results[0] = test_sort();
  c_results[1] = crc32(bytes, sizeof bytes);
  c_results[2] = fnv1a(bytes, sizeof bytes);
  test_64(&c_results[3]);
  unsigned h = 0;
  for (int i = -3; i < 40; i++) h = h * 33 + (unsigned)dense_switch(i % 14);
  c_results[5] = h;
  h = 1;
  for (unsigned i = 0; i < 100; i++) h = ops[(h ^ i) & 3](h, i + 0x9E3779B9u);
  c_results[6] = h;
  c_results[7] = ackermann(2, 3) * 1000 + (unsigned)fib(20);
  c_results[8] = test_structs();
  c_results[9] = test_strings();
  c_results[10] = test_bits();
  c_results[11] = test_float();
  c_results[12] = 0xC0FFEE;  /* ran to the end */
}

#ifdef _WIN32
int __attribute__((stdcall)) WinMain(void* instance, void* previous, char* command_line, int show) {
  run_ctests();
  return 0;
}
#endif
