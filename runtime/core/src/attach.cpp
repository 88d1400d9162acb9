// Start of the runtime in a process: a fresh log that begins with the
// runtime's own placement, and the check that the guest's address rule
// holds.
#include <dlfcn.h>

#include <cstdlib>

#include "fatal.h"
#include "trevik.h"
#include "wce/kernel.h"

static HMODULE own_handle() {
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&own_handle), &info)) return nullptr;
  return static_cast<HMODULE>(info.dli_fbase);
}

__attribute__((constructor)) static void trevik_attach() {
  DeleteFileW(u"trevik.txt");
  HMODULE self = own_handle();
  u32 base = GetModuleBaseAddress(self);
  u32 size = GetModuleSize(self);
  log_printf("trevik: %08X - %08X (%08X)\n", base, base + size, size);

  // Bit 31 of a guest address tags native handlers, so the runtime's code
  // and the heap must lie below 0x80000000.
  void* block = malloc(16);
  bool broken = (base + size) > NATIVE_TAG || guest_addr_high(block);
  free(block);
  if (broken)
    fatal_box("The runtime lies above 0x80000000, where guest addresses cannot reach it. "
              "Start the program through qemu-i386 -R 0x80000000.");
}
