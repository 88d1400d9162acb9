// The process-wide FPU state, exceptions with their masking rule, the
// stack checks and the diagnostic trace.
#include "fpu_state.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

FpuState fpu_state = {
    FPU_CONTROL_DEFAULT,
    {{0, TAG_EMPTY, 0, 0, 0}, {0, TAG_EMPTY, 0, 0, 0}, {0, TAG_EMPTY, 0, 0, 0}, {0, TAG_EMPTY, 0, 0, 0},
     {0, TAG_EMPTY, 0, 0, 0}, {0, TAG_EMPTY, 0, 0, 0}, {0, TAG_EMPTY, 0, 0, 0}, {0, TAG_EMPTY, 0, 0, 0}},
    0,
    0,
};

// The same state under the name translated code passes to the direct
// entries (fpu_direct.h).
extern "C" __attribute__((visibility("default"), alias("fpu_state"))) FpuState X87_state;

thread_local FpuCall* fpu_current_call = nullptr;

static std::atomic<FpuTraceSink> trace_sink{nullptr};

extern "C" void fpu_set_trace(FpuTraceSink sink) { trace_sink.store(sink, std::memory_order_relaxed); }

void fpu_trace(const char* format, ...) {
  FpuTraceSink sink = trace_sink.load(std::memory_order_relaxed);
  if (!sink) return;
  char text[256];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  sink(text);
}

void fpu_reset(void) {
  fpu_state.control = FPU_CONTROL_DEFAULT;
  fpu_state.status = 0;
  fpu_state.top = 0;
  for (ExtValue& r : fpu_state.regs) r = {0, TAG_EMPTY, 0, 0, 0};
}

u32 fpu_rounding(void) { return fpu_state.control & RC_MASK; }

static const char* const tag_names[4] = {"Valid", "Zero", "Special", "Empty"};

void fpu_dump_state(void) {
  fpu_store_top();
  u32 sw = fpu_state.status;
  fpu_trace("  SW: 0x%04x  top=%d cc=%d%d%d%d    ", sw & 0xFFFF, (int)(fpu_state.top & 7), !!(sw & SW_C3),
            !!(sw & SW_C2), !!(sw & SW_C1), !!(sw & SW_C0));
  fpu_trace("CW: 0x%04x\r\n", fpu_state.control & 0xFFFF);
  for (u32 i = 0; i < 8; i++) {
    const ExtValue* r = fpu_st(i);
    char sign = r->sign ? '-' : '+';
    if (r->tag == TAG_EMPTY) continue;
    if (r->tag == TAG_ZERO) {
      fpu_trace("st(%d) %c .0000 0000 0000 0000         ", (int)i, sign);
    } else {
      fpu_trace("st(%d) %c .%04x %04x %04x %04x e%+-6d ", (int)i, sign, r->mant_hi >> 16, r->mant_hi & 0xFFFF,
                r->mant_lo >> 16, r->mant_lo & 0xFFFF, r->exponent - 0x3FFE);
    }
    fpu_trace("%s\r\n", tag_names[r->tag & 3]);
  }
}

static const struct {
  u32 code;
  const char* name;
} exception_names[] = {
    {FPU_EX_STACK_OVERFLOW, "stack overflow"}, {FPU_EX_STACK_UNDERFLOW, "stack underflow"},
    {FPU_EX_PRECISION, "loss of precision"},   {FPU_EX_UNDERFLOW, "underflow"},
    {FPU_EX_OVERFLOW, "overflow"},             {FPU_EX_ZERO_DIVIDE, "divide by zero"},
    {FPU_EX_DENORMAL, "denormalized operand"}, {FPU_EX_INVALID, "invalid operation"},
    {0, nullptr},
};

void fpu_raise(u32 code) {
  fpu_state.status |= code;
  if (code == FPU_EX_STACK_UNDERFLOW) fpu_state.status &= ~SW_C1;
  if ((code & ~fpu_state.control & 0x7F) == 0) return;
  const char* name = nullptr;
  for (int i = 0; exception_names[i].code; i++) {
    if (exception_names[i].code == code) {
      name = exception_names[i].name;
      break;
    }
  }
  if (name) fpu_trace("80387 Exception: %s!\r\n", name);
  else fpu_trace("80387 Exception: 0x%04x!\r\n", code);
  fpu_dump_state();
  FpuCall* call = fpu_current_call;
  // Outside an instruction (the arithmetic used directly) there is nothing
  // to abandon: the routine completes with the masked response.
  if (call && call->resumable) longjmp(call->resume, 1);
}

void fpu_stack_underflow(void) { fpu_raise(FPU_EX_STACK_UNDERFLOW); }

void fpu_stack_overflow(void) {
  fpu_raise(FPU_EX_STACK_OVERFLOW);
  fpu_state.top--;
  *fpu_st(0) = ext_indefinite;
}

bool fpu_address(FpuCall* call, u32* address) {
  if (fpu_is_register_form(call)) {
    fpu_trace("Attempt to get address from mod = 3\r\n");
    call->abandoned = true;
    return false;
  }
  *address = call->address;
  return true;
}

void fpu_unimplemented(FpuCall* call) {
  u32 reg = (call->modrm >> 3) & 7;
  fpu_trace("Unimplemented 80387 Opcode at eip=0x%08x : %02x", call->insn, call->opcode);
  if (!fpu_is_register_form(call)) fpu_trace(" /%d", (int)reg);
  else fpu_trace(" %02x", call->modrm);
  fpu_trace(" - e%d%d", (int)(call->opcode & 7), (int)reg);
  if (fpu_is_register_form(call)) fpu_trace(" s%d", (int)(call->modrm & 7));
  fpu_trace("\r\n");
  fpu_raise(FPU_EX_INVALID);
}
