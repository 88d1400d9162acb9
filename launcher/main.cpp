// TavrinW: finds the translated game module by its own file name, shows a
// loading notice while the module starts, and enters it.
#include "launcher.h"

typedef int (*EntryPointFn)(int);

static int error_box(const WCHAR* text, const WCHAR* caption) {
  MessageBoxW(nullptr, text, caption, MB_ICONERROR);
  return -1;
}

static int WINAPI launcher_main(HINSTANCE, HINSTANCE, LPWSTR, int) {
  WCHAR path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  WCHAR first[MAX_PATH], second[MAX_PATH];
  if (!module_candidates(path, first, second, MAX_PATH)) return error_box(path, u"Bad file name");

  CreateThread(nullptr, 0, notice_thread, nullptr, 0, nullptr);
  Sleep(500);

  const WCHAR* loaded = first;
  HMODULE module = LoadLibraryW(first);
  if (!module) {
    loaded = second;
    module = LoadLibraryW(second);
  }
  if (!module) return error_box(second, u"Cannot load module");

  EntryPointFn entry = reinterpret_cast<EntryPointFn>(GetProcAddressW(module, u"EntryPoint"));
  if (!entry) return error_box(loaded, u"EntryPoint not found");

  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  entry(0);
  TerminateProcess(GetCurrentProcess(), 0);
  MessageBoxW(nullptr, u"This should never happen", u"Exit", MB_ICONERROR);
  return 1;
}

int main(int argc, char** argv) { return device_run_program(argc, argv, launcher_main); }
