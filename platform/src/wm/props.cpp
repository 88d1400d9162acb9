// Window properties: named handles attached to a window. Window handles
// are never reused, so properties of a destroyed window are unreachable;
// they are dropped the next time any property is set.
#include <map>
#include <string>

#include "wce/kernel.h"
#include "wce/wstr.h"
#include "wm.h"

namespace {

std::map<HWND, std::map<std::u16string, HANDLE>>& props() {
  static std::map<HWND, std::map<std::u16string, HANDLE>> table;
  return table;
}

// A name is a string or an atom (below 0x10000), which is kept as its
// number in a one-character key that no string key can equal.
std::u16string key_of(LPCWSTR name) {
  uintptr_t value = reinterpret_cast<uintptr_t>(name);
  if (value < 0x10000) return std::u16string(1, u'\0') + static_cast<char16_t>(value);
  return wstr_folded(name);
}

}  // namespace

extern "C" BOOL SetPropW(HWND hwnd, LPCWSTR name, HANDLE data) {
  std::lock_guard<std::mutex> hold(wm_lock());
  if (!wm_window_checked(hwnd)) return FALSE;
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (auto it = props().begin(); it != props().end();)
    it = wm_window(it->first) ? std::next(it) : props().erase(it);
  props()[hwnd][key_of(name)] = data;
  return TRUE;
}

extern "C" HANDLE GetPropW(HWND hwnd, LPCWSTR name) {
  std::lock_guard<std::mutex> hold(wm_lock());
  if (!wm_window(hwnd) || !name) return nullptr;
  auto w = props().find(hwnd);
  if (w == props().end()) return nullptr;
  auto p = w->second.find(key_of(name));
  return p == w->second.end() ? nullptr : p->second;
}

extern "C" HANDLE RemovePropW(HWND hwnd, LPCWSTR name) {
  std::lock_guard<std::mutex> hold(wm_lock());
  if (!wm_window(hwnd) || !name) return nullptr;
  auto w = props().find(hwnd);
  if (w == props().end()) return nullptr;
  auto p = w->second.find(key_of(name));
  if (p == w->second.end()) return nullptr;
  HANDLE data = p->second;
  w->second.erase(p);
  return data;
}
