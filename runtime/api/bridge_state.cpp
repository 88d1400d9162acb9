// The process-wide state of the callback bridges and the display restoration
// shared by the window bridge and ExitProcess.
#include <cstring>

#include "handler.h"
#include "wce/display.h"
#include "wce/shell.h"

BridgeState g_bridge;

void RestoreDisplay(HWND window) {
  DEVMODEW mode;
  memset(&mode, 0, sizeof mode);
  mode.dmSize = sizeof mode;
  mode.dmFields = DM_DISPLAYORIENTATION;
  mode.dmDisplayOrientation = g_bridge.SavedOrientation;
  ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr);
  SHFullScreen(window, SHFS_SHOWTASKBAR | SHFS_SHOWSTARTICON);
}
