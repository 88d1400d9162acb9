// ROUTE.em.dll: a translated module whose chunks only note which entry ran,
// for the dispatcher's routing tests. Its chunk ranges are those of a real
// module with three chunks; each chunk knows two entry addresses.
#include "frame.h"

namespace {

constexpr u32 kBase = 0x10000000;
// Guest memory where the chunks note the entries they ran: a count, then
// the addresses.
constexpr u32 kTrace = 0x18000;

uint8_t g_data[4];
const SectionInit kSections[] = {{kTrace, 0x1000, sizeof g_data, g_data}, {0, 0, 0, nullptr}};
const u32 kRelocs[] = {0};
const ImportDesc kImports[] = {{nullptr, nullptr, 0}};
ExportEntry kExports[] = {{0, 0}};

void note(ChunkFrame* F, u32 entry) {
  u32 trace = F->mi->Base + kTrace;
  u32 count = guest_read32(trace);
  guest_write32(trace + 4 + 4 * count, entry);
  guest_write32(trace, count + 1);
}

// Runs `entry` as a function that notes itself and returns.
bool run(ChunkFrame* F, u32 entry) {
  note(F, entry);
  frame_set_eip(F, pop32(F));
  return false;
}

bool chunk_a(ChunkFrame* F) {
  u32 a = F->eip_rel;
  if (a == 0x10001000 || a == 0x1000700F) return run(F, a);
  return true;
}

bool chunk_b(ChunkFrame* F) {
  u32 a = F->eip_rel;
  if (a == 0x10007010) return run(F, a);
  if (a == 0x10008000) {
    // A non-local exit: abandons its frame and goes on in chunk A.
    note(F, a);
    F->esp += 0x100;
    F->eip_rel = 0x10001000;
    return false;
  }
  return true;
}

bool chunk_c(ChunkFrame* F) {
  u32 a = F->eip_rel;
  if (a == 0x1000D015 || a == 0x1001108E) return run(F, a);
  return true;
}

}  // namespace

ModuleInfo g_module_info = {
    kBase, 0x1000, 0, 0x19000, "ROUTE", kImports, kExports, kRelocs, kSections, ModuleDispatch, nullptr,
};
const ChunkRoute g_chunk_routes[] = {
    {0x10001000, 0x10007010, chunk_a},
    {0x10007010, 0x1000D015, chunk_b},
    {0x1000D015, 0x1001108F, chunk_c},
};
const u32 g_chunk_route_count = 3;
const char g_module_stem[] = "ROUTE";
