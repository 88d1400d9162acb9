// Guest calls for handler tests: API names bound through a module's
// imports (as the guest gets them), and calls made the way translated code
// makes them.
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "guest_word.h"
#include "trevik.h"

// The import slot values (handler address | bit 31, or the bare tag) of a
// list of API names, bound once through the imports of a module
// registered at `base`, as imports from `dll`. A name below 0x10000 is an
// ordinal, looked up as "#<ordinal>".
class GuestApi {
 public:
  GuestApi(const char* module_name, u32 base, std::vector<const char*> names, const char* dll = "KERNEL32.dll");
  u32 operator()(const char* name);

 private:
  void bind();
  const char* module_name_;
  u32 base_;
  const char* dll_;
  std::vector<const char*> names_;
  std::vector<u32> words_;
  std::map<std::string, u32> slots_;
};

// Defined by each test program: the slot value of an API name it imports
// (usually through a GuestApi).
u32 api(const char* name);

// The return address every test call pushes.
constexpr u32 kReturnAddress = 0x00401234;

// One guest call on the calling thread: the arguments pushed right to left
// and the return address, on a guest stack at an odd address, with every
// register holding a marker; then HandleDefault on `target`.
struct GuestCall {
  alignas(4) uint8_t stack[512];
  Env before;
  Env env;

  GuestCall(u32 target, const std::vector<u32>& args);
  GuestCall(const char* name, const std::vector<u32>& args) : GuestCall(api(name), args) {}
  u32 eax() const { return env.EAX; }
  // How far ESP rose, in bytes and in words.
  u32 popped() const { return env.ESP - before.ESP; }
  u32 popped_words() const { return popped() / 4; }
  // Whether EBX, ECX, EDX, ESI, EDI, EBP and EFLAGS are as they were.
  bool others_kept() const;
};

// A guest call from inside guest code: pushes on `env`'s own stack, calls
// the API `name` through HandleDefault and checks its stdcall return.
// Returns EAX.
u32 guest_call(Env* env, const char* name, std::initializer_list<u32> args);

// The log as it stands.
std::string log_text();

// "Guest code" for bridge tests: a registered 64 KiB module named `name`
// whose Dispatch is `dispatch` (C routines run against the Env, told apart
// by EIP - Base). Returns its base.
u32 register_test_module(const char* name, DispatchFn dispatch, u32 handle);
