// The guest calling convention of native handlers, shared by the runtime's
// API handlers and the native modules: arguments at ESP + 4k read byte by
// byte, the result in EAX, and the stdcall return that pops the return
// address and the arguments. Pass-through handlers hand the guest's n
// arguments, in order, to a callee with n parameters (the count comes from
// the callee's own signature) and give its result as EAX.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

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

namespace services {

template <typename T>
u32 as_word(T value) {
  if constexpr (std::is_pointer_v<T>)
    return static_cast<u32>(reinterpret_cast<uintptr_t>(value));
  else
    return static_cast<u32>(value);
}

template <typename R, typename... A, size_t... I>
u32 call_with_guest_args(R (*fn)(A...), const Env* env, std::index_sequence<I...>) {
  (void)env;  // unread when the callee takes no arguments
  return as_word(fn(arg_as<A>(env, I + 1)...));
}

template <typename R, typename... A>
constexpr u32 arity(R (*)(A...)) {
  return sizeof...(A);
}

template <auto Fn>
void pass_through(Env* env) {
  constexpr u32 n = arity(Fn);
  u32 result = call_with_guest_args(Fn, env, std::make_index_sequence<n>());
  guest_return_value(env, result, n);
}

}  // namespace services
