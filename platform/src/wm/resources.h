// Resources of a module image in memory: the Win32 resource directory of
// the image at a module handle (MZ and PE headers, resource data directory).
#pragma once

#include <cstddef>

#include "wce/window.h"

struct ResourceData {
  const void* data;
  size_t size;
};

enum : uintptr_t { RT_CURSOR = 1, RT_ICON = 3, RT_MENU = 4, RT_STRING = 6, RT_GROUP_CURSOR = 12, RT_GROUP_ICON = 14 };

// Finds a resource of `type` named `name` (an ordinal below 0x10000 or a
// string, compared without regard to case), any language. False with the
// last error set when the module has no such resource.
bool resource_find(HINSTANCE module, uintptr_t type, LPCWSTR name, ResourceData* found);
