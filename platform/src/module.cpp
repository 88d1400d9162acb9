// Module loading: LoadLibraryW and friends over the host's dynamic loader.
// A bare name is looked for next to the program, then in the device root;
// file names are matched without regard to case.
#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "loaded_modules.h"
#include "paths.h"
#include "wce/device.h"
#include "wce/kernel.h"
#include "wce/wstr.h"

static bool is_file(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

static std::string file_name_of(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The host file for a module name, or "" when there is none.
static std::string find_module_file(const std::string& name) {
  if (name.find_first_of("\\/") != std::string::npos) {
    std::string path = device_host_path8(name.c_str());
    return is_file(path) ? path : std::string();
  }
  for (const std::string& dir : {device_program_dir(), device_root()}) {
    std::string candidate = dir + "/" + match_component(dir, name);
    if (is_file(candidate)) return candidate;
  }
  return std::string();
}

extern "C" HMODULE LoadLibraryW(LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string path = find_module_file(wstr_to_utf8(name));
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  void* dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl) {
    fprintf(stderr, "device: cannot load %s: %s\n", path.c_str(), dlerror());
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  // The handle is the image's base, as on Windows.
  link_map* map = nullptr;
  if (dlinfo(dl, RTLD_DI_LINKMAP, &map) == 0 && map) {
    for (const LoadedModule& m : loaded_modules())
      if (m.host_path == map->l_name) return m.handle;
  }
  SetLastError(ERROR_BAD_EXE_FORMAT);
  return nullptr;
}

// The loader's handle for a module handle, without loading anything.
static void* dl_handle_of(HMODULE module) {
  if (!module) return dlopen(nullptr, RTLD_NOW);
  LoadedModule m;
  if (!loaded_module_by_handle(module, &m)) return nullptr;
  if (m.handle == loaded_modules().front().handle) return dlopen(nullptr, RTLD_NOW);
  void* dl = dlopen(m.host_path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (dl) dlclose(dl);  // the module stays loaded; only our reference goes
  return dl;
}

extern "C" void* GetProcAddressA(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<uintptr_t>(name) < 0x10000) {
    SetLastError(ERROR_PROC_NOT_FOUND);  // host modules export by name only
    return nullptr;
  }
  void* dl = dl_handle_of(module);
  if (!dl) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* address = dlsym(dl, name);
  if (!address) SetLastError(ERROR_PROC_NOT_FOUND);
  return address;
}

extern "C" void* GetProcAddressW(HMODULE module, LPCWSTR name) {
  if (reinterpret_cast<uintptr_t>(name) < 0x10000)
    return GetProcAddressA(module, reinterpret_cast<LPCSTR>(name));
  return GetProcAddressA(module, wstr_to_utf8(name).c_str());
}

extern "C" HMODULE GetModuleHandleW(LPCWSTR name) {
  std::vector<LoadedModule> modules = loaded_modules();
  if (!name) return modules.front().handle;
  std::string wanted = file_name_of(wstr_to_utf8(name));
  bool bare = wanted.find('.') == std::string::npos;
  for (const LoadedModule& m : modules) {
    std::string file = file_name_of(m.host_path);
    if (strcasecmp(file.c_str(), wanted.c_str()) == 0 ||
        (bare && strcasecmp(file.c_str(), (wanted + ".dll").c_str()) == 0))
      return m.handle;
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  std::vector<LoadedModule> modules = loaded_modules();
  const LoadedModule* found = module ? nullptr : &modules.front();
  for (const LoadedModule& m : modules)
    if (m.handle == module) found = &m;
  if (!found) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  std::u16string path = device_path_of(found->host_path);
  if (size <= path.size()) SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return static_cast<DWORD>(wstr_copy_n(buffer, size, path));
}
