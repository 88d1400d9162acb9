// 8-bit string functions and the two formatters. wsprintfA and wsprintfW
// are cdecl with variable arguments: the guest's pushed arguments after
// the format are the argument list as they lie on the guest stack, only
// the return address is removed, and the output stops at 1,024
// characters, terminator included, as in Win32.
#include "handler.h"
#include "wce/locale.h"
#include "zentrix.h"

namespace {

const void* guest_arg_list(const Env* env) {
  return reinterpret_cast<const void*>(static_cast<uintptr_t>(env->ESP + 12));
}

void wsprintf_a(Env* env) {
  int n = wvsprintfA(arg_as<LPSTR>(env, 1), arg_as<LPCSTR>(env, 2), guest_arg_list(env));
  guest_return_value(env, static_cast<u32>(n), 0);
}

void wsprintf_w(Env* env) {
  int n = wvsprintfW(arg_as<LPWSTR>(env, 1), arg_as<LPCWSTR>(env, 2), guest_arg_list(env));
  guest_return_value(env, static_cast<u32>(n), 0);
}

}  // namespace

using services::pass_through;

extern const ApiEntry kStringApis[] = {
    {"lstrcatA", pass_through<lstrcatA>},
    {"lstrcpyA", pass_through<lstrcpyA>},
    {"lstrlenA", pass_through<lstrlenA>},
    {"wsprintfA", wsprintf_a},
    {"wsprintfW", wsprintf_w},
    {nullptr, nullptr},
};
