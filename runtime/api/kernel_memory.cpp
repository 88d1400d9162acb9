// Kernel services, memory: heaps, virtual memory and pointer
// probes pass through to the device; global memory is the process heap's.
#include <cstring>

#include "handler.h"
#include "wce/heap.h"
#include "wce/kernel.h"

using services::pass_through;

namespace {

constexpr u32 kGmemZeroInit = 0x40;

// HeapAlloc: a failure is logged, and still answered with null.
void heap_alloc(Env* env) {
  u32 bytes = arg(env, 3);
  LPVOID block = HeapAlloc(arg_as<HANDLE>(env, 1), arg(env, 2), bytes);
  if (!block) log_printf("Out of memory allocating %d bytes\n", static_cast<int>(bytes));
  guest_return_value(env, guest_addr(block), 3);
}

// GlobalAlloc(uFlags, dwBytes): a global handle is the block's address, a
// block of the process heap; only GMEM_ZEROINIT is looked at.
void global_alloc(Env* env) {
  u32 flags = arg(env, 1), bytes = arg(env, 2);
  void* block = HeapAlloc(GetProcessHeap(), (flags & kGmemZeroInit) ? DWORD(HEAP_ZERO_MEMORY) : 0u, bytes);
  guest_return_value(env, guest_addr(block), 2);
}

// GlobalFree(h): 0 is Win32's success. A value that names no block is
// refused (the handle comes back) instead of reaching the allocator.
void global_free(Env* env) {
  void* block = arg_as<void*>(env, 1);
  bool freed = !block || HeapFree(GetProcessHeap(), 0, block);
  if (!freed) SetLastError(ERROR_INVALID_HANDLE);
  guest_return_value(env, freed ? 0 : guest_addr(block), 1);
}

}  // namespace

extern const ApiEntry kKernelMemoryApis[] = {
    {"HeapCreate", pass_through<HeapCreate>},
    {"HeapAlloc", heap_alloc},
    {"HeapReAlloc", pass_through<HeapReAlloc>},
    {"HeapSize", pass_through<HeapSize>},
    {"HeapFree", pass_through<HeapFree>},
    {"HeapDestroy", pass_through<HeapDestroy>},
    {"VirtualAlloc", pass_through<VirtualAlloc>},
    {"VirtualFree", pass_through<VirtualFree>},
    {"IsBadCodePtr", pass_through<IsBadCodePtr>},
    {"IsBadReadPtr", pass_through<IsBadReadPtr>},
    {"IsBadWritePtr", pass_through<IsBadWritePtr>},
    {"GlobalAlloc", global_alloc},
    {"GlobalFree", global_free},
    {nullptr, nullptr},
};
