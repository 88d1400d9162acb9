// Windows of the device's classes, the message loop and message boxes as
// the guest calls them (ANSI forms through Zentrix).
#include <gtest/gtest.h>

#include "guest_call.h"
#include "wce/window.h"

namespace {

u32 w(const void* p) { return guest_addr(p); }

u32 call(const char* name, const std::vector<u32>& args) {
  GuestCall c(name, args);
  EXPECT_EQ(c.popped_words(), 1 + args.size()) << name;
  return c.eax();
}

}  // namespace

TEST(WindowHandlers, AWindowAMessageLoopAndABox) {
  const u32 window = call("CreateWindowExA", {0, w("BUTTON"), w("ok"), 0, 0, 0, 50, 20, 0, 0, 0, 0});
  ASSERT_NE(window, 0u);
  EXPECT_EQ(call("IsWindow", {window}), 1u);
  RECT client = {};
  EXPECT_EQ(call("GetClientRect", {window, w(&client)}), 1u);
  EXPECT_EQ(client.right, 50);
  EXPECT_EQ(client.bottom, 20);
  // A posted message through the ANSI loop.
  EXPECT_EQ(call("PostMessageA", {window, WM_USER + 7, 11, 22}), 1u);
  MSG msg = {};
  EXPECT_EQ(call("PeekMessageA", {w(&msg), 0, 0, 0, PM_REMOVE}), 1u);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 7));
  EXPECT_EQ(msg.hwnd, reinterpret_cast<HWND>(static_cast<uintptr_t>(window)));
  call("DispatchMessageA", {w(&msg)});
  // PostQuitMessage leaves EAX alone; the loop then ends.
  GuestCall quit("PostQuitMessage", {4});
  EXPECT_EQ(quit.eax(), quit.before.EAX);
  EXPECT_EQ(quit.popped_words(), 2u);
  EXPECT_EQ(call("GetMessageA", {w(&msg), 0, 0, 0}), 0u);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 4u);
  // A headless box answers with its default button.
  EXPECT_EQ(call("MessageBoxA", {0, w("text"), w("caption"), 0}), 1u);  // IDOK
  EXPECT_EQ(call("DestroyWindow", {window}), 1u);
  EXPECT_EQ(call("IsWindow", {window}), 0u);
}
