// Host faults in guest code, offered to the guest's own structured
// exception handlers: the search pass, then the unwinding pass.
#include <cstring>

#include "fatal.h"
#include "guest_word.h"
#include "trevik.h"

namespace {

// x86 CONTEXT: only Eip, Esp and Ebp are filled in.
struct GuestContext {
  uint8_t bytes[716];
};
static_assert(sizeof(GuestContext) == 716, "x86 CONTEXT size");
const u32 kContextEbp = 0xB4;
const u32 kContextEip = 0xB8;
const u32 kContextEsp = 0xC4;

const u32 kUnwindCode = 0xC0000027;
const u32 kUnwinding = 2;

struct Fault {
  u32 eip, esp, ebp;
};

// Calls the guest handler of record `frame` with a cdecl frame of five
// words: the sentinel, the exception record, the establisher frame and the
// CONTEXT twice. Returns the handler's EAX.
u32 call_guest_handler(Env* env, const EXCEPTION_RECORD* record, u32 frame, GuestContext* context) {
  u32 esp = env->ESP - 20;
  guest_write32(esp, RETURN_SENTINEL);
  guest_write32(esp + 4, guest_addr(record));
  guest_write32(esp + 8, frame);
  guest_write32(esp + 12, guest_addr(context));
  guest_write32(esp + 16, guest_addr(context));
  env->ESP = esp;
  env->EIP = guest_read32(frame + 4);
  HandleDefault(env, nullptr);
  env->ESP += 16;
  return env->EAX;
}

bool ends_chain(u32 record) {
  return record == 0 || record == 0xFFFFFFFF || guest_read32(record + 4) == RETURN_SENTINEL;
}

}  // namespace

extern "C" void HandleException(Env* env, EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* host = info->ExceptionRecord;
  log_printf("Unhandled exception %08X at address %08X\n", host->ExceptionCode,
             static_cast<u32>(reinterpret_cast<uintptr_t>(host->ExceptionAddress)));
  log_register_dump(env);

  const Fault fault = {env->EIP, env->ESP, env->EBP};
  u32 tib = guest_addr(FS_Base());
  u32 r = guest_read32(tib + TIB_EXCEPTION_LIST);
  if (r == 0) return;

  EXCEPTION_RECORD record;
  GuestContext context;
  // Search pass: the first handler that does not answer 0 ends it.
  for (;;) {
    if (ends_chain(r)) return;
    memset(&record, 0, sizeof record);
    record.ExceptionCode = host->ExceptionCode;
    record.ExceptionFlags = host->ExceptionFlags;
    record.ExceptionRecord = reinterpret_cast<EXCEPTION_RECORD*>(0xFFFFFFFF);
    record.ExceptionAddress = reinterpret_cast<void*>(static_cast<uintptr_t>(fault.eip));
    record.NumberParameters = host->NumberParameters;
    memcpy(record.ExceptionInformation, host->ExceptionInformation, sizeof record.ExceptionInformation);
    memset(&context, 0, sizeof context);
    u32 ctx = guest_addr(&context);
    guest_write32(ctx + kContextEip, fault.eip);
    guest_write32(ctx + kContextEsp, fault.esp);
    guest_write32(ctx + kContextEbp, fault.ebp);
    env->EIP = fault.eip;
    env->ESP = fault.esp;
    env->EBP = fault.ebp;
    if (call_guest_handler(env, &record, r, &context) != 0) break;
    r = guest_read32(r);
    if (r == 0) return;
  }

  // Unwinding pass: the handlers after the head, up to and including the
  // one that took the exception.
  u32 h = guest_read32(tib + TIB_EXCEPTION_LIST);
  if (h != r) {
    u32 called;
    do {
      log_puts("SEH: Unwinding...");
      memset(&record, 0, sizeof record);
      record.ExceptionCode = kUnwindCode;
      record.ExceptionFlags = kUnwinding;
      record.ExceptionRecord = reinterpret_cast<EXCEPTION_RECORD*>(0xFFFFFFFF);
      record.ExceptionAddress = reinterpret_cast<void*>(static_cast<uintptr_t>(fault.eip));
      h = guest_read32(h);
      called = h;
      call_guest_handler(env, &record, h, &context);
    } while (called != r && !ends_chain(h));
  }
  log_puts("Resuming exceptions not implemented");
  fatal_exit();
}
