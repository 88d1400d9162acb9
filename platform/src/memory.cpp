// Virtual memory: reservations at a requested address or anywhere below
// 0x80000000, commit, release and protection, over mmap.
#include <sys/mman.h>

#include <map>
#include <mutex>

#include "wce/kernel.h"

namespace {

constexpr uintptr_t kPage = 4096;
constexpr uintptr_t kGranularity = 0x10000;
constexpr uintptr_t kUserTop = 0x80000000u;

struct Region {
  uintptr_t size;
  DWORD protect;
};

std::mutex g_lock;
std::map<uintptr_t, Region> g_regions;  // reservations by base

int host_protection(DWORD protect) {
  switch (protect & 0xFF) {
    case PAGE_NOACCESS: return PROT_NONE;
    case PAGE_READONLY: return PROT_READ;
    case PAGE_READWRITE: return PROT_READ | PROT_WRITE;
    case PAGE_EXECUTE: return PROT_READ | PROT_EXEC;
    case PAGE_EXECUTE_READ: return PROT_READ | PROT_EXEC;
    case PAGE_EXECUTE_READWRITE: return PROT_READ | PROT_WRITE | PROT_EXEC;
    default: return -1;
  }
}

uintptr_t round_up(uintptr_t value, uintptr_t unit) { return (value + unit - 1) & ~(unit - 1); }

// The reservation containing [start, start + size), if any; lock held.
std::map<uintptr_t, Region>::iterator region_of(uintptr_t start, uintptr_t size) {
  auto it = g_regions.upper_bound(start);
  if (it == g_regions.begin()) return g_regions.end();
  --it;
  if (start + size > it->first + it->second.size) return g_regions.end();
  return it;
}

LPVOID reserve(uintptr_t address, uintptr_t size, bool commit, DWORD protect) {
  int prot = commit ? host_protection(protect) : PROT_NONE;
  uintptr_t base = address & ~(kGranularity - 1);
  uintptr_t length = round_up(address + size, kPage) - base;
  if (address == 0) length = round_up(size, kPage);
  int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | (address ? MAP_FIXED_NOREPLACE : 0);
  void* got = mmap(reinterpret_cast<void*>(base), length, prot, flags, -1, 0);
  if (got == MAP_FAILED) {
    SetLastError(address ? ERROR_INVALID_ADDRESS : ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  uintptr_t at = reinterpret_cast<uintptr_t>(got);
  // A request for a fixed place may come back elsewhere (some loaders take
  // the flag as a hint), and nothing may lie where bit 31 tags handlers.
  if ((address && at != base) || at + length > kUserTop) {
    munmap(got, length);
    SetLastError(address ? ERROR_INVALID_ADDRESS : ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(g_lock);
  g_regions[at] = {length, commit ? protect : PAGE_NOACCESS};
  return got;
}

}  // namespace

extern "C" LPVOID VirtualAlloc(LPVOID address, DWORD size, DWORD type, DWORD protect) {
  uintptr_t start = reinterpret_cast<uintptr_t>(address);
  if (size == 0 || host_protection(protect) < 0 || !(type & (MEM_COMMIT | MEM_RESERVE))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if ((type & MEM_RESERVE) || !address) return reserve(start, size, (type & MEM_COMMIT) != 0, protect);
  // Commit inside an earlier reservation.
  uintptr_t page = start & ~(kPage - 1);
  uintptr_t length = round_up(start + size, kPage) - page;
  std::lock_guard<std::mutex> hold(g_lock);
  auto region = region_of(page, length);
  if (region == g_regions.end()) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return nullptr;
  }
  if (mprotect(reinterpret_cast<void*>(page), length, host_protection(protect)) != 0) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return nullptr;
  }
  region->second.protect = protect;
  return reinterpret_cast<LPVOID>(page);
}

extern "C" BOOL VirtualFree(LPVOID address, DWORD size, DWORD type) {
  uintptr_t start = reinterpret_cast<uintptr_t>(address);
  std::lock_guard<std::mutex> hold(g_lock);
  if (type == MEM_RELEASE) {
    auto it = g_regions.find(start);
    if (size != 0 || it == g_regions.end()) {
      SetLastError(it == g_regions.end() ? ERROR_INVALID_ADDRESS : ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    munmap(address, it->second.size);
    g_regions.erase(it);
    return TRUE;
  }
  if (type == MEM_DECOMMIT) {
    uintptr_t page = start & ~(kPage - 1);
    auto region = region_of(page, size ? round_up(start + size, kPage) - page : 1);
    if (region == g_regions.end()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
    uintptr_t length = size ? round_up(start + size, kPage) - page : region->second.size;
    if (!size) page = region->first;
    // Fresh pages drop the contents, as a decommit does.
    mmap(reinterpret_cast<void*>(page), length, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED | MAP_NORESERVE,
         -1, 0);
    return TRUE;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

extern "C" BOOL VirtualProtect(LPVOID address, DWORD size, DWORD protect, DWORD* old) {
  int prot = host_protection(protect);
  uintptr_t start = reinterpret_cast<uintptr_t>(address);
  uintptr_t page = start & ~(kPage - 1);
  uintptr_t length = round_up(start + size, kPage) - page;
  if (prot < 0 || size == 0 || !old) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(g_lock);
  if (mprotect(reinterpret_cast<void*>(page), length, prot) != 0) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  auto region = region_of(page, length);
  *old = region == g_regions.end() ? PAGE_EXECUTE_READWRITE : region->second.protect;
  if (region != g_regions.end()) region->second.protect = protect;
  return TRUE;
}
