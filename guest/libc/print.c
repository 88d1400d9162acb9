/* printf's buffer: formatted by wsprintfA, written to the debug output. */
#include <stdio.h>

char guest_print_buffer[1025];

void guest_print_flush(int length) {
  if (length > 0) OutputDebugStringA(guest_print_buffer);
}
