// Pass-through handlers: the guest's n arguments become the callee's n
// arguments, in order, and the callee's result is EAX. The argument count
// comes from the callee's own signature.
#pragma once

#include <cstddef>
#include <utility>

#include "handler.h"

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
