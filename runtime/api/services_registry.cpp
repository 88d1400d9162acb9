// The registry: RegCloseKey on the platform, the ANSI functions through
// Zentrix, and RegCreateKeyA built from RegCreateKeyExW.
#include "handler.h"
#include "wce/locale.h"
#include "wce/registry.h"
#include "zentrix.h"

namespace {

// Subkey names are converted into a buffer of 1,000 wide characters; a
// name that does not fit with its terminator is refused as invalid rather
// than handed on unterminated.
constexpr size_t kSubKeyRoom = 1000;

void reg_create_key_a(Env* env) {
  HKEY key = arg_as<HKEY>(env, 1);
  const char* sub = arg_as<const char*>(env, 2);
  PHKEY result = arg_as<PHKEY>(env, 3);
  WCHAR wide[kSubKeyRoom];
  LONG status;
  if (sub && ce_mbstowcs(nullptr, sub, 0) >= kSubKeyRoom) {
    status = ERROR_INVALID_NAME;
  } else {
    // A null subkey opens hKey itself, as in Win32.
    if (sub) ce_mbstowcs(wide, sub, kSubKeyRoom);
    status = RegCreateKeyExW(key, sub ? wide : nullptr, 0, nullptr, 0, 0, nullptr, result, nullptr);
  }
  guest_return_value(env, static_cast<u32>(status), 3);
}

}  // namespace

using services::pass_through;

extern const ApiEntry kRegistryApis[] = {
    {"RegCloseKey", pass_through<RegCloseKey>},
    {"RegCreateKeyA", reg_create_key_a},
    {"RegOpenKeyExA", pass_through<RegOpenKeyExA>},
    {"RegQueryValueExA", pass_through<RegQueryValueExA>},
    {"RegSetValueExA", pass_through<RegSetValueExA>},
    {nullptr, nullptr},
};
