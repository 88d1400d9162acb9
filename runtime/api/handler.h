// The guest calling convention for native handlers: arguments at ESP + 4k
// read byte by byte, the result in EAX, and the stdcall return that pops the
// return address and the arguments.
#pragma once

#include <type_traits>

#include "guest_word.h"
#include "trevik.h"

// The k-th 32-bit argument (k = 1, 2, ...).
static inline u32 arg(const Env* env, u32 k) { return guest_read32(env->ESP + 4 * k); }

template <typename T>
static inline T arg_as(const Env* env, u32 k) {
  if constexpr (std::is_pointer_v<T>)
    return reinterpret_cast<T>(static_cast<uintptr_t>(arg(env, k)));
  else
    return static_cast<T>(arg(env, k));
}

// Returns to the guest, removing `arg_count` arguments (stdcall).
static inline void guest_return(Env* env, u32 arg_count) {
  env->EIP = guest_read32(env->ESP);
  env->ESP += 4 + 4 * arg_count;
}

// Stores the result and returns to the guest.
static inline void guest_return_value(Env* env, u32 value, u32 arg_count) {
  env->EAX = value;
  guest_return(env, arg_count);
}

struct ApiEntry {
  const char* ApiName;
  NativeHandler Handler;
};

// Each family contributes its rows; the table is their concatenation in a
// fixed order, ended by a null row.
extern const ApiEntry kStubApis[];
// Serial ports, registry, code pages and locale, strings and formatting.
extern const ApiEntry kSerialApis[];
extern const ApiEntry kRegistryApis[];
extern const ApiEntry kLocaleApis[];
extern const ApiEntry kStringApis[];
