// The orderly end of the process after a fatal condition: a modal error
// box without owner, then exit code 0xFFFFFFFF.
#pragma once

#include "trevik.h"

[[noreturn]] void fatal_box(const char* text);
[[noreturn]] void fatal_exit();
// The register dump of a fatal report, with the module-relative EIP line
// when a registered module contains EIP.
void log_register_dump(const Env* env);

static inline bool guest_addr_high(const void* p) { return reinterpret_cast<uintptr_t>(p) >= NATIVE_TAG; }
