#include "convert.h"

#include <cstdlib>
#include <cstring>

#include "wce/kernel.h"

namespace {

bool is_string(const void* p) { return reinterpret_cast<uintptr_t>(p) >= 0x10000; }

DWORD effective_count(int count) { return count == -1 ? 0x8000u : static_cast<DWORD>(count); }

}  // namespace

void out_of_memory() { SetLastError(ERROR_NOT_ENOUGH_MEMORY); }

WideArg wide_arg(LPCSTR text) {
  if (!is_string(text)) return {reinterpret_cast<WCHAR*>(const_cast<char*>(text)), true};
  size_t n = strlen(text) + 1;
  WCHAR* wide = static_cast<WCHAR*>(malloc(2 * n));
  if (!wide) {
    out_of_memory();
    return {nullptr, false};
  }
  ce_mbstowcs(wide, text, n);
  return {wide, true};
}

void release(WideArg& arg) {
  if (reinterpret_cast<uintptr_t>(arg.wide) > 0x10000) free(arg.wide);
  arg.wide = nullptr;
}

bool out_own(AnsiOutBuffer* out, char* dest, int count) {
  *out = AnsiOutBuffer{nullptr, 0, nullptr, false};
  if (!dest) return true;
  DWORD n = effective_count(count);
  WCHAR* wide = n < 0x7FFFFFFF ? static_cast<WCHAR*>(calloc(size_t(n) + 1, 2)) : nullptr;
  if (!wide) {
    out_of_memory();
    return false;
  }
  *out = AnsiOutBuffer{wide, n, dest, true};
  return true;
}

void out_supplied(AnsiOutBuffer* out, WCHAR* wide, char* dest, int count) {
  *out = AnsiOutBuffer{nullptr, 0, nullptr, false};
  if (!dest) return;
  DWORD n = effective_count(count);
  memset(wide, 0, size_t(n) * 2);
  *out = AnsiOutBuffer{wide, n, dest, false};
}

void finish(AnsiOutBuffer& out) {
  if (out.dest) ce_wcstombs(out.dest, out.wide, out.count);
  if (out.wide && out.owned) free(out.wide);
  out = AnsiOutBuffer{nullptr, 0, nullptr, false};
}
