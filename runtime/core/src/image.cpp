#include "image.h"

#include <cstring>

#include "guest_word.h"
#include "wce/kernel.h"

static bool move_image(ModuleInfo* mi) {
  if (!mi->Relocs || mi->Relocs[0] == 0) return false;
  void* block = VirtualAlloc(nullptr, mi->Len, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!block) {
    log_puts("Not enough memory");
    return false;
  }
  u32 address = guest_addr(block);
  mi->Fixup = address - mi->Base;
  mi->Base = address;
  return true;
}

static void place_image(ModuleInfo* mi) {
  void* wanted = reinterpret_cast<void*>(static_cast<uintptr_t>(mi->Base));
  void* got = VirtualAlloc(wanted, mi->Len, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (got == wanted) {
    log_printf("%s located at preferred address %08X\n", mi->Name, mi->Base);
    return;
  }
  if (got) VirtualFree(got, 0, MEM_RELEASE);
  log_printf("Relocating %s.\n", mi->Name);
  if (move_image(mi)) return;
  log_printf("Failed to relocate %s. We may crash now.\n", mi->Name);
  DWORD old;
  VirtualProtect(wanted, mi->Len, PAGE_EXECUTE_READWRITE, &old);
}

void build_guest_image(ModuleInfo* mi) {
  place_image(mi);
  uint8_t* base = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(mi->Base));
  for (const SectionInit* s = mi->Sections; s && s->Rva; s++) {
    memset(base + s->Rva, 0, s->ZeroLen);
    memcpy(base + s->Rva, s->Source, s->CopyLen);
  }
  if (mi->Fixup == 0) return;
  for (const u32* rva = mi->Relocs; *rva; rva++) {
    u32 word = mi->Base + *rva;
    guest_write32(word, guest_read32(word) + mi->Fixup);
  }
  for (ExportEntry* e = mi->Exports; e && e->Name; e++) e->Address += mi->Fixup;
}
