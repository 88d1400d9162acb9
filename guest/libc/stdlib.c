/* malloc and free over the system heap, qsort, and small conversions. */
#include <stdlib.h>
#include <string.h>
#include <win32.h>

static HANDLE heap;

void* malloc(size_t n) {
  if (!heap) heap = HeapCreate(0, 0, 0);
  return heap ? HeapAlloc(heap, 0, n ? n : 1) : 0;
}

void* calloc(size_t count, size_t size) {
  if (size && count > (size_t)-1 / size) return 0;
  void* p = malloc(count * size);
  if (p) memset(p, 0, count * size);
  return p;
}

void free(void* p) {
  if (p && heap) HeapFree(heap, 0, p);
}

static void swap_bytes(char* a, char* b, size_t size) {
  while (size--) {
    char t = *a;
    *a++ = *b;
    *b++ = t;
  }
}

/* Heapsort: no recursion, no extra memory. */
static void sift_down(char* base, size_t size, size_t root, size_t count, int (*compare)(const void*, const void*)) {
  for (;;) {
    size_t child = 2 * root + 1;
    if (child >= count) return;
    if (child + 1 < count && compare(base + child * size, base + (child + 1) * size) < 0) child++;
    if (compare(base + root * size, base + child * size) >= 0) return;
    swap_bytes(base + root * size, base + child * size, size);
    root = child;
  }
}

void qsort(void* base, size_t count, size_t size, int (*compare)(const void*, const void*)) {
  char* b = base;
  if (count < 2) return;
  for (size_t i = count / 2; i-- > 0;) sift_down(b, size, i, count, compare);
  for (size_t end = count - 1; end > 0; end--) {
    swap_bytes(b, b + end * size, size);
    sift_down(b, size, 0, end, compare);
  }
}

int abs(int v) { return v < 0 ? -v : v; }

long atol(const char* s) {
  long v = 0;
  int negative = 0;
  while (*s == ' ' || *s == '\t') s++;
  if (*s == '-' || *s == '+') negative = *s++ == '-';
  while (*s >= '0' && *s <= '9') v = v * 10 + (*s++ - '0');
  return negative ? -v : v;
}

int atoi(const char* s) { return (int)atol(s); }
