// The Pocket PC shell's stand-ins (full screen, activation, the held-pen
// gesture) and the shell's allocator and special folders.
#pragma once

#include "wce/types.h"

typedef LONG HRESULT;
enum : HRESULT {
  S_OK = 0,
  E_NOINTERFACE = static_cast<HRESULT>(0x80004002),
  E_FAIL = static_cast<HRESULT>(0x80004005),
  E_INVALIDARG = static_cast<HRESULT>(0x80070057),
  E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E),
};

// SHFullScreen states.
enum : DWORD {
  SHFS_SHOWTASKBAR = 0x0001,
  SHFS_HIDETASKBAR = 0x0002,
  SHFS_SHOWSIPBUTTON = 0x0004,
  SHFS_HIDESIPBUTTON = 0x0008,
  SHFS_SHOWSTARTICON = 0x0010,
  SHFS_HIDESTARTICON = 0x0020,
};

struct SHACTIVATEINFO {
  DWORD cbSize;
  HWND hwndLastFocus;
  DWORD flags;  // bit 0 fSipUp, bit 1 fSipOnDeactivation, bit 2 fActive
};
static_assert(sizeof(SHACTIVATEINFO) == 12, "SHACTIVATEINFO layout");
enum : DWORD { SAI_SIP_UP = 0x1, SAI_SIP_ON_DEACTIVATION = 0x2, SAI_ACTIVE = 0x4 };

struct SHRGINFO {
  DWORD cbSize;
  HWND hwndClient;
  POINT ptDown;
  DWORD dwFlags;
};
static_assert(sizeof(SHRGINFO) == 20, "SHRGINFO layout");
enum : DWORD {
  SHRG_RETURNCMD = 0x1,     // answer without notifying
  SHRG_NOTIFYPARENT = 0x2,  // notify the client's parent
  SHRG_LONGDELAY = 0x8,
  GN_CONTEXTMENU = 1000,
};

struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
struct NMRGINFO {
  NMHDR hdr;
  POINT ptAction;  // screen coordinates
  DWORD dwItemSpec;
};
static_assert(sizeof(NMRGINFO) == 24, "NMRGINFO layout");

// The shell's allocator: a COM object whose methods the device calls
// through this table (host code only).
struct IMalloc;
struct IMallocVtbl {
  HRESULT (*QueryInterface)(IMalloc* self, const void* iid, void** object);
  ULONG (*AddRef)(IMalloc* self);
  ULONG (*Release)(IMalloc* self);
  void* (*Alloc)(IMalloc* self, ULONG size);
  void* (*Realloc)(IMalloc* self, void* block, ULONG size);
  void (*Free)(IMalloc* self, void* block);
  ULONG (*GetSize)(IMalloc* self, void* block);
  int (*DidAlloc)(IMalloc* self, void* block);
  void (*HeapMinimize)(IMalloc* self);
};
struct IMalloc {
  const IMallocVtbl* lpVtbl;
};

// An item identifier list: items of a 16-bit size (counting itself) and
// their bytes, ended by a zero size. The device's lists hold one item,
// the folder's device path as a NUL-terminated wide string.
struct SHITEMID {
  WORD cb;
  BYTE abID[1];
};
typedef SHITEMID ITEMIDLIST;

enum : int {
  CSIDL_DESKTOP = 0x00,
  CSIDL_PROGRAMS = 0x02,
  CSIDL_PERSONAL = 0x05,
  CSIDL_FAVORITES = 0x06,
  CSIDL_STARTUP = 0x07,
  CSIDL_RECENT = 0x08,
  CSIDL_STARTMENU = 0x0B,
  CSIDL_DESKTOPDIRECTORY = 0x10,
  CSIDL_FONTS = 0x14,
  CSIDL_APPDATA = 0x1A,
  CSIDL_WINDOWS = 0x24,
  CSIDL_PROGRAM_FILES = 0x26,
};

extern "C" {
// Keeps the input panel's state across activation and reports in the
// record's SAI_ACTIVE whether `wParam` activates.
BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);
BOOL SHFullScreen(HWND window, DWORD state);
// Blocks while the pen is held still; when it has been held for the hold
// time (or the host's right button asked for it) sends WM_NOTIFY with an
// NMRGINFO of code GN_CONTEXTMENU and returns GN_CONTEXTMENU, otherwise 0.
DWORD SHRecognizeGesture(SHRGINFO* info);
// Prepares the shell's extra controls; the device has none to prepare.
BOOL SHInitExtraControls(void);
HRESULT SHGetMalloc(IMalloc** malloc);
// The folder's item id list, allocated through SHGetMalloc's allocator.
HRESULT SHGetSpecialFolderLocation(HWND window, int folder, ITEMIDLIST** list);

// What the shell shows: taskbar, input-panel button and Start icon
// (1 shown, 0 hidden), as the latest SHFullScreen left them.
struct DeviceShellState {
  int taskbar, sip_button, start_icon;
};
DeviceShellState device_shell_state(void);
// The hold time of the pen gesture in milliseconds, and how far the pen
// may wander while held (pixels).
unsigned device_gesture_hold_ms(void);
int device_gesture_tolerance(void);
}
