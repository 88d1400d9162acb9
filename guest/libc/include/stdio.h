/* Formatted output of the guest C library. sprintf is the system's
   wsprintfA (no floating point conversions); printf formats into a
   buffer and writes it to the debug output. */
#ifndef GUEST_STDIO_H
#define GUEST_STDIO_H
#include <win32.h>

#define sprintf wsprintfA
extern char guest_print_buffer[1025];
void guest_print_flush(int length);
#define printf(...) guest_print_flush(wsprintfA(guest_print_buffer, __VA_ARGS__))

#endif
