// The API table's rows and the families that fill it (the calling
// convention of their handlers is in guest_args.h).
#pragma once

#include "guest_args.h"
#include "wce/audio.h"

struct ApiEntry {
  const char* ApiName;
  NativeHandler Handler;
};

// Each family contributes its rows; the table is their concatenation in a
// fixed order, ended by a null row.
extern const ApiEntry kStubApis[];
// Serial ports, registry, code pages and locale, strings and formatting.
extern const ApiEntry kSerialApis[];
extern const ApiEntry kRegistryApis[];
extern const ApiEntry kLocaleApis[];
extern const ApiEntry kStringApis[];
// Kernel services: files and handles, memory, threads and
// synchronisation, process and environment, time and errors, modules.
extern const ApiEntry kKernelFileApis[];
extern const ApiEntry kKernelMemoryApis[];
extern const ApiEntry kKernelThreadApis[];
extern const ApiEntry kKernelProcessApis[];
extern const ApiEntry kKernelTimeApis[];
extern const ApiEntry kKernelModuleApis[];
// Multimedia: waveform output (the MIDI, mixer, auxiliary, timer and MCI
// functions are stubs).
extern const ApiEntry kMultimediaApis[];
// Graphics: device contexts, bitmaps, block transfers, DIBs, palettes.
extern const ApiEntry kGraphicsApis[];
// Timers: SetTimer (the guest's timer procedure bridged) and KillTimer.
extern const ApiEntry kTimerApis[];
// Windows, the message loop, message boxes, resources, focus, capture,
// painting, menus and input state passed to the device.
extern const ApiEntry kWindowApis[];
// RegisterClassA (the guest's window procedure bridged) and the window
// longs that refuse the procedures.
extern const ApiEntry kWindowClassApis[];
// Dialogs and the boxes shown in place of them.
extern const ApiEntry kDialogApis[];
// Menu item counts and identifiers, AdjustWindowRect, GetCursorPos.
extern const ApiEntry kMenuInputApis[];
// SHGetMalloc (a guest-callable allocator) and special folders.
extern const ApiEntry kShellApis[];

// Process-wide bridge state, all 0 at start, no locks.
struct BridgeState {
  u32 WndProcSlot;            // guest window procedure (RegisterClassA)
  u32 TimerProcSlot;          // guest timer procedure (first SetTimer with a callback)
  i32 LastPenPoint[2];        // screen x, y of the latest pen press or move
  u32 SavedOrientation;       // display orientation before the game's window turned it
  uint8_t RightButtonMode;    // 1 while a tap-and-hold plays as a right button
  uint8_t ScanCodeTable[256]; // scan code by virtual key, filled at first use
  u32 DlgProcSlot;            // guest dialog procedure, only while its box shows
};
extern BridgeState g_bridge;

// Puts the display back as the window bridge found it: the saved
// orientation (ChangeDisplaySettingsEx with the 192-byte DEVMODE), then
// the taskbar and Start icon shown again on `window` (SHFullScreen 0x11). Used at WM_DESTROY / WM_CLOSE and by ExitProcess.
void RestoreDisplay(HWND window);

// The window bridge: the window procedure of the guest's window class;
// runs the guest procedure in WndProcSlot (see bridge_window.cpp).
LRESULT WindowBridge(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The thread bridge: the platform's start routine for every
// guest thread; `start` is the heap ThreadStart record {guest start
// address, guest parameter}, freed when the guest routine has returned.
// Returns the guest's EAX as the thread's exit code.
DWORD ThreadBridge(LPVOID start);

// The wave bridge: the callback function of every wave device the guest
// opens with its own callback; `instance` is the device's WaveCallback.
struct WaveCallback {
  u32 GuestCallback;
  u32 GuestInstance;
  ModuleInfo* Module;  // the module holding GuestCallback, found at the first call
};
static_assert(sizeof(WaveCallback) == 12, "WaveCallback is three words");

// The timer bridge: the timer procedure the device calls for the guest's
// one callback timer; runs the guest procedure in TimerProcSlot.
void TimerBridge(HWND window, UINT message, UINT_PTR id, DWORD time);
void WaveBridge(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
