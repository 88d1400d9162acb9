// The window and message services passed to the device (the ANSI
// functions through Zentrix): windows, the message loop, message boxes,
// strings, icons, cursors and menus from resources, geometry and painting,
// focus and capture, menu items and input state.
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
    {"UpdateWindow", pass_through<UpdateWindow>},
    {"SetFocus", pass_through<SetFocus>},
    {"SetCapture", pass_through<SetCapture>},
    {"ShowWindow", pass_through<ShowWindow>},
    {"ScreenToClient", pass_through<ScreenToClient>},
    {"ClientToScreen", pass_through<ClientToScreen>},
    {"GetWindow", pass_through<GetWindow>},
    {"BeginPaint", pass_through<BeginPaint>},
    {"EndPaint", pass_through<EndPaint>},
    {"InvalidateRect", pass_through<InvalidateRect>},
    {"MoveWindow", pass_through<MoveWindow>},
    {"SetWindowPos", pass_through<SetWindowPos>},
    {"GetActiveWindow", pass_through<GetActiveWindow>},
    {"GetFocus", pass_through<GetFocus>},
    {"ReleaseCapture", pass_through<ReleaseCapture>},
    {"GetSubMenu", pass_through<GetSubMenu>},
    {"CheckMenuItem", pass_through<CheckMenuItem>},
    {"EnableMenuItem", pass_through<EnableMenuItem>},
    {"DrawMenuBar", pass_through<DrawMenuBar>},
    {"CreateIconIndirect", pass_through<CreateIconIndirect>},
    {"DestroyIcon", pass_through<DestroyIcon>},
    {"ShowCursor", pass_through<ShowCursor>},
    {"GetAsyncKeyState", pass_through<GetAsyncKeyState>},
    {nullptr, nullptr},
};
