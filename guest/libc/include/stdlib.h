/* Heap, sorting and number conversion of the guest C library. */
#ifndef GUEST_STDLIB_H
#define GUEST_STDLIB_H
#include <stddef.h>

void* malloc(size_t n);
void* calloc(size_t count, size_t size);
void free(void* p);
void qsort(void* base, size_t count, size_t size, int (*compare)(const void*, const void*));
int abs(int v);
long atol(const char* s);
int atoi(const char* s);

#endif
