// Heaps, and pointer probes that really touch the memory.
#pragma once

#include "wce/types.h"

enum : DWORD {
  HEAP_NO_SERIALIZE = 0x1,
  HEAP_GENERATE_EXCEPTIONS = 0x4,
  HEAP_ZERO_MEMORY = 0x8,
  HEAP_REALLOC_IN_PLACE_ONLY = 0x10,
};

extern "C" {
// A heap; `maximum` 0 grows without bound, otherwise the heap holds at
// most `maximum` bytes.
HANDLE HeapCreate(DWORD options, DWORD initial, DWORD maximum);
BOOL HeapDestroy(HANDLE heap);
LPVOID HeapAlloc(HANDLE heap, DWORD flags, DWORD bytes);
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, DWORD bytes);
// The size asked for the block, or 0xFFFFFFFF.
DWORD HeapSize(HANDLE heap, DWORD flags, LPCVOID block);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
HANDLE GetProcessHeap(void);

// Whether any byte of the range cannot be read (written, executed): each
// page is touched under the device's exception guard (wce/seh.h); a write
// probe writes every touched byte back unchanged. A size of 0 is never bad.
BOOL IsBadReadPtr(const void* address, UINT size);
BOOL IsBadWritePtr(LPVOID address, UINT size);
BOOL IsBadCodePtr(const void* address);
}
