/* A second guest DLL that wants TRDLL's base, so the runtime moves it:
   its function pointer table, the jump table of a dense switch and the
   addresses of its strings must all follow the move. */
#include <win32.h>

static int twice(int v) { return 2 * v; }
static int square(int v) { return v * v; }
static int negate(int v) { return -v; }

static int (*const operations[])(int) = {twice, square, negate};
static const char* const words[] = {"zero", "one", "three"};

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) { return 1; }

int WINAPI TrApply(int which, int v) { return operations[which % 3](v); }

/* Cases that each do other work, so that the compiler makes a jump table. */
int WINAPI TrPick(int n, int v) {
  switch (n) {
    case 0: return v + 11;
    case 1: return v * 23;
    case 2: return v - 37;
    case 3: return v ^ 41;
    case 4: return v << 3;
    case 5: return v / 3;
    case 6: return v % 7;
    case 7: return ~v;
    default: return -1;
  }
}

int WINAPI TrWordLength(int n) {
  const char* word = words[n % 3];
  int length = 0;
  while (word[length]) length++;
  return length;
}
