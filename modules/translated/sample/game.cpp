// The sample game translated (source: game.asm). WinMain calls SAMPLE.dll
// by name and by ordinal and two emulated API functions; the first letter
// of its command line can instead choose a fatal path:
//   i  call an address outside every module
//   u  call an import that nothing resolved
//   n  jump into the code where no instruction starts
//   s  fault with two guest exception handlers, the outer one taking it
//   S  fault with one guest exception handler that declines
#include "frame.h"

namespace {

// The guest code bytes (game.asm, assembled at 0x00401000).
const uint8_t kText[] = {
    0x55, 0x89, 0xE5, 0x8B, 0x45, 0x10, 0x0F, 0xB6, 0x00, 0x83, 0xF8, 0x69,
    0x0F, 0x84, 0x6C, 0x00, 0x00, 0x00, 0x83, 0xF8, 0x75, 0x0F, 0x84, 0x6A,
    0x00, 0x00, 0x00, 0x83, 0xF8, 0x6E, 0x0F, 0x84, 0x67, 0x00, 0x00, 0x00,
    0x83, 0xF8, 0x73, 0x0F, 0x84, 0x65, 0x00, 0x00, 0x00, 0x83, 0xF8, 0x53,
    0x0F, 0x84, 0x6F, 0x00, 0x00, 0x00, 0x6A, 0x02, 0x6A, 0x03, 0xFF, 0x15,
    0x00, 0x30, 0x40, 0x00, 0x50, 0xFF, 0x15, 0x04, 0x30, 0x40, 0x00, 0x89,
    0xC3, 0xFF, 0x15, 0x0C, 0x30, 0x40, 0x00, 0x3D, 0x00, 0x00, 0x05, 0x00,
    0x0F, 0x85, 0x1D, 0x00, 0x00, 0x00, 0x6A, 0x07, 0x6A, 0x00, 0x6A, 0x00,
    0xFF, 0x15, 0x10, 0x30, 0x40, 0x00, 0x01, 0xD8, 0x83, 0xF8, 0x17, 0x0F,
    0x85, 0x06, 0x00, 0x00, 0x00, 0x31, 0xC0, 0x5D, 0xC2, 0x10, 0x00, 0xB8,
    0x00, 0x00, 0xAD, 0xDE, 0xFF, 0xD0, 0xB8, 0x78, 0x56, 0x34, 0x12, 0xFF,
    0xD0, 0xFF, 0x15, 0x14, 0x30, 0x40, 0x00, 0xB8, 0x7F, 0x10, 0x40, 0x00,
    0xFF, 0xE0, 0x68, 0xF2, 0x10, 0x40, 0x00, 0x64, 0xFF, 0x35, 0x00, 0x00,
    0x00, 0x00, 0x64, 0x89, 0x25, 0x00, 0x00, 0x00, 0x00, 0x68, 0xD0, 0x10,
    0x40, 0x00, 0x64, 0xFF, 0x35, 0x00, 0x00, 0x00, 0x00, 0x64, 0x89, 0x25,
    0x00, 0x00, 0x00, 0x00, 0xC7, 0x05, 0x00, 0x40, 0x40, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x31, 0xC9, 0x8B, 0x01, 0xEB, 0xAF, 0xCC, 0xCC, 0xCC, 0xCC,
    0xCC, 0xCC, 0xCC, 0xCC, 0x8B, 0x44, 0x24, 0x04, 0x81, 0x38, 0x05, 0x00,
    0x00, 0xC0, 0x75, 0x9B, 0x83, 0x3D, 0x00, 0x40, 0x40, 0x00, 0x01, 0x75,
    0x92, 0xC7, 0x05, 0x00, 0x40, 0x40, 0x00, 0x02, 0x00, 0x00, 0x00, 0x31,
    0xC0, 0xC3, 0x8B, 0x44, 0x24, 0x04, 0x81, 0x38, 0x27, 0x00, 0x00, 0xC0,
    0x74, 0x29, 0x81, 0x38, 0x05, 0x00, 0x00, 0xC0, 0x0F, 0x85, 0x6D, 0xFF,
    0xFF, 0xFF, 0x83, 0x3D, 0x00, 0x40, 0x40, 0x00, 0x02, 0x0F, 0x85, 0x60,
    0xFF, 0xFF, 0xFF, 0xC7, 0x05, 0x00, 0x40, 0x40, 0x00, 0x03, 0x00, 0x00,
    0x00, 0xB8, 0x01, 0x00, 0x00, 0x00, 0xC3, 0x83, 0x78, 0x04, 0x02, 0x0F,
    0x85, 0x46, 0xFF, 0xFF, 0xFF, 0x83, 0x3D, 0x00, 0x40, 0x40, 0x00, 0x03,
    0x0F, 0x85, 0x39, 0xFF, 0xFF, 0xFF, 0x8B, 0x4C, 0x24, 0x0C, 0x8B, 0x91,
    0xB8, 0x00, 0x00, 0x00, 0x3B, 0x50, 0x0C, 0x0F, 0x85, 0x26, 0xFF, 0xFF,
    0xFF, 0xC7, 0x05, 0x00, 0x40, 0x40, 0x00, 0x04, 0x00, 0x00, 0x00, 0xB8,
    0x01, 0x00, 0x00, 0x00, 0xC3,
};
const uint8_t kNoBytes[1] = {0};

const SectionInit kSections[] = {
    {0x1000, 0x1000, sizeof kText, kText},  // .text
    {0x3000, 0x1000, 0, kNoBytes},          // .idata: the import slots
    {0x4000, 0x1000, 0, kNoBytes},          // .data
    {0, 0, 0, nullptr},
};

const u32 kRelocs[] = {0x103C, 0x1043, 0x104B, 0x1062, 0x1087, 0x108C, 0x1093, 0x10A6,
                       0x10BA, 0x10DE, 0x10E7, 0x110C, 0x1119, 0x1133, 0x1153, 0};

u32 name_word(const char* name) { return guest_addr(name); }

const u32 kSampleNames[] = {name_word("SampleAdd"), 2, 0};
const u32 kKernelNames[] = {name_word("GetVersion"), name_word("GetProfileIntA"), name_word("NoSuchFunction"), 0};
const ImportDesc kImports[] = {
    {"SAMPLE.dll", kSampleNames, 0x3000},
    {"KERNEL32.dll", kKernelNames, 0x300C},
    {nullptr, nullptr, 0},
};
ExportEntry kExports[] = {{0, 0}};

u32 fs_word(u32 offset) { return guest_read32(guest_addr(FS_Base()) + offset); }
void set_fs_word(u32 offset, u32 value) { guest_write32(guest_addr(FS_Base()) + offset, value); }

// WinMain and the fatal paths: [0x401000, 0x4010D0).
bool chunk_main(ChunkFrame* F) {
  const u32 fx = F->fixup;
lookup:
  if (frame_eip(F) == RETURN_SENTINEL) return false;
  {
    const u32 a = F->eip_rel;
    if (a < 0x401077) {
      if (a < 0x401047) {
        if (a == 0x401000) goto L_401000;
        if (a == 0x401040) goto L_401040;
        return true;
      }
      if (a == 0x401047) goto L_401047;
      if (a == 0x40104F) goto L_40104F;
      if (a == 0x401066) goto L_401066;
      return true;
    }
    if (a == 0x401077) goto L_401077;
    if (a < 0x40108B) {
      if (a == 0x40107E) goto L_40107E;
      if (a == 0x401085) goto L_401085;
      return true;
    }
    if (a == 0x40108B) goto L_40108B;
    if (a == 0x401092) goto L_401092;
    if (a == 0x4010A5) goto L_4010A5;
    return true;
  }

L_401000:  // WinMain
  F->eip_rel = 0x401000;
  push32(F, F->ebp);
  F->ebp = F->esp;
  F->eax = guest_read32(F->ebp + 16);
  F->eax = *reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(F->eax));
  {
    const u32 a = F->eax;
    flags_sub32(F, a, 'i', a - 'i');
    if (F->zf == 0) goto L_40107E;
    flags_sub32(F, a, 'u', a - 'u');
    if (F->zf == 0) goto L_401085;
    flags_sub32(F, a, 'n', a - 'n');
    if (F->zf == 0) goto L_40108B;
    flags_sub32(F, a, 's', a - 's');
    if (F->zf == 0) goto L_401092;
    flags_sub32(F, a, 'S', a - 'S');
    if (F->zf == 0) goto L_4010A5;
  }
  push32(F, 2);
  push32(F, 3);
  push32(F, fx + 0x401040);
  frame_set_eip(F, *reinterpret_cast<const u32*>(static_cast<uintptr_t>(fx + 0x403000)));
  goto lookup;

L_401040:
  F->eip_rel = 0x401040;
  push32(F, F->eax);
  push32(F, fx + 0x401047);
  frame_set_eip(F, *reinterpret_cast<const u32*>(static_cast<uintptr_t>(fx + 0x403004)));
  goto lookup;

L_401047:
  F->eip_rel = 0x401047;
  F->ebx = F->eax;
  push32(F, fx + 0x40104F);
  frame_set_eip(F, *reinterpret_cast<const u32*>(static_cast<uintptr_t>(fx + 0x40300C)));
  goto lookup;

L_40104F:
  F->eip_rel = 0x40104F;
  flags_sub32(F, F->eax, 0x50000, F->eax - 0x50000);
  if (F->zf != 0) goto L_401077;
  push32(F, 7);
  push32(F, 0);
  push32(F, 0);
  push32(F, fx + 0x401066);
  frame_set_eip(F, *reinterpret_cast<const u32*>(static_cast<uintptr_t>(fx + 0x403010)));
  goto lookup;

L_401066:
  F->eip_rel = 0x401066;
  {
    const u32 a = F->eax, b = F->ebx, r = a + b;
    F->eax = r;
    flags_add32(F, a, b, r);
  }
  flags_sub32(F, F->eax, 23, F->eax - 23);
  if (F->zf != 0) goto L_401077;
  F->eax = 0;
  flags_logic32(F, 0);
  F->ebp = pop32(F);
  frame_set_eip(F, pop32(F));
  F->esp += 16;
  goto lookup;

L_401077:  // failed
  F->eip_rel = 0x401077;
  F->eax = 0xDEAD0000;
  push32(F, fx + 0x40107E);
  frame_set_eip(F, F->eax);
  goto lookup;

L_40107E:  // call_invalid
  F->eip_rel = 0x40107E;
  F->eax = 0x12345678;
  push32(F, fx + 0x401085);
  frame_set_eip(F, F->eax);
  goto lookup;

L_401085:  // call_unresolved
  F->eip_rel = 0x401085;
  push32(F, fx + 0x40108B);
  frame_set_eip(F, *reinterpret_cast<const u32*>(static_cast<uintptr_t>(fx + 0x403014)));
  goto lookup;

L_40108B:  // jump_untranslated
  F->eip_rel = 0x40108B;
  F->eax = fx + 0x40107F;
  frame_set_eip(F, F->eax);
  goto lookup;

L_401092:  // seh_taken
  F->eip_rel = 0x401092;
  push32(F, fx + 0x4010F2);
  push32(F, fs_word(0));
  set_fs_word(0, F->esp);
  goto L_4010A5;

L_4010A5:  // seh_declined
  F->eip_rel = 0x4010A5;
  push32(F, fx + 0x4010D0);
  push32(F, fs_word(0));
  set_fs_word(0, F->esp);
  guest_write32(fx + 0x404000, 1);
  F->ecx = 0;
  flags_logic32(F, 0);
  F->eax = guest_read32(F->ecx);  // faults
  goto L_401077;
}

// The guest exception handlers: [0x4010D0, 0x401161).
bool chunk_handlers(ChunkFrame* F) {
  const u32 fx = F->fixup;
lookup:
  if (frame_eip(F) == RETURN_SENTINEL) return false;
  {
    const u32 a = F->eip_rel;
    if (a == 0x4010F2) goto L_4010F2;
    if (a < 0x4010F2) {
      if (a == 0x4010D0) goto L_4010D0;
      return true;
    }
    if (a == 0x401127) goto L_401127;
    return true;
  }

// Leaves for `failed`, which lies in the other chunk.
failed:
  F->eip_rel = 0x401077;
  return false;

L_4010D0:  // inner_handler
  F->eip_rel = 0x4010D0;
  F->eax = guest_read32(F->esp + 4);
  {
    const u32 code = guest_read32(F->eax);
    flags_sub32(F, code, 0xC0000005, code - 0xC0000005);
    if (F->zf != 0) goto failed;
    const u32 state = guest_read32(fx + 0x404000);
    flags_sub32(F, state, 1, state - 1);
    if (F->zf != 0) goto failed;
  }
  guest_write32(fx + 0x404000, 2);
  F->eax = 0;
  flags_logic32(F, 0);
  frame_set_eip(F, pop32(F));
  goto lookup;

L_4010F2:  // outer_handler
  F->eip_rel = 0x4010F2;
  F->eax = guest_read32(F->esp + 4);
  {
    const u32 code = guest_read32(F->eax);
    flags_sub32(F, code, 0xC0000027, code - 0xC0000027);
    if (F->zf == 0) goto L_401127;
    flags_sub32(F, code, 0xC0000005, code - 0xC0000005);
    if (F->zf != 0) goto failed;
    const u32 state = guest_read32(fx + 0x404000);
    flags_sub32(F, state, 2, state - 2);
    if (F->zf != 0) goto failed;
  }
  guest_write32(fx + 0x404000, 3);
  F->eax = 1;
  frame_set_eip(F, pop32(F));
  goto lookup;

L_401127:  // outer_unwind
  F->eip_rel = 0x401127;
  {
    const u32 flags = guest_read32(F->eax + 4);
    flags_sub32(F, flags, 2, flags - 2);
    if (F->zf != 0) goto failed;
    const u32 state = guest_read32(fx + 0x404000);
    flags_sub32(F, state, 3, state - 3);
    if (F->zf != 0) goto failed;
    F->ecx = guest_read32(F->esp + 12);
    F->edx = guest_read32(F->ecx + 0xB8);
    const u32 b = guest_read32(F->eax + 12);
    flags_sub32(F, F->edx, b, F->edx - b);
    if (F->zf != 0) goto failed;
  }
  guest_write32(fx + 0x404000, 4);
  F->eax = 1;
  frame_set_eip(F, pop32(F));
  goto lookup;
}

}  // namespace

ModuleInfo g_module_info = {
    0x00400000, 0x1000, 0, 0x5000, "TAVRINW", kImports, kExports, kRelocs, kSections, ModuleDispatch, nullptr,
};
const ChunkRoute g_chunk_routes[] = {
    {0x401000, 0x4010D0, chunk_main},
    {0x4010D0, 0x401161, chunk_handlers},
};
const u32 g_chunk_route_count = 2;
const char g_module_stem[] = "TavrinW";
