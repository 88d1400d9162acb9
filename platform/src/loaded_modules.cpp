#include "loaded_modules.h"

#include <link.h>
#include <unistd.h>

#include <climits>

static std::string program_path() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  buffer[n] = 0;
  return buffer;
}

static int collect(dl_phdr_info* info, size_t, void* data) {
  auto* list = static_cast<std::vector<LoadedModule>*>(data);
  uintptr_t low = UINTPTR_MAX, high = 0;
  for (int i = 0; i < info->dlpi_phnum; i++) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    uintptr_t start = info->dlpi_addr + ph.p_vaddr;
    uintptr_t end = start + ph.p_memsz;
    if (start < low) low = start;
    if (end > high) high = end;
  }
  if (low == UINTPTR_MAX) return 0;
  low &= ~uintptr_t(0xFFF);
  std::string name = info->dlpi_name ? info->dlpi_name : "";
  // The program itself comes first with an empty name; the kernel's vDSO
  // has no file and is not a module.
  if (name.empty()) {
    if (!list->empty()) return 0;
    name = program_path();
  }
  list->push_back({reinterpret_cast<HMODULE>(low), static_cast<uint32_t>(high - low), name});
  return 0;
}

std::vector<LoadedModule> loaded_modules() {
  std::vector<LoadedModule> list;
  dl_iterate_phdr(collect, &list);
  return list;
}

bool loaded_module_by_handle(HMODULE handle, LoadedModule* out) {
  for (const LoadedModule& m : loaded_modules()) {
    if (m.handle == handle) {
      *out = m;
      return true;
    }
  }
  return false;
}
