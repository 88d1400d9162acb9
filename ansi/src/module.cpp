// GetModuleFileNameA, GetModuleHandleA and GetCommandLineA.
#include "convert.h"
#include "wce/kernel.h"

namespace {

// Shared by every caller and rewritten on each call; byte 1,023 is never
// written, so the text is always terminated.
char g_command_line[1024];

}  // namespace

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  AnsiOutBuffer out;
  if (!out_own(&out, lpFilename, static_cast<int>(nSize))) return 0;
  DWORD result = GetModuleFileNameW(hModule, out.wide, lpFilename ? out.count : nSize);
  finish(out);
  return result;
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
  WideArg name = wide_arg(lpModuleName);
  HMODULE result = name.ok ? GetModuleHandleW(name.wide) : nullptr;
  release(name);
  return result;
}

LPSTR GetCommandLineA(void) {
  ce_wcstombs(g_command_line, GetCommandLineW(), sizeof g_command_line - 1);
  return g_command_line;
}
