// Menus, window geometry and input answers the runtime builds from other
// device functions: item counts and identifiers from GetMenuItemInfoW,
// AdjustWindowRect from the system metrics, and GetCursorPos falling back
// on the pen's latest point.
#include "handler.h"
#include "wce/kernel.h"
#include "wce/window.h"

namespace {

// The request the menu answers use: the identifier only.
MENUITEMINFOW id_request() {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID;
  info.dwTypeData = nullptr;
  return info;
}

// GetMenuItemCount(hMenu): the first position that has no item; an empty
// or unknown menu gives 0. No menu holds this many items.
void get_menu_item_count(Env* env) {
  constexpr u32 kMostItems = 0x10000;
  HMENU menu = arg_as<HMENU>(env, 1);
  u32 count = 0;
  for (MENUITEMINFOW info = id_request(); count < kMostItems && GetMenuItemInfoW(menu, count, TRUE, &info);
       info = id_request())
    count++;
  guest_return_value(env, count, 1);
}

// GetMenuItemID(hMenu, nPos): the identifier, or -1.
void get_menu_item_id(Env* env) {
  MENUITEMINFOW info = id_request();
  const BOOL found = GetMenuItemInfoW(arg_as<HMENU>(env, 1), arg(env, 2), TRUE, &info);
  guest_return_value(env, found ? info.wID : 0xFFFFFFFF, 2);
}

// AdjustWindowRect(lpRect, dwStyle, bMenu): the rectangle read and written
// in place as four 32-bit integers; bMenu is ignored. A null rectangle is
// refused instead of written through.
void adjust_window_rect(Env* env) {
  const u32 rect = arg(env, 1);
  const u32 style = arg(env, 2);
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    guest_return_value(env, 0, 3);
    return;
  }
  i32 left = static_cast<i32>(guest_read32(rect)), top = static_cast<i32>(guest_read32(rect + 4));
  i32 right = static_cast<i32>(guest_read32(rect + 8)), bottom = static_cast<i32>(guest_read32(rect + 12));
  if (style & WS_CAPTION) top -= GetSystemMetrics(SM_CYCAPTION);
  if (style & WS_BORDER) {
    top -= GetSystemMetrics(SM_CYDLGFRAME);
    left -= GetSystemMetrics(SM_CXDLGFRAME);
    right += GetSystemMetrics(SM_CXDLGFRAME);
    bottom += GetSystemMetrics(SM_CYDLGFRAME);
  }
  guest_write32(rect, static_cast<u32>(left));
  guest_write32(rect + 4, static_cast<u32>(top));
  guest_write32(rect + 8, static_cast<u32>(right));
  guest_write32(rect + 12, static_cast<u32>(bottom));
  guest_return_value(env, 1, 3);
}

// GetCursorPos(lpPoint): the device's answer; when it has none, the pen
// point the window bridge saw last (the result stays the failure).
void get_cursor_pos(Env* env) {
  const u32 point = arg(env, 1);
  const BOOL ok = GetCursorPos(arg_as<POINT*>(env, 1));
  if (!ok && point) {
    guest_write32(point, static_cast<u32>(g_bridge.LastPenPoint[0]));
    guest_write32(point + 4, static_cast<u32>(g_bridge.LastPenPoint[1]));
  }
  guest_return_value(env, static_cast<u32>(ok), 1);
}

}  // namespace

extern const ApiEntry kMenuInputApis[] = {
    {"GetMenuItemCount", get_menu_item_count},
    {"GetMenuItemID", get_menu_item_id},
    {"AdjustWindowRect", adjust_window_rect},
    {"GetCursorPos", get_cursor_pos},
    {nullptr, nullptr},
};
