// Critical sections in the caller's own 24-byte record: a futex lock word,
// the owner's identifier and the recursion depth, all inside the record
// (see wce/synch.h), so records in guest memory need nothing else.
#include <climits>
#include <cstring>

#include "futex.h"
#include "wce/kernel.h"
#include "wce/synch.h"

namespace {

struct SectionWords {
  uint32_t* lock;       // 0 free, 1 held, 2 held with waiters
  uint32_t* recursion;  // the owner's depth
  uint32_t* owner;      // the owner's thread identifier, 0 when free
};

// The three words at the Win32 offsets 4, 8 and 12 counted from the first
// 4-aligned address of the record (the record itself when it is aligned);
// they end at most 20 bytes into the record.
SectionWords words_of(CRITICAL_SECTION* section) {
  uintptr_t base = (reinterpret_cast<uintptr_t>(section) + 3) & ~uintptr_t(3);
  return {reinterpret_cast<uint32_t*>(base + 4), reinterpret_cast<uint32_t*>(base + 8),
          reinterpret_cast<uint32_t*>(base + 12)};
}

}  // namespace

extern "C" void InitializeCriticalSection(CRITICAL_SECTION* section) { memset(section, 0, sizeof *section); }

extern "C" void DeleteCriticalSection(CRITICAL_SECTION* section) { memset(section, 0, sizeof *section); }

extern "C" void EnterCriticalSection(CRITICAL_SECTION* section) {
  SectionWords w = words_of(section);
  const uint32_t self = GetCurrentThreadId();
  if (__atomic_load_n(w.owner, __ATOMIC_RELAXED) == self) {
    ++*w.recursion;
    return;
  }
  uint32_t state = 0;
  if (!__atomic_compare_exchange_n(w.lock, &state, 1u, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
    // Contended: mark the word as having waiters and sleep until it is free.
    if (state != 2) state = __atomic_exchange_n(w.lock, 2u, __ATOMIC_ACQUIRE);
    while (state != 0) {
      futex_wait(w.lock, 2);
      state = __atomic_exchange_n(w.lock, 2u, __ATOMIC_ACQUIRE);
    }
  }
  __atomic_store_n(w.owner, self, __ATOMIC_RELAXED);
  *w.recursion = 1;
}

extern "C" void LeaveCriticalSection(CRITICAL_SECTION* section) {
  SectionWords w = words_of(section);
  // Only the owner can leave; anyone else's call changes nothing.
  if (__atomic_load_n(w.owner, __ATOMIC_RELAXED) != GetCurrentThreadId() || *w.recursion == 0) return;
  if (--*w.recursion > 0) return;
  __atomic_store_n(w.owner, 0u, __ATOMIC_RELAXED);
  if (__atomic_exchange_n(w.lock, 0u, __ATOMIC_RELEASE) == 2) futex_wake(w.lock, 1);
}
