// The frame every native module shares. A native module is a host library
// that stands in for a guest DLL: it registers a descriptor whose range is
// its own image and whose exports are native handlers, so that the guest
// binds and calls them like any guest export. Each module defines its name
// and its export table; the frame supplies the library entry, EntryPoint,
// GetModuleInfo, the guest-visible DLL entry and the dispatcher.
#pragma once

#include "guest_args.h"
#include "trevik.h"

// Defined by each module: the guest DLL's base name in upper case, and the
// exports (Name: a pointer to the 8-bit name, or an ordinal below 0x10000;
// Address: the handler's plain native address), ended by a zero Name.
extern const char g_native_name[];
extern ExportEntry g_native_exports[];

// The module's descriptor (Base, Len and Entry are valid from the library
// entry on).
extern ModuleInfo g_native_module;

// An export row for a handler.
#define NATIVE_EXPORT(name, handler) \
  { static_cast<u32>(reinterpret_cast<uintptr_t>(name)), static_cast<u32>(reinterpret_cast<uintptr_t>(handler)) }
