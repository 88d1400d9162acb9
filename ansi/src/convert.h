// The two conversions every shim is made of: an 8-bit string argument as
// a wide string (WideArg), and a wide output buffer carried back into the
// caller's 8-bit buffer (AnsiOutBuffer). Both use the device's multibyte
// code page.
#pragma once

#include "zentrix.h"

// A pointer value below 0x10000 (null, MAKEINTRESOURCE, an atom) is no
// string and passes unchanged. `ok` is false when no memory was left for
// the wide copy (the last error says so).
struct WideArg {
  WCHAR* wide;
  bool ok;
};
WideArg wide_arg(LPCSTR text);
void release(WideArg& arg);

struct AnsiOutBuffer {
  WCHAR* wide;
  DWORD count;
  char* dest;
  bool owned;
};
// Own buffer: (count + 1) wide characters from the heap, zero-filled; a
// count of -1 is taken as 0x8000; a null destination gives an all-zero
// record (the wide function then gets a null buffer: a size query). False
// when no memory was left.
bool out_own(AnsiOutBuffer* out, char* dest, int count);
// Supplied buffer: `wide` given by the caller, its first count characters
// zero-filled.
void out_supplied(AnsiOutBuffer* out, WCHAR* wide, char* dest, int count);
// Converts into the destination (at most count bytes; the terminator only
// where it fits) and frees an owned buffer.
void finish(AnsiOutBuffer& out);

// The failure every shim reports when memory ran out.
void out_of_memory();
