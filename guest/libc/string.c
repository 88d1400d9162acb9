/* Memory and string functions. The compiler emits calls to memcpy, memset
   and memmove for struct copies and clearing, so these are always linked. */
#include <string.h>

/* The block moves are string instructions: one REP MOVSB or REP STOSB,
   which the processor (and translated code) carries out as a whole block
   rather than a loop of single bytes. */
void* memcpy(void* dst, const void* src, size_t n) {
  void *d = dst, *sr = (void*)src;
  __asm__ volatile("cld; rep movsb" : "+D"(d), "+S"(sr), "+c"(n) : : "memory");
  return dst;
}

void* memmove(void* dst, const void* src, size_t n) {
  unsigned char* d = dst;
  const unsigned char* s = src;
  if (d <= s || d >= s + n) return memcpy(dst, src, n);
  /* Overlapping with the destination above: copy from the top down. */
  void *dl = d + n - 1, *sl = (void*)(s + n - 1);
  __asm__ volatile("std; rep movsb; cld" : "+D"(dl), "+S"(sl), "+c"(n) : : "memory");
  return dst;
}

void* memset(void* dst, int c, size_t n) {
  void* d = dst;
  __asm__ volatile("cld; rep stosb" : "+D"(d), "+c"(n) : "a"(c) : "memory");
  return dst;
}

int memcmp(const void* a, const void* b, size_t n) {
  const unsigned char *x = a, *y = b;
  for (; n; n--, x++, y++)
    if (*x != *y) return *x < *y ? -1 : 1;
  return 0;
}

void* memchr(const void* s, int c, size_t n) {
  const unsigned char* p = s;
  for (; n; n--, p++)
    if (*p == (unsigned char)c) return (void*)p;
  return 0;
}

size_t strlen(const char* s) {
  const char* p = s;
  while (*p) p++;
  return (size_t)(p - s);
}

char* strcpy(char* dst, const char* src) {
  char* d = dst;
  while ((*d++ = *src++)) {
  }
  return dst;
}

char* strncpy(char* dst, const char* src, size_t n) {
  size_t i = 0;
  for (; i < n && src[i]; i++) dst[i] = src[i];
  for (; i < n; i++) dst[i] = 0;
  return dst;
}

char* strcat(char* dst, const char* src) {
  strcpy(dst + strlen(dst), src);
  return dst;
}

int strcmp(const char* a, const char* b) {
  for (; *a && *a == *b; a++, b++) {
  }
  return (unsigned char)*a - (unsigned char)*b;
}

int strncmp(const char* a, const char* b, size_t n) {
  for (; n && *a && *a == *b; n--, a++, b++) {
  }
  return n ? (unsigned char)*a - (unsigned char)*b : 0;
}

char* strchr(const char* s, int c) {
  for (;; s++) {
    if (*s == (char)c) return (char*)s;
    if (!*s) return 0;
  }
}

char* strrchr(const char* s, int c) {
  const char* last = 0;
  for (;; s++) {
    if (*s == (char)c) last = s;
    if (!*s) return (char*)last;
  }
}

char* strstr(const char* haystack, const char* needle) {
  size_t n = strlen(needle);
  for (; *haystack; haystack++)
    if (!strncmp(haystack, needle, n)) return (char*)haystack;
  return n ? 0 : (char*)haystack;
}
