// The items of a menu: their information, submenus, check marks and
// enabled state, by position or by command identifier.
#include <algorithm>

#include "menu.h"
#include "wce/kernel.h"
#include "wm.h"

namespace {

// By command, the first item with the identifier in the menu or its
// submenus (depth first).
MenuItem* by_command(Menu* menu, UINT id, int depth) {
  if (depth > 16) return nullptr;
  for (MenuItem& item : menu->items) {
    if (!item.popup && item.id == id) return &item;
    if (item.popup)
      if (MenuItem* found = by_command(item.popup, id, depth + 1)) return found;
  }
  return nullptr;
}

MenuItem* find_item(HMENU handle, UINT item, bool by_position) {
  Menu* menu = wm_menu(handle);
  if (!menu) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  MenuItem* found = by_position ? (item < menu->items.size() ? &menu->items[item] : nullptr)
                                : by_command(menu, item, 0);
  if (!found) SetLastError(ERROR_INVALID_PARAMETER);
  return found;
}

}  // namespace

extern "C" BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info) {
  if (!info || info->cbSize < sizeof(MENUITEMINFOW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(wm_lock());
  MenuItem* it = find_item(menu, item, byPosition != FALSE);
  if (!it) return FALSE;
  if (info->fMask & MIIM_ID) info->wID = it->id;
  if (info->fMask & MIIM_STATE) info->fState = it->flags & (MFS_GRAYED | MFS_CHECKED);
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = reinterpret_cast<HMENU>(it->popup);
  if (info->fMask & MIIM_DATA) info->dwItemData = 0;
  if (info->fMask & MIIM_TYPE) {
    info->fType = it->flags & MF_SEPARATOR ? MFT_SEPARATOR : MFT_STRING;
    // The text's length without a buffer; with one, the text cut to fit.
    if (info->dwTypeData && info->cch > 0) {
      const size_t n = std::min<size_t>(it->text.size(), info->cch - 1);
      std::copy(it->text.begin(), it->text.begin() + static_cast<long>(n), info->dwTypeData);
      info->dwTypeData[n] = 0;
      info->cch = static_cast<UINT>(n);
    } else {
      info->cch = static_cast<UINT>(it->text.size());
    }
  }
  return TRUE;
}

extern "C" HMENU GetSubMenu(HMENU menu, int position) {
  std::lock_guard<std::mutex> hold(wm_lock());
  if (position < 0) return nullptr;
  MenuItem* it = find_item(menu, static_cast<UINT>(position), true);
  return it ? reinterpret_cast<HMENU>(it->popup) : nullptr;
}

extern "C" DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::mutex> hold(wm_lock());
  MenuItem* it = find_item(menu, item, (flags & MF_BYPOSITION) != 0);
  if (!it) return static_cast<DWORD>(-1);
  const DWORD previous = it->flags & MF_CHECKED;
  it->flags = (it->flags & ~UINT(MF_CHECKED)) | (flags & MF_CHECKED);
  return previous;
}

extern "C" BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::mutex> hold(wm_lock());
  MenuItem* it = find_item(menu, item, (flags & MF_BYPOSITION) != 0);
  if (!it) return -1;
  const UINT kState = MF_GRAYED | MF_DISABLED;
  const BOOL previous = static_cast<BOOL>(it->flags & kState);
  it->flags = (it->flags & ~kState) | (flags & kState);
  return previous;
}

extern "C" BOOL DrawMenuBar(HWND hwnd) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}
