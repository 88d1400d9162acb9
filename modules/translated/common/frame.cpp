// The translated module's attach, EntryPoint, GetModuleInfo, dispatcher
// and chunk runner.
#include "frame.h"

#include <dlfcn.h>

#include "wce/kernel.h"
#include "wce/seh.h"

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

HMODULE g_instance;

// Host stack that host calls between chunks may take below one chunk run.
// Threads have at least 1 MiB, guest stacks of bridges included.
constexpr uintptr_t kHostCallBudget = 128u << 10;

constexpr uint8_t parity_of(unsigned b) {
  unsigned bits = 0;
  for (; b; b >>= 1) bits += b & 1;
  return (bits & 1) ? 0 : 1;
}
struct ParityTable {
  uint8_t v[256];
  constexpr ParityTable() : v() {
    for (unsigned i = 0; i < 256; i++) v[i] = parity_of(i);
  }
};
constexpr ParityTable kParityTable;

__attribute__((constructor)) void module_attach() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&module_attach), &info)) g_instance = static_cast<HMODULE>(info.dli_fbase);
  u32 base = GetModuleBaseAddress(g_instance);
  u32 size = GetModuleSize(g_instance);
  log_printf("%s.em: %08X - %08X (%08X)\n", g_module_stem, base, base + size, size);
  if (g_instance == GetModuleHandleW(nullptr)) {
    MessageBoxW(nullptr, u"This file cannot be run directly.", u"Error", MB_ICONERROR);
    TerminateProcess(GetCurrentProcess(), 0xFFFFFFFF);
  }
}

const ChunkRoute* route_of(u32 address) {
  u32 low = 0, high = g_chunk_route_count;
  while (low < high) {
    u32 mid = (low + high) / 2;
    const ChunkRoute& r = g_chunk_routes[mid];
    if (address < r.start)
      high = mid;
    else if (address >= r.end)
      low = mid + 1;
    else
      return &r;
  }
  return nullptr;
}

}  // namespace

const uint8_t kParity[256] = {
#define P(i) kParityTable.v[i]
#define P8(i) P(i), P(i + 1), P(i + 2), P(i + 3), P(i + 4), P(i + 5), P(i + 6), P(i + 7)
#define P64(i) P8(i), P8(i + 8), P8(i + 16), P8(i + 24), P8(i + 32), P8(i + 40), P8(i + 48), P8(i + 56)
    P64(0), P64(64), P64(128), P64(192)
#undef P64
#undef P8
#undef P
};

void frame_load_flags(ChunkFrame* F, u32 eflags) {
  F->cf = eflags & FLAG_CF;
  F->of = (eflags & FLAG_OF) ? 1 : 0;
  F->sf = (eflags & FLAG_SF) ? -1 : 0;
  F->zf = (eflags & FLAG_ZF) ? 0 : 1;
  F->pf = (eflags & FLAG_PF) ? 0 : 1;
  F->df = (eflags & FLAG_DF) ? -1 : 1;
}

u32 frame_eflags(const ChunkFrame* F) {
  return (F->cf ? FLAG_CF : 0) | (F->of ? FLAG_OF : 0) | (F->sf < 0 ? FLAG_SF : 0) |
         (kParity[F->pf & 0xFF] ? FLAG_PF : 0) | (F->zf == 0 ? FLAG_ZF : 0) | (F->df < 0 ? FLAG_DF : 0);
}

static void frame_store(const ChunkFrame* F, Env* env) {
  env->EAX = F->eax;
  env->EBX = F->ebx;
  env->ECX = F->ecx;
  env->EDX = F->edx;
  env->ESI = F->esi;
  env->EDI = F->edi;
  env->ESP = F->esp;
  env->EBP = F->ebp;
  env->EIP = frame_eip(F);
  env->EFLAGS = frame_eflags(F);
}

static void frame_load(ChunkFrame* F, const Env* env) {
  F->eax = env->EAX;
  F->ebx = env->EBX;
  F->ecx = env->ECX;
  F->edx = env->EDX;
  F->esi = env->ESI;
  F->edi = env->EDI;
  F->esp = env->ESP;
  F->ebp = env->EBP;
  frame_set_eip(F, env->EIP);
  frame_load_flags(F, env->EFLAGS);
}

void chunk_call_foreign(ChunkFrame* F) {
  Env* env = F->env;
  frame_store(F, env);
  SehGuard guard;
  if (SEH_TRY(guard)) {
    HandleDefault(env, F->mi);
    seh_pop(&guard);
  } else {
    F->pass_on = 1;
    seh_raise(&guard.record);
  }
  frame_load(F, env);
}

// A fault in a one-block loop that keeps its pointer out of the frame:
// the faulting address gives that register its value at the block's start.
static void restore_fault_base(ChunkFrame* F, const EXCEPTION_RECORD* r) {
  if (&g_fault_base_count == nullptr || r->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || r->NumberParameters < 2)
    return;
  const FaultBase* lo = g_fault_bases;
  const FaultBase* hi = g_fault_bases + g_fault_base_count;
  while (lo < hi) {
    const FaultBase* mid = lo + (hi - lo) / 2;
    if (mid->eip_rel < F->eip_rel)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo == g_fault_bases + g_fault_base_count || lo->eip_rel != F->eip_rel) return;
  static u32 ChunkFrame::*const kSlot[] = {&ChunkFrame::eax, &ChunkFrame::ebx, &ChunkFrame::ecx,
                                           &ChunkFrame::edx, &ChunkFrame::esi, &ChunkFrame::edi};
  if (lo->reg >= sizeof kSlot / sizeof kSlot[0]) return;
  const u32 address = static_cast<u32>(r->ExceptionInformation[1]);
  F->*kSlot[lo->reg] = address - lo->disp - (lo->relocated ? F->fixup : 0);
}

int RunChunk(Env* env, ModuleInfo* mi, ChunkBody body, bool* missed) {
  ChunkFrame F;
  F.fixup = mi->Fixup;  // before the load: EIP is kept relative to it
  frame_load(&F, env);
  F.env = env;
  F.mi = mi;
  F.ret_rel = 0;
  F.ret_esp = 0xFFFFFFFFu;
  F.host_floor = reinterpret_cast<uintptr_t>(&F) - kHostCallBudget;
  F.pass_on = 0;
  SehGuard guard;
  if (SEH_TRY(guard)) {
    *missed = body(&F);
    seh_pop(&guard);
    frame_store(&F, env);
    return static_cast<int>(env->EAX);
  }
  *missed = false;
  if (F.pass_on) seh_raise(&guard.record);
  restore_fault_base(&F, &guard.record);
  frame_store(&F, env);
  HandleException(env, &guard.pointers);
  // No guest handler took the fault. Running the block again would only
  // fault again, so the exception goes on to the guard of whoever started
  // this guest run.
  seh_raise(&guard.record);
}

int ModuleDispatch(Env* env, ModuleInfo* mi) {
  const u32 start_esp = env->ESP;
  const u32 fixup = mi->Fixup;
  const u32 preferred_base = mi->Base - fixup;
  if (env->EIP == RETURN_SENTINEL) return static_cast<int>(env->EAX);
  for (;;) {
    if (env->ESP > start_esp) break;  // returned or unwound above this run
    const u32 address = env->EIP - fixup;
    if (const ChunkRoute* route = route_of(address)) {
      bool missed = false;
      RunChunk(env, mi, route->body, &missed);
      // A chunk continues every entry address of its own range itself; one
      // that gives back an address of its range has no block there.
      if (missed && env->EIP - fixup - route->start < route->end - route->start) HandleInvalidAddress(env, mi);
    } else if (address - preferred_base < mi->Len) {
      HandleInvalidAddress(env, mi);
    } else {
      HandleDefault(env, mi);
    }
    if (env->EIP == RETURN_SENTINEL) break;
  }
  return static_cast<int>(env->EAX);
}

MODULE_EXPORT ModuleInfo* GetModuleInfo(void) { return &g_module_info; }

MODULE_EXPORT int EntryPoint(int) {
  SehGuard guard;
  if (SEH_TRY(guard)) {
    InitModule(&g_module_info, g_instance, 0);
    Env env;
    InitEnv(&env, &g_module_info);
    int result = g_module_info.Dispatch(&env, &g_module_info);
    seh_pop(&guard);
    return result;
  }
  MessageBoxW(nullptr, u"Unhandled Exception", u"Exception", MB_OK);
  return 0;
}
