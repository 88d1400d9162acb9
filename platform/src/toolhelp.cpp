// Tool-help module snapshots: the list of host modules at the time of the
// snapshot, walked with Module32First / Module32Next.
#include <unistd.h>

#include <vector>

#include "handles.h"
#include "loaded_modules.h"
#include "wce/device.h"
#include "wce/kernel.h"
#include "wce/wstr.h"

namespace {

struct Snapshot {
  KObject header;
  std::vector<LoadedModule> modules;
  size_t next;
};

void destroy_snapshot(KObject* object) { delete reinterpret_cast<Snapshot*>(object); }
const KObjectOps kSnapshotOps = {destroy_snapshot, nullptr, nullptr};

BOOL fill(HANDLE handle, MODULEENTRY32* entry, bool first) {
  KObject* object = handle_get(handle, KOBJ_SNAPSHOT);
  if (!object) return FALSE;
  Snapshot* snap = reinterpret_cast<Snapshot*>(object);
  if (first) snap->next = 0;
  BOOL ok = FALSE;
  if (!entry || entry->dwSize < sizeof(MODULEENTRY32)) {
    SetLastError(ERROR_INVALID_PARAMETER);
  } else if (snap->next >= snap->modules.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
  } else {
    const LoadedModule& m = snap->modules[snap->next++];
    entry->th32ModuleID = static_cast<DWORD>(snap->next);
    entry->th32ProcessID = static_cast<DWORD>(getpid());
    entry->GlblcntUsage = entry->ProccntUsage = 1;
    entry->modBaseAddr = reinterpret_cast<BYTE*>(m.handle);
    entry->modBaseSize = m.size;
    entry->hModule = m.handle;
    std::u16string path = device_path_of(m.host_path);
    size_t slash = path.find_last_of(u'\\');
    wstr_copy_n(entry->szModule, 256, slash == std::u16string::npos ? path : path.substr(slash + 1));
    wstr_copy_n(entry->szExePath, MAX_PATH, path);
    entry->dwFlags = 0;
    ok = TRUE;
  }
  handle_release(object);
  return ok;
}

}  // namespace

extern "C" HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD process) {
  if (!(flags & TH32CS_SNAPMODULE) || (process != 0 && process != static_cast<DWORD>(getpid()))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  Snapshot* snap = new Snapshot{{KOBJ_SNAPSHOT, &kSnapshotOps, {1}}, loaded_modules(), 0};
  HANDLE handle = handle_insert(&snap->header);
  if (!handle) {
    delete snap;
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

extern "C" BOOL Module32First(HANDLE snapshot, MODULEENTRY32* entry) { return fill(snapshot, entry, true); }
extern "C" BOOL Module32Next(HANDLE snapshot, MODULEENTRY32* entry) { return fill(snapshot, entry, false); }
extern "C" BOOL CloseToolhelp32Snapshot(HANDLE snapshot) {
  KObject* object = handle_get(snapshot, KOBJ_SNAPSHOT);
  if (!object) return FALSE;
  handle_release(object);
  return CloseHandle(snapshot);
}
