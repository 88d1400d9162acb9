// The runtime's exported interface and the fixed formats shared with every
// .em module: the guest register record, the module descriptor and its
// tables, and the guest thread block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "wce/types.h"

typedef uint32_t u32;
typedef int32_t i32;

// Guest return address that ends a dispatcher run.
#define RETURN_SENTINEL 0xC0DEBAD0u
// Bit 31 of a guest address tags a native handler.
#define NATIVE_TAG 0x80000000u

// The guest's x86 registers. Generated code addresses the fields by offset.
struct Env {
  u32 EAX, EBX, ECX, EDX, ESI, EDI, ESP, EBP, EIP, EFLAGS;
};
static_assert(sizeof(Env) == 40, "Env is ten words");
static_assert(offsetof(Env, EAX) == 0 && offsetof(Env, EBX) == 4 && offsetof(Env, ECX) == 8 &&
                  offsetof(Env, EDX) == 12 && offsetof(Env, ESI) == 16 && offsetof(Env, EDI) == 20 &&
                  offsetof(Env, ESP) == 24 && offsetof(Env, EBP) == 28 && offsetof(Env, EIP) == 32 &&
                  offsetof(Env, EFLAGS) == 36,
              "Env offsets are fixed");

// EFLAGS bits the guest state carries.
constexpr u32 FLAG_CF = 0x1;
constexpr u32 FLAG_PF = 0x4;
constexpr u32 FLAG_ZF = 0x40;
constexpr u32 FLAG_SF = 0x80;
constexpr u32 FLAG_DF = 0x400;
constexpr u32 FLAG_OF = 0x800;

struct ModuleInfo;
typedef int (*DispatchFn)(Env* env, ModuleInfo* mi);
// A native function run for the guest: reads its arguments from the guest
// stack, leaves its result in EAX and returns to the guest (stdcall).
typedef void (*NativeHandler)(Env* env);

struct ImportDesc {
  const char* DllName;  // guest DLL name as imported, 0 ends the array
  const u32* Names;     // zero-terminated: ordinal (< 0x10000) or pointer to an 8-bit name
  u32 Iat;              // RVA of the first import slot
};
static_assert(sizeof(ImportDesc) == 12, "ImportDesc is three words");

struct ExportEntry {
  u32 Name;     // ordinal (< 0x10000) or pointer to an 8-bit name; 0 ends the array
  u32 Address;  // guest address at the module's current placement
};
static_assert(sizeof(ExportEntry) == 8, "ExportEntry is two words");

struct SectionInit {
  u32 Rva;  // 0 ends the array
  u32 ZeroLen;
  u32 CopyLen;
  const uint8_t* Source;
};
static_assert(sizeof(SectionInit) == 16, "SectionInit is four words");

struct ModuleInfo {
  u32 Base;
  u32 Entry;
  u32 Fixup;
  u32 Len;
  const char* Name;
  const ImportDesc* Imports;
  ExportEntry* Exports;
  const u32* Relocs;
  const SectionInit* Sections;
  DispatchFn Dispatch;
  HMODULE Handle;
};
static_assert(sizeof(ModuleInfo) == 44, "ModuleInfo is eleven words");
static_assert(offsetof(ModuleInfo, Name) == 0x10 && offsetof(ModuleInfo, Imports) == 0x14 &&
                  offsetof(ModuleInfo, Exports) == 0x18 && offsetof(ModuleInfo, Relocs) == 0x1C &&
                  offsetof(ModuleInfo, Sections) == 0x20 && offsetof(ModuleInfo, Dispatch) == 0x24 &&
                  offsetof(ModuleInfo, Handle) == 0x28,
              "ModuleInfo offsets are fixed");

// The guest thread information block behind FS.
enum : u32 {
  TIB_SIZE = 4096,
  TIB_EXCEPTION_LIST = 0x00,
  TIB_STACK_BASE = 0x04,
  TIB_STACK_LIMIT = 0x08,
  TIB_SELF = 0x18,
  TIB_TLS_POINTER = 0x2C,
  TIB_TLS_SLOTS = 0x44,
  TIB_TLS_DATA = 0xD90,
  // The terminating exception registration record lives in the unused
  // space between the fixed fields and the TLS slot array.
  TIB_END_RECORD = 0x30,
};
struct GuestTib {
  uint8_t bytes[TIB_SIZE];
};
static_assert(sizeof(GuestTib) == 4096, "GuestTib is one page");
static_assert(TIB_END_RECORD + 8 <= TIB_TLS_SLOTS, "end record clear of the TLS array");

#define MODULE_TABLE_SIZE 256
struct ModuleTableT {
  ModuleInfo* Slots[MODULE_TABLE_SIZE];
  u32 Count;
};

// Everything declared below is exported by the runtime.
#pragma GCC visibility push(default)
extern "C" {
// Module descriptor and registry.
int InitModule(ModuleInfo* mi, HMODULE handle, int native);
ModuleInfo* FindModule(u32 address);
ModuleInfo* FindModuleByNameA(const char* name);
u32 GetModuleBaseAddress(HMODULE handle);
u32 GetModuleSize(HMODULE handle);
extern ModuleTableT ModuleTable;

// Guest environment.
int InitEnv(Env* env, ModuleInfo* mi);
GuestTib* FS_Base(void);

// Import binding.
void BindImports(ModuleInfo* mi);

// Control transfer and faults.
int HandleDefault(Env* env, ModuleInfo* caller);
[[noreturn]] void HandleInvalidAddress(Env* env, ModuleInfo* mi);
void HandleException(Env* env, EXCEPTION_POINTERS* info);
int Used(const char* text, ...);

// Log.
int log_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int log_puts(const char* text);

// x87 and MMX emulation.
int Emu87(Env* env);
int EmuMMX(Env* env);
}
#pragma GCC visibility pop
