// The frame every translated module shares: the chunk frame that holds the
// guest state while a chunk runs, the routing table, and the helpers that
// generated code uses for flags and the guest stack.
//
// A translated module supplies, with hidden visibility:
//   ModuleInfo g_module_info;             its descriptor (Dispatch = ModuleDispatch)
//   const ChunkRoute g_chunk_routes[];    chunk ranges, ascending, half-open
//   const u32 g_chunk_route_count;
//   const char g_module_stem[];           file stem for the attach line ("vexon32")
//   const ChunkEntry g_chunk_entries[];   every entry address, hashed (chunk_entry)
//   const u32 g_chunk_entry_shift;        (its chunks put both into the frame)
// and links this frame, which exports EntryPoint and GetModuleInfo.
#pragma once

#include "guest_word.h"
#include "trevik.h"

// Guest state while a chunk runs. The body may cache values in host
// registers within a block; at every block boundary (and before anything
// that can fault or leave) the frame holds the truth.
//
// EIP is kept in the module's own numbering (eip_rel = EIP - fixup,
// modulo 2^32, for any address, in the module or not): each block edge
// stores it as one constant, where a guest address would be a sum with
// the fixup, which the chunk seldom keeps in a host register. frame_eip
// and frame_set_eip convert.
struct ChunkFrame {
  u32 eax, ebx, ecx, edx, esi, edi, esp, ebp, eip_rel;
  u32 cf;  // 0 or 1
  u32 of;  // 0 or 1
  i32 sf;  // bit 31 is SF
  u32 zf;  // 0 exactly when ZF is set
  u32 pf;  // low byte decides PF (even number of 1 bits: PF set)
  i32 df;  // string step: +1, or -1 when DF is set
  u32 fixup;
  Env* env;
  ModuleInfo* mi;
  // The guest call the innermost host call of a chunk stands for: a RET at
  // ret_esp that pops the return address ret_rel (module numbering, as
  // eip_rel) returns to the host caller; ESP above ret_esp means the guest
  // left that call some other way.
  u32 ret_rel;
  u32 ret_esp;
  // Host calls between chunks stop nesting below this host stack address.
  uintptr_t host_floor;
  // The module's entry table (g_chunk_entries and its shift), here so that
  // chunks reach it without the PIC register.
  const struct ChunkEntry* entries;
  u32 entry_shift;
  // Set when a fault is passed on from a call outside the module: the
  // callee's run has offered it to the guest already (chunk_call_foreign).
  u32 pass_on;
};

// A chunk body runs guest code from the frame's EIP until it must leave.
// It returns true when it left because its look-up found no block there.
typedef bool (*ChunkBody)(ChunkFrame* F);

// A chunk entered at one of its entries (`slot`), or at the frame's EIP with
// kSlotByEip. Returns how it stopped (ChunkStop); the frame holds the
// guest state either way.
typedef int (*ChunkEntryBody)(ChunkFrame* F, u32 slot);
enum ChunkStop : int {
  kChunkLeft = 0,      // for the dispatcher (or the host caller's look-up) at the frame's EIP
  kChunkMissed = 1,    // the frame's EIP lies in the chunk but is no entry of it
  kChunkReturned = 2,  // the RET of the host call's guest call
};
constexpr u32 kSlotByEip = 0xFFFFFFFFu;

// Entry addresses (module numbering) to their chunk and slot, hashed with
// open addressing; address 0 marks a free place.
struct ChunkEntry {
  u32 address;
  u32 slot;
  u32 chunk;  // the chunk's place in g_chunk_routes
  ChunkEntryBody body;
};

struct ChunkRoute {
  u32 start;  // guest address in the module's own numbering
  u32 end;    // first address after the range
  ChunkBody body;
};

extern ModuleInfo g_module_info;
extern const ChunkRoute g_chunk_routes[];
extern const u32 g_chunk_route_count;
extern const char g_module_stem[];
extern const ChunkEntry g_chunk_entries[];
extern const u32 g_chunk_entry_shift;

// A one-block loop that keeps its walking pointer out of the frame: the
// only access of the block that can fault reads or writes the byte at
// base + disp (+ the fixup when `relocated`), so an access violation there
// tells the base register. Ascending by eip_rel; modules the translator
// did not write may have none.
struct FaultBase {
  u32 eip_rel;  // the block's start, module numbering
  u32 disp;
  uint8_t reg;  // frame slot: eax, ebx, ecx, edx, esi, edi
  uint8_t relocated;
};
static_assert(sizeof(FaultBase) == 12, "generated tables are written for this layout");
extern const FaultBase g_fault_bases[] __attribute__((weak));
extern const u32 g_fault_base_count __attribute__((weak));

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

// Chunk entry bodies are called only from inside their module.
#define XCHUNK __attribute__((visibility("hidden")))

// Every register and flag of a chunk's locals from the frame, after a host
// call (the frame holds the truth then).
#define X_RELOAD()                                                                                      \
  do {                                                                                                  \
    eax = F->eax, ebx = F->ebx, ecx = F->ecx, edx = F->edx, esi = F->esi, edi = F->edi, esp = F->esp; \
    ebp = F->ebp, eip = F->eip_rel + fx, fl = XFlags{F->cf, F->of, F->sf, F->zf, F->pf}, df = F->df;  \
  } while (0)

// The frame's EIP as a guest address, and set from one.
static inline u32 frame_eip(const ChunkFrame* F) { return F->eip_rel + F->fixup; }
static inline void frame_set_eip(ChunkFrame* F, u32 eip) { F->eip_rel = eip - F->fixup; }

// The chunk and slot of an entry address (module numbering), or null.
static inline const ChunkEntry* chunk_entry(const ChunkFrame* F, u32 address) {
  const u32 mask = 0xFFFFFFFFu >> F->entry_shift;
  for (u32 i = (address * 0x9E3779B1u) >> F->entry_shift;; i = (i + 1) & mask) {
    const ChunkEntry* e = &F->entries[i];
    if (e->address == address) return e;
    if (e->address == 0) return nullptr;
  }
}

// Whether the host stack has room for one more host call between chunks.
static inline __attribute__((always_inline)) bool chunk_room(const ChunkFrame* F) {
  char here;
  return reinterpret_cast<uintptr_t>(&here) > F->host_floor;
}

// A guest CALL as a host call: `body` runs from `slot` until the guest
// call returns (kChunkReturned) or control goes elsewhere. -1 when the host
// stack has no room; the caller then takes the general path. `ret_rel` is
// the return address in the module's numbering.
static inline __attribute__((always_inline)) int chunk_call(ChunkFrame* F, ChunkEntryBody body, u32 slot,
                                                            u32 ret_rel, u32 esp) {
  if (!chunk_room(F)) return -1;
  const u32 outer_rel = F->ret_rel, outer_esp = F->ret_esp;
  F->ret_rel = ret_rel;
  F->ret_esp = esp;
  const int stop = body(F, slot);
  F->ret_rel = outer_rel;
  F->ret_esp = outer_esp;
  return stop;
}

// A guest call of an address outside this module (an import, another
// module's export, a pointer the program got elsewhere) made while the
// chunk waits, as the dispatcher would make it: the frame (EIP the target,
// the return address pushed) goes to the Env, HandleDefault runs the call,
// and the frame comes back with wherever the callee went. A fault the
// callee's run left unhandled goes on past this chunk's guard, as it did
// when the chunk left for the dispatcher first.
void chunk_call_foreign(ChunkFrame* F);

// A transfer to another chunk that keeps the current guest call: the
// other chunk's RET to it returns to the same host caller.
static inline __attribute__((always_inline)) int chunk_jump(ChunkFrame* F, ChunkEntryBody body, u32 slot) {
  if (!chunk_room(F)) return kChunkLeft;
  return body(F, slot);
}

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
