// The window bridge and the window-family handlers as the guest meets
// them. The guest's window procedure is a test module whose Dispatch
// records each message it is given (and, for WM_CREATE, asks the screen's
// size as the game would). One process has one guest window procedure, so
// every case here shares the class registered once.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "device_input.h"
#include "guest_call.h"
#include "wce/display.h"
#include "wce/kernel.h"
#include "wce/shell.h"
#include "wce/window.h"

namespace {

constexpr u32 kBase = 0x33000000;
constexpr u32 kProcedure = 0x300;

const char* const kNames[] = {"RegisterClassA", "CreateWindowExA", "DestroyWindow", "GetSystemMetrics",
                              "GetWindowLongA", "SetWindowLongW", "DialogBoxParamA", "ChooseFontW",
                              "ShellAboutW", "AdjustWindowRect", "GetMenuItemCount", "GetMenuItemID",
                              "GetCursorPos", "SHGetMalloc", "SHGetSpecialFolderLocation", "DispatchMessageA",
                              "WaitMessage"};

u32 w(const void* p) { return guest_addr(p); }

struct Seen {
  u32 hwnd, message, wParam, lParam;
  int screen_width;  // GetSystemMetrics(SM_CXSCREEN) asked inside WM_CREATE
};
std::vector<Seen> g_seen;

int window_dispatch(Env* env, ModuleInfo* mi) {
  EXPECT_EQ(env->EIP - mi->Base, kProcedure);
  EXPECT_EQ(guest_read32(env->ESP), RETURN_SENTINEL);
  Seen s{guest_read32(env->ESP + 4), guest_read32(env->ESP + 8), guest_read32(env->ESP + 12),
         guest_read32(env->ESP + 16), 0};
  if (s.message == WM_CREATE) s.screen_width = static_cast<int>(guest_call(env, "GetSystemMetrics", {SM_CXSCREEN}));
  g_seen.push_back(s);
  env->EAX = s.message == WM_USER ? 0x1234 : 0;
  env->EIP = guest_read32(env->ESP);  // ret 16
  env->ESP += 20;
  return 0;
}

u32 procedure_address() {
  static const u32 base = register_test_module("KWINDOW", window_dispatch, 0x7300);
  return base + kProcedure;
}

u32 call(const char* name, const std::vector<u32>& args) {
  GuestCall c(name, args);
  EXPECT_EQ(c.popped_words(), 1 + args.size()) << name;
  return c.eax();
}

// WNDCLASSA as the guest builds it.
struct GuestClass {
  u32 style, proc;
  i32 cls_extra, wnd_extra;
  u32 instance, icon, cursor, background, menu_name, class_name;
};

// The guest's class, registered once; its record as RegisterClassA left it.
const GuestClass& guest_class() {
  static GuestClass cls = [] {
    GuestClass c{0, procedure_address(), 0, 0, 0, 0, 0, 0, 0, w("GameWindow")};
    EXPECT_NE(call("RegisterClassA", {w(&c)}), 0u);
    return c;
  }();
  return cls;
}

HWND create_game_window() {
  guest_class();
  g_seen.clear();
  const u32 hwnd = call("CreateWindowExA", {0, w("GameWindow"), w("game"), WS_VISIBLE, 0, 0, 240, 320, 0, 0, 0, 0});
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(hwnd));
}

std::vector<u32> messages() {
  std::vector<u32> out;
  for (const Seen& s : g_seen) out.push_back(s.message);
  return out;
}

// Dispatches what waits in the queue (the bridge's own posts included).
// The test procedure paints nothing, so painting is validated here.
void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_PAINT) {
      PAINTSTRUCT paint;
      BeginPaint(msg.hwnd, &paint);
      EndPaint(msg.hwnd, &paint);
      continue;
    }
    DispatchMessageW(&msg);
  }
}

const Seen* find(u32 message) {
  for (const Seen& s : g_seen)
    if (s.message == message) return &s;
  return nullptr;
}

}  // namespace

u32 api(const char* name) {
  static GuestApi table("WINBRIDGE", kBase, std::vector<const char*>(std::begin(kNames), std::end(kNames)),
                        "USER32.dll");
  return table(name);
}

TEST(WindowBridge, ClassRecordHoldsTheBridgeAndTheWindowStartsInLandscape) {
  ASSERT_EQ(device_display_orientation(), static_cast<DWORD>(DMDO_0));
  HWND hwnd = create_game_window();
  ASSERT_NE(hwnd, nullptr);
  // The record keeps the bridge, the device's procedure for the window.
  EXPECT_NE(guest_class().proc, procedure_address());
  EXPECT_EQ(static_cast<u32>(GetWindowLongW(hwnd, GWL_WNDPROC)), guest_class().proc);
  // WM_CREATE after the display turned: the guest asks and hears 320.
  const Seen* create = find(WM_CREATE);
  ASSERT_NE(create, nullptr);
  EXPECT_EQ(create->screen_width, 320);
  EXPECT_EQ(device_display_orientation(), static_cast<DWORD>(DMDO_270));
  // Activation hides the taskbar, input-panel button and Start icon, and
  // the guest then hears WM_ACTIVATEAPP with its thread.
  DeviceShellState shown = device_shell_state();
  EXPECT_EQ(shown.taskbar + shown.sip_button + shown.start_icon, 0);
  pump();
  const Seen* app = find(WM_ACTIVATEAPP);
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(app->wParam, 1u);
  EXPECT_EQ(app->lParam, GetCurrentThreadId());
  const std::vector<u32> order = messages();
  EXPECT_LT(std::find(order.begin(), order.end(), WM_ACTIVATE), std::find(order.begin(), order.end(), WM_ACTIVATEAPP));
  // The guest's result is the procedure's.
  EXPECT_EQ(SendMessageW(hwnd, WM_USER, 0, 0), 0x1234);

  EXPECT_EQ(call("DestroyWindow", {w(hwnd)}), 1u);
  EXPECT_EQ(device_display_orientation(), static_cast<DWORD>(DMDO_0));
  shown = device_shell_state();
  EXPECT_EQ(shown.taskbar, 1);
  EXPECT_EQ(shown.start_icon, 1);
  // A message for the destroyed window reaches no guest code.
  g_seen.clear();
  MSG stale{hwnd, WM_USER, 0, 0, 0, {0, 0}};
  EXPECT_EQ(call("DispatchMessageA", {w(&stale)}), 0u);
  EXPECT_TRUE(g_seen.empty());
}

TEST(WindowBridge, KeysGetScanCodes) {
  HWND hwnd = create_game_window();
  g_seen.clear();
  SendMessageW(hwnd, WM_KEYDOWN, 0x51, 1);             // Q
  SendMessageW(hwnd, WM_KEYUP, 0x7A, 0xC0FF0001);      // F11: no scan code
  SendMessageW(hwnd, WM_KEYDOWN, 0x24, 1);             // Home, not keypad 7
  SendMessageW(hwnd, WM_KEYDOWN, 0x1FF, 1);            // past the table
  ASSERT_EQ(g_seen.size(), 4u);
  EXPECT_EQ(g_seen[0].lParam, 0x100001u);
  EXPECT_EQ(g_seen[1].lParam, 0xC0000001u);
  EXPECT_EQ(g_seen[2].lParam, (87u << 16) | 1);
  EXPECT_EQ(g_seen[3].lParam, 1u);
  DestroyWindow(hwnd);
}

TEST(WindowBridge, TapArrivesAsAMoveThenThePressAndCursorFallsBackOnIt) {
  HWND hwnd = create_game_window();
  MoveWindow(hwnd, 5, 7, 240, 320, FALSE);
  g_seen.clear();
  const u32 at = (20u << 16) | 10;
  SendMessageW(hwnd, WM_LBUTTONDOWN, 1, at);
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].message, static_cast<u32>(WM_MOUSEMOVE));
  EXPECT_EQ(g_seen[0].wParam, 0u);
  EXPECT_EQ(g_seen[0].lParam, at);
  EXPECT_EQ(g_seen[1].message, static_cast<u32>(WM_LBUTTONDOWN));
  // The device's pen has not touched yet: the bridge's point answers,
  // and the result stays the failure.
  POINT p{-1, -1};
  EXPECT_EQ(call("GetCursorPos", {w(&p)}), 0u);
  EXPECT_EQ(p.x, 15);
  EXPECT_EQ(p.y, 27);
  EXPECT_EQ(call("GetCursorPos", {0}), 0u);
  // A notification without its record passes untouched.
  g_seen.clear();
  SendMessageW(hwnd, WM_NOTIFY, 0, 0);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].message, static_cast<u32>(WM_NOTIFY));
  DestroyWindow(hwnd);
}

TEST(WindowBridge, HeldPenPlaysAsTheRightButton) {
  HWND hwnd = create_game_window();
  pump();
  g_seen.clear();
  device_input_pen(DEVICE_PEN_GESTURE, 30, 40);  // the host's right button
  pump();
  device_input_pen(DEVICE_PEN_MOVE, 31, 41);
  device_input_pen(DEVICE_PEN_UP, 31, 41);
  pump();
  const std::vector<u32> expected = {WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_RBUTTONDOWN,
                                     WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP};
  EXPECT_EQ(messages(), expected);
  ASSERT_EQ(g_seen.size(), expected.size());
  const u32 held = (40u << 16) | 30;
  EXPECT_EQ(g_seen[1].lParam, held);
  EXPECT_EQ(g_seen[3].lParam, held);
  EXPECT_EQ(g_seen[4].wParam & 2, 2u);  // MK_RBUTTON while held
  EXPECT_EQ(g_seen[6].lParam, (41u << 16) | 31);
  // WM_RBUTTONUP ended the mode: moves carry no right button any more.
  g_seen.clear();
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, 0);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].wParam, 0u);
  DestroyWindow(hwnd);
}

TEST(WindowHandlers, WindowLongsReachTheDeviceButNotTheProcedures) {
  HWND hwnd = create_game_window();
  EXPECT_EQ(call("SetWindowLongW", {w(hwnd), static_cast<u32>(GWL_USERDATA), 7}), 0u);
  EXPECT_EQ(call("GetWindowLongA", {w(hwnd), static_cast<u32>(GWL_USERDATA)}), 7u);
  EXPECT_EXIT(GuestCall("GetWindowLongA", {w(hwnd), static_cast<u32>(GWL_WNDPROC)}), testing::ExitedWithCode(255), "");
  EXPECT_NE(log_text().find("GetWindowLongW(WNDPROC) not implemented\n"), std::string::npos);
  EXPECT_EXIT(GuestCall("SetWindowLongW", {w(hwnd), 4, 0}), testing::ExitedWithCode(255), "");
  EXPECT_NE(log_text().find("SetWindowLongW(WNDPROC) not implemented\n"), std::string::npos);
  GuestClass second{0, procedure_address(), 0, 0, 0, 0, 0, 0, 0, w("Second")};
  EXPECT_EXIT(GuestCall("RegisterClassA", {w(&second)}), testing::ExitedWithCode(255),
              "More than 1 WndProc not implemented");
  DestroyWindow(hwnd);
}

TEST(WindowHandlers, RefusedBoxesLeaveEaxAndTheGuestGoesOn) {
  GuestCall dialog("DialogBoxParamA", {0, 1, 0, procedure_address(), 0});
  EXPECT_EQ(dialog.eax(), dialog.before.EAX);
  EXPECT_EQ(dialog.popped_words(), 6u);
  // The slot was freed with the box: a second dialog is no nested one.
  EXPECT_EQ(GuestCall("DialogBoxParamA", {0, 1, 0, procedure_address(), 0}).popped_words(), 6u);
  GuestCall font("ChooseFontW", {0});
  EXPECT_EQ(font.eax(), font.before.EAX);
  EXPECT_EQ(font.popped_words(), 2u);
  GuestCall about("ShellAboutW", {0, 0, 0, 0});
  EXPECT_EQ(about.eax(), about.before.EAX);
  EXPECT_EQ(about.popped_words(), 5u);
  EXPECT_EQ(call("WaitMessage", {}), 0u);
}

TEST(WindowHandlers, AdjustWindowRectAndMenuAnswers) {
  i32 r[4] = {0, 0, 240, 320};
  EXPECT_EQ(call("AdjustWindowRect", {w(r), 0, 1}), 1u);
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(r[3], 320);
  EXPECT_EQ(call("AdjustWindowRect", {w(r), WS_CAPTION, 0}), 1u);
  const int caption = GetSystemMetrics(SM_CYCAPTION), frame = GetSystemMetrics(SM_CXDLGFRAME);
  EXPECT_EQ(r[1], -caption - GetSystemMetrics(SM_CYDLGFRAME));
  EXPECT_EQ(r[0], -frame);
  EXPECT_EQ(r[2], 240 + frame);
  EXPECT_EQ(call("AdjustWindowRect", {0, WS_CAPTION, 0}), 0u);
  EXPECT_EQ(call("GetMenuItemCount", {0x1234}), 0u);
  EXPECT_EQ(call("GetMenuItemID", {0x1234, 3}), 0xFFFFFFFFu);
}

TEST(ShellHandlers, TheGuestCallsTheAllocatorThroughItsMethodTable) {
  u32 object = 0;
  ASSERT_EQ(call("SHGetMalloc", {w(&object)}), 0u);
  ASSERT_NE(object, 0u);
  const u32 methods = guest_read32(object);
  for (u32 i = 0; i < 9; i++) EXPECT_EQ(guest_read32(methods + 4 * i) & NATIVE_TAG, NATIVE_TAG) << i;
  auto method = [&](u32 index, const std::vector<u32>& args) {
    GuestCall c(guest_read32(methods + 4 * index), args);
    EXPECT_EQ(c.popped_words(), 1 + args.size()) << index;
    EXPECT_EQ(c.env.EIP, kReturnAddress);
    return c.eax();
  };
  const uint8_t kMalloc[16] = {2, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  const uint8_t kOther[16] = {9};
  u32 out = 1;
  EXPECT_EQ(method(0, {object, w(kMalloc), w(&out)}), 0u);  // QueryInterface
  EXPECT_EQ(out, object);
  EXPECT_EQ(method(0, {object, w(kOther), w(&out)}), static_cast<u32>(E_NOINTERFACE));
  EXPECT_EQ(out, 0u);
  const u32 block = method(3, {object, 64});  // Alloc
  ASSERT_NE(block, 0u);
  memset(reinterpret_cast<void*>(static_cast<uintptr_t>(block)), 0x5A, 64);

  u32 list = 1;
  ASSERT_EQ(call("SHGetSpecialFolderLocation", {0, CSIDL_PERSONAL, w(&list)}), 0u);
  ASSERT_NE(list, 0u);
  const uint8_t* item = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(list));
  const u32 size = item[0] | item[1] << 8;
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(item + 2)), u"\\My Documents");
  EXPECT_EQ(item[size] | item[size + 1], 0);
  method(5, {object, list});   // Free
  method(5, {object, block});
  EXPECT_EQ(call("SHGetSpecialFolderLocation", {0, 0x77, w(&list)}), static_cast<u32>(E_INVALIDARG));
  EXPECT_EQ(list, 0u);
  EXPECT_EQ(call("SHGetMalloc", {0}), static_cast<u32>(E_INVALIDARG));
}
