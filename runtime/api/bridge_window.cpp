// The window bridge: the window procedure of the guest's window class. It
// runs the guest procedure in WndProcSlot in an Env and a 4,096-byte guest
// stack area of its own frame, and on the way turns the display to
// landscape and full screen for the game, adds the desktop messages the
// device does not send (WM_ACTIVATEAPP, a mouse move before each press,
// the right button made from a held pen) and fills in key scan codes.
#include <cstring>

#include "handler.h"
#include "wce/display.h"
#include "wce/kernel.h"
#include "wce/shell.h"
#include "wce/window.h"

namespace {

constexpr u32 kGuestStackSize = 4096;
constexpr u32 kInitialDepth = 128;  // ESP starts this far below the area's top
constexpr WPARAM kRightButton = 0x0002;  // MK_RBUTTON

// One guest call's frame: the Env and its stack area.
struct GuestFrame {
  Env env;
  alignas(16) uint8_t stack[kGuestStackSize];
};

// Common steps 1 to 3: the stdcall frame of the procedure, EIP and the
// module that holds it (looked up on every call).
ModuleInfo* prepare(GuestFrame& frame, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  memset(&frame.env, 0, sizeof frame.env);
  Env& env = frame.env;
  env.ESP = guest_addr(frame.stack) + kGuestStackSize - kInitialDepth;
  const u32 words[5] = {RETURN_SENTINEL, guest_addr(hwnd), message, static_cast<u32>(wParam),
                        static_cast<u32>(lParam)};
  for (u32 i = 0; i < 5; i++) guest_write32(env.ESP + 4 * i, words[i]);
  env.EIP = g_bridge.WndProcSlot;
  env.EFLAGS = 0;
  ModuleInfo* module = FindModule(env.EIP);
  if (!module) {
    MessageBoxW(nullptr, u"Cannot find WndProc", u"Error", MB_ICONERROR);
    TerminateProcess(reinterpret_cast<HANDLE>(0x42), 0xFFFFFFFF);
  }
  return module;
}

void set_frame_message(GuestFrame& frame, UINT message, WPARAM wParam, LPARAM lParam) {
  guest_write32(frame.env.ESP + 8, message);
  guest_write32(frame.env.ESP + 12, static_cast<u32>(wParam));
  guest_write32(frame.env.ESP + 16, static_cast<u32>(lParam));
}

LPARAM point_param(POINT p) {
  return static_cast<LPARAM>((static_cast<u32>(p.x) & 0xFFFF) | (static_cast<u32>(p.y) & 0xFFFF) << 16);
}

POINT param_point(LPARAM lParam) {
  return POINT{static_cast<LONG>(lParam & 0xFFFF), static_cast<LONG>((static_cast<u32>(lParam) >> 16) & 0xFFFF)};
}

// The latest pen point in the window's client coordinates.
POINT last_pen_in(HWND hwnd) {
  POINT p{g_bridge.LastPenPoint[0], g_bridge.LastPenPoint[1]};
  ScreenToClient(hwnd, &p);
  return p;
}

void fill_scan_codes(uint8_t* table) {
  struct Pair {
    uint8_t key, scan;
  };
  static const Pair kPairs[] = {
      {0x1B, 1},  {0x30, 11}, {0x6D, 12}, {0xBB, 13}, {0x08, 14}, {0x09, 15}, {0xDB, 26}, {0xDD, 27},
      {0x0D, 28}, {0x11, 29}, {0xA2, 29}, {0xBA, 39}, {0xDE, 40}, {0xC0, 41}, {0x10, 42}, {0xA0, 42},
      {0xDC, 43}, {0xBC, 51}, {0xBE, 52}, {0xBF, 53}, {0x6A, 55}, {0x12, 56}, {0xA4, 56}, {0x20, 57},
      {0x14, 58}, {0x90, 69}, {0x91, 70}, {0x60, 82}, {0x2C, 84}, {0x26, 72}, {0x28, 80}, {0x27, 77},
      {0x25, 75}, {0x2D, 82}, {0x2E, 83}, {0x24, 87}, {0x23, 95},
  };
  for (const Pair& p : kPairs) table[p.key] = p.scan;
  // Runs of keys with consecutive scan codes.
  static const struct {
    const char* keys;
    uint8_t first_scan;
  } kRuns[] = {
      {"123456789", 2}, {"QWERTYUIOP", 16}, {"ASDFGHJKL", 30}, {"ZXCVBNM", 44},
      {"\x70\x71\x72\x73\x74\x75\x76\x77\x78\x79", 59},  // F1 to F10
      {"\x67\x68\x69", 71}, {"\x64\x65\x66", 75}, {"\x61\x62\x63", 79},  // keypad 7-9, 4-6, 1-3
  };
  for (const auto& run : kRuns)
    for (u32 i = 0; run.keys[i]; i++) table[static_cast<uint8_t>(run.keys[i])] = static_cast<uint8_t>(run.first_scan + i);
}

uint8_t scan_code_of(WPARAM key) {
  static bool filled = false;
  if (!filled) {
    fill_scan_codes(g_bridge.ScanCodeTable);
    filled = true;
  }
  return key > 254 ? 0 : g_bridge.ScanCodeTable[key];
}

// The 192-byte DEVMODE asking about or setting the orientation.
void orientation_mode(DEVMODEW* mode, DWORD orientation) {
  memset(mode, 0, sizeof *mode);
  mode->dmSize = sizeof *mode;
  mode->dmFields = DM_DISPLAYORIENTATION;
  mode->dmDisplayOrientation = orientation;
}

void turn_to_landscape() {
  SHInitExtraControls();
  DEVMODEW mode;
  orientation_mode(&mode, 0);
  ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr);
  g_bridge.SavedOrientation = mode.dmDisplayOrientation;
  orientation_mode(&mode, DMDO_270);
  ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr);
}

void handle_activation(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  SHACTIVATEINFO info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  SHHandleWMActivate(hwnd, wParam, lParam, &info, 0);
  const bool active = (info.flags & SAI_ACTIVE) != 0;
  SHFullScreen(hwnd, active ? SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON
                            : SHFS_SHOWTASKBAR | SHFS_SHOWSTARTICON);
  PostMessageW(hwnd, WM_ACTIVATEAPP, active ? 1 : 0,
               active ? static_cast<LPARAM>(GetWindowThreadProcessId(hwnd, nullptr)) : 0);
}

}  // namespace

LRESULT WindowBridge(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  GuestFrame main;
  ModuleInfo* module = prepare(main, hwnd, message, wParam, lParam);
  if (!module) return 0;

  // Pen position, in screen coordinates. A window already gone cannot
  // place the point, and the previous one stays.
  if (message == WM_MOUSEMOVE || message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
    POINT p = param_point(lParam);
    if (ClientToScreen(hwnd, &p)) {
      g_bridge.LastPenPoint[0] = p.x;
      g_bridge.LastPenPoint[1] = p.y;
    }
  }

  if (message == WM_CREATE) turn_to_landscape();
  if (message == WM_ACTIVATE) handle_activation(hwnd, wParam, lParam);
  if (message == WM_DESTROY || message == WM_CLOSE) RestoreDisplay(hwnd);

  // The guest sees the pen arrive before it presses.
  if (message == WM_LBUTTONDOWN) {
    GuestFrame arrive;
    if (ModuleInfo* m = prepare(arrive, hwnd, WM_MOUSEMOVE, 0, lParam)) m->Dispatch(&arrive.env, m);
  }

  bool right_button = g_bridge.RightButtonMode != 0;
  if (message == WM_RBUTTONUP) {
    g_bridge.RightButtonMode = 0;
    right_button = false;
  }

  if (message == WM_KEYDOWN || message == WM_KEYUP) {
    const u32 scan = scan_code_of(wParam);
    set_frame_message(main, message, wParam,
                      static_cast<LPARAM>((static_cast<u32>(lParam) & ~0x00FF0000u) | scan << 16));
  }

  if (message == WM_MOUSEMOVE && right_button) set_frame_message(main, message, wParam | kRightButton, lParam);

  if (message == WM_LBUTTONUP && right_button)
    PostMessageW(hwnd, WM_RBUTTONUP, 0, point_param(last_pen_in(hwnd)));

  if (message == WM_LBUTTONDOWN) {
    SHRGINFO gesture{sizeof(SHRGINFO), hwnd, param_point(lParam), 0};
    SHRecognizeGesture(&gesture);
  }

  // A held pen: the notification reaches the guest as the pen lifted, and
  // the right button goes down at the held point. A notification without
  // its record is passed on untouched.
  if (message == WM_NOTIFY && lParam) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == GN_CONTEXTMENU) {
      const LPARAM at = point_param(last_pen_in(hwnd));
      set_frame_message(main, WM_LBUTTONUP, 0, at);
      g_bridge.RightButtonMode = 1;
      PostMessageW(hwnd, WM_RBUTTONDOWN, 0, at);
    }
  }

  module->Dispatch(&main.env, module);
  return static_cast<LRESULT>(main.env.EAX);
}
