// Menus: a tree of items, made from a menu template by LoadMenuW. A menu's
// handle is the address of its record, known while it lives.
#pragma once

#include <string>
#include <vector>

#include "wce/window.h"

struct Menu;

struct MenuItem {
  UINT flags;  // MF_* of the template (MF_END removed)
  UINT id;
  std::u16string text;
  Menu* popup;  // MF_POPUP items
};

struct Menu {
  std::vector<MenuItem> items;
};

// The live menu of a handle, or null; call with wm_lock held.
Menu* wm_menu(HMENU handle);
