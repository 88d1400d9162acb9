// PeekMessageW, window properties, and resources read from an image in
// memory with a resource directory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "wce/kernel.h"
#include "wce/window.h"
#include "wm/menu.h"
#include "wm/wm.h"

namespace {

LRESULT quiet_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND make_window() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW cls = {};
    cls.lpfnWndProc = quiet_proc;
    cls.lpszClassName = u"PeekTest";
    RegisterClassW(&cls);
    registered = true;
  }
  return CreateWindowExW(0, u"PeekTest", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

struct Resource {
  uint32_t type;
  uint32_t id;               // 0 when named
  const char16_t* name;
  std::vector<uint8_t> data;
};

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  put16(b, at, v);
  put16(b, at + 2, v >> 16);
}

// An image with MZ and PE headers and a resource section at 0x1000 that
// holds `resources`, one type each: type, name and language levels.
struct Image {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(0x3000);
  explicit Image(const std::vector<Resource>& resources) {
    std::vector<uint8_t>& b = bytes;
    b[0] = 'M', b[1] = 'Z';
    put32(b, 0x3C, 0x40);
    memcpy(&b[0x40], "PE\0\0", 4);
    size_t opt = 0x40 + 24;
    put16(b, opt, 0x10B);
    put32(b, opt + 56, 0x3000);
    put32(b, opt + 92, 16);
    put32(b, opt + 96 + 16, 0x1000);
    put32(b, opt + 96 + 20, 0x1000);
    const size_t base = 0x1000;
    size_t n = resources.size();
    size_t at = 16 + 8 * n;  // after the root directory
    put16(b, base + 14, static_cast<uint32_t>(n));
    size_t extra = at + n * (24 + 24 + 16);
    for (size_t i = 0; i < n; i++) {
      const Resource& r = resources[i];
      size_t type_dir = at, name_dir = at + 24, leaf = at + 48;
      at += 64;
      put32(b, base + 16 + 8 * i, r.type);
      put32(b, base + 16 + 8 * i + 4, 0x80000000u | static_cast<uint32_t>(type_dir));
      put16(b, base + type_dir + (r.id ? 14 : 12), 1);
      uint32_t name_word = r.id;
      if (!r.id) {
        name_word = 0x80000000u | static_cast<uint32_t>(extra);
        size_t len = std::char_traits<char16_t>::length(r.name);
        put16(b, base + extra, static_cast<uint32_t>(len));
        for (size_t k = 0; k < len; k++) put16(b, base + extra + 2 + 2 * k, r.name[k]);
        extra += 2 + 2 * len + 2;
      }
      put32(b, base + type_dir + 16, name_word);
      put32(b, base + type_dir + 20, 0x80000000u | static_cast<uint32_t>(name_dir));
      put16(b, base + name_dir + 14, 1);
      put32(b, base + name_dir + 16, 0x409);
      put32(b, base + name_dir + 20, static_cast<uint32_t>(leaf));
      extra = (extra + 3) & ~size_t(3);
      put32(b, base + leaf, static_cast<uint32_t>(base + extra));
      put32(b, base + leaf + 4, static_cast<uint32_t>(r.data.size()));
      memcpy(&b[base + extra], r.data.data(), r.data.size());
      extra += r.data.size();
    }
  }
  HINSTANCE handle() { return reinterpret_cast<HINSTANCE>(bytes.data()); }
};

std::vector<uint8_t> words(std::initializer_list<uint16_t> list) {
  std::vector<uint8_t> out;
  for (uint16_t w : list) out.push_back(static_cast<uint8_t>(w)), out.push_back(static_cast<uint8_t>(w >> 8));
  return out;
}

}  // namespace

TEST(WindowServices, PeekLooksWithoutWaiting) {
  HWND w = make_window();
  ASSERT_NE(w, nullptr);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  ASSERT_TRUE(PostMessageW(w, WM_USER + 1, 11, 22));
  ASSERT_TRUE(PostMessageW(w, WM_USER + 5, 0, 0));
  ASSERT_TRUE(PeekMessageW(&msg, w, WM_USER + 5, WM_USER + 9, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 5);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 11u);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 5);
  PostQuitMessage(3);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  DestroyWindow(w);
}

TEST(WindowServices, Properties) {
  HWND w = make_window();
  ASSERT_TRUE(SetPropW(w, u"AnsiWindow", reinterpret_cast<HANDLE>(1)));
  ASSERT_TRUE(SetPropW(w, reinterpret_cast<LPCWSTR>(0xC123), reinterpret_cast<HANDLE>(2)));
  EXPECT_EQ(GetPropW(w, u"ansiwindow"), reinterpret_cast<HANDLE>(1));
  EXPECT_EQ(GetPropW(w, reinterpret_cast<LPCWSTR>(0xC123)), reinterpret_cast<HANDLE>(2));
  EXPECT_EQ(RemovePropW(w, u"AnsiWindow"), reinterpret_cast<HANDLE>(1));
  EXPECT_EQ(GetPropW(w, u"AnsiWindow"), nullptr);
  DestroyWindow(w);
  EXPECT_FALSE(SetPropW(w, u"x", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(GetPropW(w, reinterpret_cast<LPCWSTR>(0xC123)), nullptr);
}

TEST(WindowServices, ResourcesOfAnImage) {
  // String block 2 holds ids 16..31; id 17 is "Hi there", id 18 empty.
  std::vector<uint8_t> block = words({0, 8, 'H', 'i', ' ', 't', 'h', 'e', 'r', 'e', 0});
  for (int i = 3; i < 16; i++) block.push_back(0), block.push_back(0);
  std::vector<uint8_t> menu = words({0, 0,                                  // header
                                     MF_POPUP, '&', 'F', 0,                 // popup "&F"
                                     0, 100, 'N', 'e', 'w', 0,              // item 100 "New"
                                     MF_END, 101, 'Q', 0,                   // last item 101 "Q"
                                     MF_END, 200, 'H', 0});                 // last top item
  Image image({{6, 2, nullptr, block},
               {4, 0, u"MAIN", menu},
               {14, 7, nullptr, words({0, 1, 1})}});
  WCHAR text[32];
  EXPECT_EQ(LoadStringW(image.handle(), 17, text, 32), 8);
  EXPECT_EQ(std::u16string(text), u"Hi there");
  EXPECT_EQ(LoadStringW(image.handle(), 17, text, 4), 3);
  EXPECT_EQ(std::u16string(text), u"Hi ");
  EXPECT_EQ(LoadStringW(image.handle(), 17, nullptr, 0), 8);
  EXPECT_EQ(LoadStringW(image.handle(), 18, text, 32), 0);
  EXPECT_EQ(LoadStringW(image.handle(), 40, text, 32), 0);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);

  HMENU handle = LoadMenuW(image.handle(), u"main");
  ASSERT_NE(handle, nullptr);
  {
    std::lock_guard<std::mutex> hold(wm_lock());
    Menu* m = wm_menu(handle);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->items.size(), 2u);
    EXPECT_EQ(m->items[0].text, u"&F");
    ASSERT_NE(m->items[0].popup, nullptr);
    ASSERT_EQ(m->items[0].popup->items.size(), 2u);
    EXPECT_EQ(m->items[0].popup->items[1].id, 101u);
    EXPECT_EQ(m->items[1].id, 200u);
  }
  // Items by position and by command, check marks and the enabled state.
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_SUBMENU;
  ASSERT_TRUE(GetMenuItemInfoW(handle, 0, TRUE, &info));
  HMENU file = GetSubMenu(handle, 0);
  EXPECT_EQ(info.hSubMenu, file);
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(GetMenuItemInfoW(handle, 2, TRUE, &info));
  info.fMask = MIIM_STATE;
  EXPECT_EQ(CheckMenuItem(handle, 101, MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));  // found in the popup
  ASSERT_TRUE(GetMenuItemInfoW(file, 1, TRUE, &info));
  EXPECT_EQ(info.fState, static_cast<UINT>(MFS_CHECKED));
  EXPECT_EQ(CheckMenuItem(file, 1, MF_BYPOSITION | MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
  EXPECT_EQ(EnableMenuItem(handle, 200, MF_GRAYED), static_cast<BOOL>(MF_ENABLED));
  EXPECT_EQ(EnableMenuItem(handle, 200, MF_ENABLED), static_cast<BOOL>(MF_GRAYED));
  EXPECT_EQ(CheckMenuItem(handle, 999, MF_CHECKED), static_cast<DWORD>(-1));
  EXPECT_TRUE(DestroyMenu(handle));
  EXPECT_FALSE(DestroyMenu(handle));
  EXPECT_EQ(GetSubMenu(handle, 0), nullptr);
  EXPECT_EQ(LoadMenuW(image.handle(), MAKEINTRESOURCEW(5)), nullptr);

  HICON icon = LoadIconW(image.handle(), MAKEINTRESOURCEW(7));
  EXPECT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconW(image.handle(), MAKEINTRESOURCEW(7)), icon);
  EXPECT_NE(LoadIconW(nullptr, IDI_APPLICATION), nullptr);
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(5)), nullptr);
}

TEST(WindowServices, NoImageNoResources) {
  // Neither an unmapped address nor memory without headers is read as an image.
  WCHAR text[8];
  EXPECT_EQ(LoadStringW(reinterpret_cast<HINSTANCE>(0x1000), 1, text, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
  static char plain[4096];
  EXPECT_EQ(LoadMenuW(reinterpret_cast<HINSTANCE>(plain), MAKEINTRESOURCEW(1)), nullptr);
}

namespace {
int g_timer_calls;
UINT_PTR g_timer_id;
void count_timer(HWND, UINT message, UINT_PTR id, DWORD) {
  if (message == WM_TIMER) g_timer_calls++;
  g_timer_id = id;
}
}  // namespace

// Timers: WM_TIMER made by the message loop when the queue is otherwise
// empty, waited for by GetMessageW, one per period however late; a
// timer's procedure called by DispatchMessageW, and only a live timer's.
TEST(WindowServices, TimersThroughTheMessageLoop) {
  HWND w = make_window();
  ASSERT_NE(w, nullptr);
  MSG msg;
  // A period long enough that a loaded machine cannot let it pass between
  // two of these calls.
  ASSERT_EQ(SetTimer(w, 5, 400, nullptr), 5u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // not due yet
  PostMessageW(w, WM_USER, 0, 0);
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER);  // posted messages come first
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));  // waits for the timer
  EXPECT_EQ(msg.message, WM_TIMER);
  EXPECT_EQ(msg.hwnd, w);
  EXPECT_EQ(msg.wParam, 5u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));  // the next period starts anew
  EXPECT_TRUE(KillTimer(w, 5));
  EXPECT_FALSE(KillTimer(w, 5));
  // A timer without a window, with a procedure.
  const UINT_PTR id = SetTimer(nullptr, 0, 10, count_timer);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_TIMER);
  EXPECT_EQ(msg.hwnd, nullptr);
  DispatchMessageW(&msg);
  EXPECT_EQ(g_timer_calls, 1);
  EXPECT_EQ(g_timer_id, id);
  EXPECT_TRUE(KillTimer(nullptr, id));
  // Once the timer is gone, its WM_TIMER calls nothing; nor does one posted
  // with a procedure of its own.
  DispatchMessageW(&msg);
  MSG forged = {w, WM_TIMER, 1, reinterpret_cast<LPARAM>(&count_timer), 0, {0, 0}};
  DispatchMessageW(&forged);
  EXPECT_EQ(g_timer_calls, 1);
  // A destroyed window's timer goes with it.
  ASSERT_NE(SetTimer(w, 9, 10, nullptr), 0u);
  DestroyWindow(w);
  EXPECT_FALSE(KillTimer(w, 9));
  EXPECT_EQ(SetTimer(w, 9, 10, nullptr), 0u);  // no such window
}
