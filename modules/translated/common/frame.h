// The frame every translated module shares: the chunk frame that holds the
// guest state while a chunk runs, the routing table, and the helpers that
// generated code uses for flags and the guest stack.
//
// A translated module supplies, with hidden visibility:
//   ModuleInfo g_module_info;             its descriptor (Dispatch = ModuleDispatch)
//   const ChunkRoute g_chunk_routes[];    chunk ranges, ascending, half-open
//   const u32 g_chunk_route_count;
//   const char g_module_stem[];           file stem for the attach line ("vexon32")
// and links this frame, which exports EntryPoint and GetModuleInfo.
#pragma once

#include "guest_word.h"
#include "trevik.h"

// Guest state while a chunk runs. The body may cache values in host
// registers within a block; at every block boundary (and before anything
// that can fault or leave) the frame holds the truth.
struct ChunkFrame {
  u32 eax, ebx, ecx, edx, esi, edi, esp, ebp, eip;
  u32 cf;  // 0 or 1
  u32 of;  // 0 or 1
  i32 sf;  // bit 31 is SF
  u32 zf;  // 0 exactly when ZF is set
  u32 pf;  // low byte decides PF (even number of 1 bits: PF set)
  i32 df;  // string step: +1, or -1 when DF is set
  u32 fixup;
  Env* env;
  ModuleInfo* mi;
};

// A chunk body runs guest code from F->eip until it must leave. It returns
// true when it left because its look-up found no block for F->eip.
typedef bool (*ChunkBody)(ChunkFrame* F);

struct ChunkRoute {
  u32 start;  // guest address in the module's own numbering
  u32 end;    // first address after the range
  ChunkBody body;
};

extern ModuleInfo g_module_info;
extern const ChunkRoute g_chunk_routes[];
extern const u32 g_chunk_route_count;
extern const char g_module_stem[];
// Entry b is 1 when byte b has an even number of set bits.
extern const uint8_t kParity[256];

// The dispatcher, reached through the descriptor's Dispatch field only.
int ModuleDispatch(Env* env, ModuleInfo* mi);

// Runs one chunk: loads the frame from `env`, runs `body` under a host
// exception guard and stores the frame back, EFLAGS rebuilt from the six
// flag values. Returns EAX.
int RunChunk(Env* env, ModuleInfo* mi, ChunkBody body, bool* missed);

// EFLAGS <-> the six flag values.
void frame_load_flags(ChunkFrame* F, u32 eflags);
u32 frame_eflags(const ChunkFrame* F);

// --- helpers for generated code -------------------------------------------

// Guest stack words: single word accesses, the guest stack is 4-aligned.
static inline void push32(ChunkFrame* F, u32 value) {
  F->esp -= 4;
  *reinterpret_cast<u32*>(static_cast<uintptr_t>(F->esp)) = value;
}
static inline u32 pop32(ChunkFrame* F) {
  u32 value = *reinterpret_cast<u32*>(static_cast<uintptr_t>(F->esp));
  F->esp += 4;
  return value;
}

static inline void flags_logic32(ChunkFrame* F, u32 r) {
  F->cf = 0;
  F->of = 0;
  F->sf = static_cast<i32>(r);
  F->zf = r;
  F->pf = r;
}
static inline void flags_add32(ChunkFrame* F, u32 a, u32 b, u32 r) {
  F->cf = r < a;
  F->of = ((a ^ r) & (b ^ r)) >> 31;
  F->sf = static_cast<i32>(r);
  F->zf = r;
  F->pf = r;
}
static inline void flags_sub32(ChunkFrame* F, u32 a, u32 b, u32 r) {
  F->cf = a < b;
  F->of = ((a ^ b) & (a ^ r)) >> 31;
  F->sf = static_cast<i32>(r);
  F->zf = r;
  F->pf = r;
}
