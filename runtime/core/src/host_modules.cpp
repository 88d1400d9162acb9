// Load address and size of host modules, from the tool-help snapshot.
#include "trevik.h"
#include "wce/kernel.h"

static bool find_host_module(HMODULE handle, MODULEENTRY32* entry) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  entry->dwSize = sizeof *entry;
  bool found = false;
  BOOL more = Module32First(snapshot, entry);
  while (more && !(found = entry->hModule == handle)) more = Module32Next(snapshot, entry);
  CloseToolhelp32Snapshot(snapshot);
  return found;
}

extern "C" u32 GetModuleBaseAddress(HMODULE handle) {
  MODULEENTRY32 entry;
  return find_host_module(handle, &entry) ? static_cast<u32>(reinterpret_cast<uintptr_t>(entry.modBaseAddr)) : 0;
}

extern "C" u32 GetModuleSize(HMODULE handle) {
  MODULEENTRY32 entry;
  return find_host_module(handle, &entry) ? entry.modBaseSize : 0;
}
