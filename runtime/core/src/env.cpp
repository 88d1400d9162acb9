// The guest environment: an Env ready to run a module from its entry point
// on a fresh guest stack, and the per-thread guest thread block behind FS.
#include <cstdlib>
#include <cstring>
#include <string>

#include "fatal.h"
#include "guest_word.h"
#include "trevik.h"
#include "wce/kernel.h"
#include "wce/locale.h"
#include "wce/wstr.h"

static DWORD g_tib_index = 0xFFFFFFFF;

static const u32 kStackSize = 0x100000;

extern "C" GuestTib* FS_Base(void) {
  if (g_tib_index == 0xFFFFFFFF) {
    g_tib_index = TlsAlloc();
    if (g_tib_index == TLS_OUT_OF_INDEXES) fatal_box("No thread-local storage for the guest thread block.");
  }
  // Guest code reaches FS between a failing call and its GetLastError; the
  // slot look-up must not clear the guest's error on the way.
  const DWORD last_error = GetLastError();
  void* existing = TlsGetValue(g_tib_index);
  SetLastError(last_error);
  if (existing) return static_cast<GuestTib*>(existing);
  GuestTib* tib = static_cast<GuestTib*>(calloc(1, sizeof(GuestTib)));
  if (!tib) fatal_box("Not enough memory for a guest thread block.");
  TlsSetValue(g_tib_index, tib);
  u32 base = guest_addr(tib);
  guest_write32(base + TIB_END_RECORD, 0xFFFFFFFF);
  guest_write32(base + TIB_END_RECORD + 4, RETURN_SENTINEL);
  guest_write32(base + TIB_EXCEPTION_LIST, base + TIB_END_RECORD);
  guest_write32(base + TIB_STACK_BASE, 0x08000000);
  guest_write32(base + TIB_STACK_LIMIT, 0x00100000);
  guest_write32(base + TIB_SELF, base);
  guest_write32(base + TIB_TLS_POINTER, base + TIB_TLS_SLOTS);
  guest_write32(base + TIB_TLS_SLOTS, base + TIB_TLS_DATA);
  return tib;
}

// The 8-bit form of the device's command line, in the device's code page,
// made anew on every call. The buffer holds one byte per wide character: a
// character that needs more in a multi-byte code page cuts the line there.
static char* command_line8() {
  const WCHAR* wide = GetCommandLineW();
  size_t length = wstr_len(wide);
  char* line = static_cast<char*>(malloc(length + 1));
  if (!line) fatal_box("Not enough memory for the command line.");
  size_t written = ce_wcstombs(line, wide, length + 1);
  line[written == static_cast<size_t>(-1) ? 0 : written < length ? written : length] = 0;
  return line;
}

extern "C" int InitEnv(Env* env, ModuleInfo* mi) {
  memset(env, 0, sizeof *env);
  env->EIP = mi->Base + mi->Entry;
  void* stack = VirtualAlloc(nullptr, kStackSize, MEM_COMMIT | MEM_RESERVE | MEM_TOP_DOWN, PAGE_READWRITE);
  if (!stack) fatal_box("Not enough memory for a guest stack.");
  u32 lowest = guest_addr(stack);
  u32 tib = guest_addr(FS_Base());
  guest_write32(tib + TIB_STACK_BASE, lowest + kStackSize);
  guest_write32(tib + TIB_STACK_LIMIT, lowest);
  env->ESP = lowest + 0xFFFE0;
  guest_write32(env->ESP, RETURN_SENTINEL);
  u32 cmdline = guest_addr(command_line8());
  guest_write32(env->ESP + 4, guest_addr(mi->Handle));
  if (ModuleTable.Count > 0 && ModuleTable.Slots[0] == mi) {
    guest_write32(env->ESP + 8, 0);
    guest_write32(env->ESP + 12, cmdline);
    guest_write32(env->ESP + 16, 1);
  } else {
    guest_write32(env->ESP + 8, 1);
    guest_write32(env->ESP + 12, 0);
  }
  return 1;
}
