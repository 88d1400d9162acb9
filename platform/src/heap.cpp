// Heaps: handle-table objects that own their blocks, so a heap knows each
// block's size, refuses foreign pointers and frees everything at
// HeapDestroy. Blocks come from the C library's allocator.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "handles.h"
#include "wce/heap.h"
#include "wce/kernel.h"

namespace {

struct Heap {
  KObject header;
  std::mutex lock;
  std::unordered_map<void*, size_t> blocks;  // under `lock`
  size_t used;                                // bytes asked for, under `lock`
  size_t maximum;                             // 0: grows without bound
};

void destroy_heap(KObject* object) {
  Heap* heap = reinterpret_cast<Heap*>(object);
  for (auto& block : heap->blocks) free(block.first);
  delete heap;
}
const KObjectOps kHeapOps = {destroy_heap, nullptr, nullptr};

HANDLE g_process_heap;
std::once_flag g_process_heap_once;

Heap* heap_of(HANDLE handle) { return reinterpret_cast<Heap*>(handle_get(handle, KOBJ_HEAP)); }

bool fits(const Heap* heap, size_t more) { return heap->maximum == 0 || heap->used + more <= heap->maximum; }

}  // namespace

extern "C" HANDLE HeapCreate(DWORD, DWORD initial, DWORD maximum) {
  if (maximum != 0 && initial > maximum) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Heap* heap = new Heap;
  kobject_init(&heap->header, KOBJ_HEAP, &kHeapOps);
  heap->used = 0;
  heap->maximum = maximum;
  HANDLE handle = handle_insert(&heap->header);
  if (!handle) delete heap;
  return handle;
}

extern "C" HANDLE GetProcessHeap(void) {
  std::call_once(g_process_heap_once, [] { g_process_heap = HeapCreate(0, 0, 0); });
  return g_process_heap;
}

extern "C" BOOL HeapDestroy(HANDLE handle) {
  if (handle && handle == g_process_heap) {
    SetLastError(ERROR_INVALID_HANDLE);  // the process heap lives as long as the process
    return FALSE;
  }
  KObject* heap = handle_get(handle, KOBJ_HEAP);
  if (!heap) return FALSE;
  // The blocks go with the last reference (a call still inside the heap
  // holds one).
  handle_close(handle);
  handle_release(heap);
  return TRUE;
}

extern "C" LPVOID HeapAlloc(HANDLE handle, DWORD flags, DWORD bytes) {
  Heap* heap = heap_of(handle);
  if (!heap) return nullptr;
  void* block = nullptr;
  {
    std::lock_guard<std::mutex> hold(heap->lock);
    // calloc: a large zeroed block comes as fresh pages instead of being
    // cleared byte by byte.
    if (fits(heap, bytes)) block = (flags & HEAP_ZERO_MEMORY) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
    if (block) {
      heap->blocks[block] = bytes;
      heap->used += bytes;
    }
  }
  handle_release(&heap->header);
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return block;
}

extern "C" LPVOID HeapReAlloc(HANDLE handle, DWORD flags, LPVOID block, DWORD bytes) {
  Heap* heap = heap_of(handle);
  if (!heap) return nullptr;
  void* result = nullptr;
  DWORD error = ERROR_SUCCESS;
  {
    std::lock_guard<std::mutex> hold(heap->lock);
    auto it = heap->blocks.find(block);
    if (it == heap->blocks.end()) {
      error = ERROR_INVALID_PARAMETER;
    } else {
      size_t old = it->second;
      if (bytes > old && !fits(heap, bytes - old)) {
        error = ERROR_NOT_ENOUGH_MEMORY;
      } else if (bytes <= old || !(flags & HEAP_REALLOC_IN_PLACE_ONLY)) {
        result = bytes <= old ? block : realloc(block, bytes);
        if (!result) {
          error = ERROR_NOT_ENOUGH_MEMORY;
        } else {
          if (bytes > old && (flags & HEAP_ZERO_MEMORY)) memset(static_cast<char*>(result) + old, 0, bytes - old);
          heap->blocks.erase(it);
          heap->blocks[result] = bytes;
          heap->used = heap->used - old + bytes;
        }
      } else {
        error = ERROR_NOT_ENOUGH_MEMORY;  // cannot grow where it stands
      }
    }
  }
  handle_release(&heap->header);
  if (!result) SetLastError(error);
  return result;
}

extern "C" DWORD HeapSize(HANDLE handle, DWORD, LPCVOID block) {
  Heap* heap = heap_of(handle);
  if (!heap) return 0xFFFFFFFF;
  DWORD size = 0xFFFFFFFF;
  {
    std::lock_guard<std::mutex> hold(heap->lock);
    auto it = heap->blocks.find(const_cast<void*>(block));
    if (it != heap->blocks.end()) size = static_cast<DWORD>(it->second);
  }
  handle_release(&heap->header);
  if (size == 0xFFFFFFFF) SetLastError(ERROR_INVALID_PARAMETER);
  return size;
}

extern "C" BOOL HeapFree(HANDLE handle, DWORD, LPVOID block) {
  Heap* heap = heap_of(handle);
  if (!heap) return FALSE;
  bool found = block == nullptr;
  if (block) {
    std::lock_guard<std::mutex> hold(heap->lock);
    auto it = heap->blocks.find(block);
    if (it != heap->blocks.end()) {
      found = true;
      heap->used -= it->second;
      heap->blocks.erase(it);
      free(block);
    }
  }
  handle_release(&heap->header);
  if (!found) SetLastError(ERROR_INVALID_PARAMETER);
  return found ? TRUE : FALSE;
}
