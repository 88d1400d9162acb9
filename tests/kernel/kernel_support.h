// Helpers of the kernel handler tests: the tagged handler of any API name
// (bound through a module's imports, as the guest gets it), and a guest
// call made the way translated code makes it.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "guest_word.h"
#include "trevik.h"

// The import slot value (handler address | bit 31) of an API table name,
// or the bare tag when the table has no such name.
u32 api(const char* name);

// The return address every test call pushes.
constexpr u32 kReturnAddress = 0x00401234;

// One guest call on the calling thread: the arguments pushed right to
// left and the return address, on a guest stack at an odd address, with
// every register holding a marker; then HandleDefault on the slot.
struct GuestCall {
  alignas(4) uint8_t stack[512];
  Env before;
  Env env;

  GuestCall(const char* name, std::initializer_list<u32> args);
  u32 eax() const { return env.EAX; }
  // ESP after the call, counted in words above ESP before it.
  u32 popped_words() const { return (env.ESP - before.ESP) / 4; }
  // Whether EBX, ECX, EDX, ESI, EDI, EBP and EFLAGS are as they were.
  bool others_kept() const;
};

// A guest call from inside guest code: pushes on `env`'s own stack, calls
// the handler through HandleDefault and checks the return. Returns EAX.
u32 guest_call(Env* env, const char* name, std::initializer_list<u32> args);

// The log as it stands.
std::string log_text();

template <typename T>
u32 word(T* pointer) {
  return guest_addr(pointer);
}
