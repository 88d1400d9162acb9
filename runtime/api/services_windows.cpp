// The window and message services the guest can use without a window
// procedure of its own: windows of the device's classes, the message loop
// and message boxes (the ANSI functions through Zentrix, the others on
// the device), strings, icons, cursors and menus from resources. Window
// classes with a guest procedure wait for the window bridge.
#include "handler.h"
#include "wce/kernel.h"
#include "wce/window.h"
#include "zentrix.h"

using services::pass_through;

namespace {

// PostQuitMessage(nExitCode): no result; EAX stays as it was.
void post_quit_message(Env* env) {
  PostQuitMessage(static_cast<int>(arg(env, 1)));
  guest_return(env, 1);
}

}  // namespace

extern const ApiEntry kWindowApis[] = {
    {"CreateWindowExA", pass_through<CreateWindowExA>},
    {"DefWindowProcA", pass_through<DefWindowProcA>},
    {"DestroyWindow", pass_through<DestroyWindow>},
    {"IsWindow", pass_through<IsWindow>},
    {"GetWindowRect", pass_through<GetWindowRect>},
    {"GetClientRect", pass_through<GetClientRect>},
    {"GetWindowThreadProcessId", pass_through<GetWindowThreadProcessId>},
    {"GetMessageA", pass_through<GetMessageA>},
    {"PeekMessageA", pass_through<PeekMessageA>},
    {"PostMessageA", pass_through<PostMessageA>},
    {"SendMessageA", pass_through<SendMessageA>},
    {"DispatchMessageA", pass_through<DispatchMessageA>},
    {"TranslateMessage", pass_through<TranslateMessage>},
    {"PostQuitMessage", post_quit_message},
    {"MessageBoxA", pass_through<MessageBoxA>},
    {"MessageBeep", pass_through<MessageBeep>},
    {"LoadStringA", pass_through<LoadStringA>},
    {"LoadIconA", pass_through<LoadIconA>},
    {"LoadCursorA", pass_through<LoadCursorA>},
    {"LoadMenuA", pass_through<LoadMenuA>},
    {"DestroyMenu", pass_through<DestroyMenu>},
    {"SetCursor", pass_through<SetCursor>},
    {"GetSystemMetrics", pass_through<GetSystemMetrics>},
    {nullptr, nullptr},
};
