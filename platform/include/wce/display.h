// The display's mode: orientation changes through ChangeDisplaySettingsEx.
#pragma once

#include "wce/types.h"

// The Windows CE DEVMODEW (192 bytes). Only the fields the system uses
// are named; the rest keep their places.
struct DEVMODEW {
  WCHAR dmDeviceName[32];
  WORD dmSpecVersion;
  WORD dmDriverVersion;
  WORD dmSize;
  WORD dmDriverExtra;
  DWORD dmFields;
  uint8_t dmPrinterFields[92];  // orientation .. log pixels
  DWORD dmBitsPerPel;
  DWORD dmPelsWidth;
  DWORD dmPelsHeight;
  DWORD dmDisplayFlags;
  DWORD dmDisplayFrequency;
  DWORD dmDisplayOrientation;
};
static_assert(sizeof(DEVMODEW) == 192, "DEVMODEW is 192 bytes");
static_assert(__builtin_offsetof(DEVMODEW, dmSize) == 68, "dmSize");
static_assert(__builtin_offsetof(DEVMODEW, dmFields) == 72, "dmFields");
static_assert(__builtin_offsetof(DEVMODEW, dmPelsWidth) == 172, "dmPelsWidth");
static_assert(__builtin_offsetof(DEVMODEW, dmDisplayOrientation) == 188, "dmDisplayOrientation");

enum : DWORD {
  DM_BITSPERPEL = 0x00040000,
  DM_PELSWIDTH = 0x00080000,
  DM_PELSHEIGHT = 0x00100000,
  DM_DISPLAYORIENTATION = 0x00800000,
  DM_DISPLAYQUERYORIENTATION = 0x01000000,
  DMDO_0 = 0,
  DMDO_90 = 1,
  DMDO_180 = 2,
  DMDO_270 = 4,
  CDS_TEST = 0x00000002,
};

enum : LONG {
  DISP_CHANGE_SUCCESSFUL = 0,
  DISP_CHANGE_FAILED = -1,
  DISP_CHANGE_BADMODE = -2,
  DISP_CHANGE_BADPARAM = -5,
};

extern "C" {
// With CDS_TEST, reports the current orientation in dmDisplayOrientation
// (dmFields must ask for it); otherwise turns the display. DMDO_90 and
// DMDO_270 make the screen landscape (width and height exchanged),
// DMDO_0 and DMDO_180 portrait. The screen is cleared when its shape
// changes; windows keep their rectangles.
LONG ChangeDisplaySettingsEx(LPCWSTR device, DEVMODEW* mode, HWND window, DWORD flags, LPVOID param);
// The current orientation (DMDO_*).
DWORD device_display_orientation(void);
}
