// IsBadReadPtr, IsBadWritePtr and IsBadCodePtr: each page of the range
// (and its last byte) is touched under the device's exception guard; a
// fault means the range is bad. The write probe writes each touched byte
// back unchanged, as Win32's own probe does.
#include "wce/heap.h"
#include "wce/seh.h"

namespace {

constexpr uintptr_t kPage = 4096;

// True when every byte from `first` to `last` could be touched.
bool touch(uintptr_t first, uintptr_t last, bool write) {
  SehGuard guard;
  if (SEH_TRY(guard)) {
    for (uintptr_t at = first;;) {
      volatile uint8_t* p = reinterpret_cast<volatile uint8_t*>(at);
      uint8_t value = *p;
      if (write) *p = value;
      if (at == last) break;
      uintptr_t next = (at & ~(kPage - 1)) + kPage;
      at = (next > last || next == 0) ? last : next;
    }
    seh_pop(&guard);
    return true;
  }
  return false;
}

BOOL bad_range(const void* address, UINT size, bool write) {
  if (size == 0) return FALSE;
  uintptr_t first = reinterpret_cast<uintptr_t>(address);
  uintptr_t last = first + size - 1;
  if (!address || last < first) return TRUE;
  return touch(first, last, write) ? FALSE : TRUE;
}

}  // namespace

extern "C" BOOL IsBadReadPtr(const void* address, UINT size) { return bad_range(address, size, false); }
extern "C" BOOL IsBadWritePtr(LPVOID address, UINT size) { return bad_range(address, size, true); }
extern "C" BOOL IsBadCodePtr(const void* address) { return bad_range(address, 1, false); }
