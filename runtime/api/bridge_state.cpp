// The process-wide state of the callback bridges and the display restoration
// shared by the window bridge and ExitProcess.
#include <cstring>

#include "handler.h"

BridgeState g_bridge;

// The device's display and shell functions. Declared weak here, so that
// the runtime runs on a device that lacks them yet (the restoration is
// then skipped) and calls them as soon as the device has them.
extern "C" LONG ChangeDisplaySettingsEx(LPCWSTR device, void* devmode, HWND window, DWORD flags, LPVOID param)
    __attribute__((weak));
extern "C" BOOL SHFullScreen(HWND window, DWORD state) __attribute__((weak));

namespace {

// The Windows CE DEVMODEW, 192 bytes; only these fields are set.
constexpr u32 kDevModeSize = 192;
constexpr u32 kDmSize = 68;                // WORD
constexpr u32 kDmFields = 72;              // DWORD
constexpr u32 kDmDisplayOrientation = 188; // DWORD
constexpr u32 kDmDisplayOrientationFlag = 0x800000;
constexpr DWORD kShowTaskbarAndStartIcon = 0x11;  // SHFS_SHOWTASKBAR | SHFS_SHOWSTARTICON

}  // namespace

void RestoreDisplay(HWND window) {
  alignas(4) uint8_t devmode[kDevModeSize];
  memset(devmode, 0, sizeof devmode);
  const uint16_t size = kDevModeSize;
  const u32 fields = kDmDisplayOrientationFlag;
  const u32 orientation = g_bridge.SavedOrientation;
  memcpy(devmode + kDmSize, &size, sizeof size);
  memcpy(devmode + kDmFields, &fields, sizeof fields);
  memcpy(devmode + kDmDisplayOrientation, &orientation, sizeof orientation);
  if (ChangeDisplaySettingsEx) ChangeDisplaySettingsEx(nullptr, devmode, nullptr, 0, nullptr);
  if (SHFullScreen) SHFullScreen(window, kShowTaskbarAndStartIcon);
}
