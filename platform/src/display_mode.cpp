// The display's orientation. The panel is portrait; the game turns it to
// landscape while its window exists and puts it back when it ends.
#include <atomic>

#include "gdi/gdi.h"
#include "wce/display.h"
#include "wce/kernel.h"

namespace {
std::atomic<DWORD> g_orientation{DMDO_0};
}

extern "C" DWORD device_display_orientation(void) { return g_orientation.load(); }

extern "C" LONG ChangeDisplaySettingsEx(LPCWSTR device, DEVMODEW* mode, HWND, DWORD flags, LPVOID) {
  if (device || !mode || mode->dmSize < __builtin_offsetof(DEVMODEW, dmDisplayOrientation) + 4) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return DISP_CHANGE_BADPARAM;
  }
  if (flags & CDS_TEST) {
    if (mode->dmFields & DM_DISPLAYORIENTATION) mode->dmDisplayOrientation = g_orientation.load();
    return DISP_CHANGE_SUCCESSFUL;
  }
  if (!(mode->dmFields & DM_DISPLAYORIENTATION)) return DISP_CHANGE_SUCCESSFUL;
  DWORD o = mode->dmDisplayOrientation;
  if (o != DMDO_0 && o != DMDO_90 && o != DMDO_180 && o != DMDO_270) return DISP_CHANGE_BADMODE;
  g_orientation.store(o);
  gdi_screen_reshape();
  return DISP_CHANGE_SUCCESSFUL;
}
