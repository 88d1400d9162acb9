// LoadStringW and LoadIconW over a module's resources; LoadIconW with a
// null instance gives the system icons.
#include <map>
#include <mutex>
#include <utility>

#include "resources.h"
#include "wce/kernel.h"

namespace {

struct Icon {
  uintptr_t id;         // system icon number, 0 for a module icon
  const void* group;    // the module's icon group resource
};

const Icon kSystemIcons[] = {{32512, nullptr}, {32513, nullptr}, {32514, nullptr}, {32515, nullptr},
                             {32516, nullptr}, {32517, nullptr}};

std::mutex g_icon_lock;
// One record per icon group: loading an icon twice gives the same handle.
std::map<const void*, Icon>& module_icons() {
  static std::map<const void*, Icon> table;
  return table;
}

uint16_t word16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

extern "C" int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
  ResourceData block;
  if (!resource_find(instance, RT_STRING, reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>((id >> 4) + 1)),
                     &block))
    return 0;
  // A block holds 16 counted strings (a length, then that many characters).
  const unsigned char* p = static_cast<const unsigned char*>(block.data);
  const unsigned char* end = p + block.size;
  for (UINT i = 0; i < (id & 15); i++) {
    if (p + 2 > end) break;
    p += 2 + 2 * word16(p);
  }
  uint16_t length = p + 2 <= end ? word16(p) : 0;
  if (p + 2 + 2 * size_t(length) > end) length = 0;
  if (!length) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  if (!buffer) return length;
  if (size <= 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  int n = length < size ? length : size - 1;
  for (int i = 0; i < n; i++) buffer[i] = word16(p + 2 + 2 * i);
  buffer[n] = 0;
  return n;
}

extern "C" HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
  if (!instance) {
    for (const Icon& icon : kSystemIcons)
      if (icon.id == reinterpret_cast<uintptr_t>(name)) return reinterpret_cast<HICON>(const_cast<Icon*>(&icon));
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  ResourceData group;
  if (!resource_find(instance, RT_GROUP_ICON, name, &group)) return nullptr;
  std::lock_guard<std::mutex> hold(g_icon_lock);
  Icon& icon = module_icons()[group.data];
  icon.group = group.data;
  return reinterpret_cast<HICON>(&icon);
}
