// What the device knows about the host modules in the process: the
// program and every shared object, with the base and size that Windows
// callers see as the module handle and image size.
#pragma once

#include <string>
#include <vector>

#include "wce/types.h"

struct LoadedModule {
  HMODULE handle;  // lowest address of the module's image
  uint32_t size;   // bytes from the handle to the end of the last segment
  std::string host_path;
};

// Every module currently in the process, the program first.
std::vector<LoadedModule> loaded_modules();
bool loaded_module_by_handle(HMODULE handle, LoadedModule* out);
