// LoadMenuW and DestroyMenu: menu templates (the classic form: a header of
// two words, then items of flags, an identifier unless MF_POPUP, and a
// NUL-terminated text; MF_END closes a level) made into menu records.
#include <set>

#include "menu.h"
#include "resources.h"
#include "wce/kernel.h"
#include "wm.h"

namespace {

std::set<Menu*>& live_menus() {
  static std::set<Menu*> table;
  return table;
}

struct TemplateReader {
  const unsigned char* p;
  const unsigned char* end;
  bool ok = true;
  WORD word() {
    if (p + 2 > end) return ok = false, 0;
    WORD v = static_cast<WORD>(p[0] | p[1] << 8);
    p += 2;
    return v;
  }
};

void free_menu(Menu* menu) {
  for (MenuItem& item : menu->items)
    if (item.popup) free_menu(item.popup);
  live_menus().erase(menu);
  delete menu;
}

Menu* read_level(TemplateReader& in, int depth) {
  Menu* menu = new Menu;
  live_menus().insert(menu);
  for (;;) {
    if (depth > 16) in.ok = false;
    if (!in.ok) return menu;
    MenuItem item{in.word(), 0, u"", nullptr};
    if (!(item.flags & MF_POPUP)) item.id = in.word();
    for (WORD c; in.ok && (c = in.word()) != 0;) item.text += static_cast<char16_t>(c);
    bool last = item.flags & MF_END;
    item.flags &= ~UINT(MF_END);
    if (in.ok && (item.flags & MF_POPUP)) item.popup = read_level(in, depth + 1);
    if (!item.text.size() && !item.popup && !item.id) item.flags |= MF_SEPARATOR;
    menu->items.push_back(item);
    if (last) return menu;
  }
}

}  // namespace

Menu* wm_menu(HMENU handle) {
  Menu* menu = reinterpret_cast<Menu*>(handle);
  return live_menus().count(menu) ? menu : nullptr;
}

extern "C" HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
  ResourceData data;
  if (!resource_find(instance, RT_MENU, name, &data)) return nullptr;
  const unsigned char* bytes = static_cast<const unsigned char*>(data.data);
  TemplateReader in{bytes, bytes + data.size};
  WORD version = in.word();
  WORD offset = in.word();
  if (!in.ok || version != 0 || offset > data.size - 4) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  in.p += offset;
  std::lock_guard<std::mutex> hold(wm_lock());
  Menu* menu = read_level(in, 0);
  if (!in.ok) {
    free_menu(menu);
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HMENU>(menu);
}

extern "C" BOOL DestroyMenu(HMENU handle) {
  std::lock_guard<std::mutex> hold(wm_lock());
  Menu* menu = wm_menu(handle);
  if (!menu) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  free_menu(menu);
  return TRUE;
}
