// SAMPLE.dll translated: the guest DLL of the sample game (source:
// sample_dll.asm). Registers as "SAMPLE"; exports SampleAdd by name and
// ordinal 1, SampleTriple by ordinal 2 only.
#include "frame.h"

namespace {

constexpr u32 kBase = 0x10000000;

// The guest code bytes (sample_dll.asm, assembled at 0x10001000).
const uint8_t kText[] = {
    0x8B, 0x44, 0x24, 0x08, 0xA3, 0x00, 0x20, 0x00, 0x10, 0xB8, 0x01, 0x00,
    0x00, 0x00, 0xC2, 0x0C, 0x00, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC,
    0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0x8B, 0x44, 0x24, 0x04,
    0x03, 0x44, 0x24, 0x08, 0xC2, 0x08, 0x00, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC,
    0x8B, 0x44, 0x24, 0x04, 0x8D, 0x04, 0x40, 0x03, 0x05, 0x00, 0x20, 0x00,
    0x10, 0xC2, 0x04, 0x00,
};
const uint8_t kNoBytes[1] = {0};

const SectionInit kSections[] = {
    {0x1000, 0x1000, sizeof kText, kText},  // .text
    {0x2000, 0x1000, 0, kNoBytes},          // .data
    {0, 0, 0, nullptr},
};

// Absolute guest addresses inside the image (both at odd RVAs).
const u32 kRelocs[] = {0x1005, 0x1039, 0};

const ImportDesc kImports[] = {{nullptr, nullptr, 0}};

u32 name_word(const char* name) { return guest_addr(name); }

ExportEntry kExports[] = {
    {name_word("SampleAdd"), kBase + 0x1020},
    {1, kBase + 0x1020},
    {2, kBase + 0x1030},
    {0, 0},
};

bool chunk_text(ChunkFrame* F) {
  const u32 fx = F->fixup;
lookup:
  if (frame_eip(F) == RETURN_SENTINEL) return false;
  {
    const u32 a = F->eip_rel;
    if (a < 0x10001020) {
      if (a == 0x10001000) goto L_10001000;
      return true;
    }
    if (a == 0x10001020) goto L_10001020;
    if (a == 0x10001030) goto L_10001030;
    return true;
  }

L_10001000:  // DllMain
  F->eip_rel = 0x10001000;
  F->eax = guest_read32(F->esp + 8);
  guest_write32(fx + 0x10002000, F->eax);
  F->eax = 1;
  frame_set_eip(F, pop32(F));
  F->esp += 12;
  goto lookup;

L_10001020:  // SampleAdd
  F->eip_rel = 0x10001020;
  {
    F->eax = guest_read32(F->esp + 4);
    const u32 a = F->eax, b = guest_read32(F->esp + 8), r = a + b;
    F->eax = r;
    flags_add32(F, a, b, r);
  }
  frame_set_eip(F, pop32(F));
  F->esp += 8;
  goto lookup;

L_10001030:  // SampleTriple
  F->eip_rel = 0x10001030;
  {
    F->eax = guest_read32(F->esp + 4);
    F->eax = F->eax + F->eax * 2;
    const u32 a = F->eax, b = guest_read32(fx + 0x10002000), r = a + b;
    F->eax = r;
    flags_add32(F, a, b, r);
  }
  frame_set_eip(F, pop32(F));
  F->esp += 4;
  goto lookup;
}

}  // namespace

ModuleInfo g_module_info = {
    kBase, 0x1000, 0, 0x4000, "SAMPLE", kImports, kExports, kRelocs, kSections, ModuleDispatch, nullptr,
};
const ChunkRoute g_chunk_routes[] = {{0x10001000, 0x10001040, chunk_text}};
const u32 g_chunk_route_count = 1;
const char g_module_stem[] = "SAMPLE";
