#include <string>

#include "launcher.h"

bool module_candidates(const WCHAR* own_path, WCHAR* first, WCHAR* second, size_t size) {
  std::u16string path = own_path;
  size_t name_start = path.find_last_of(u"\\/");
  name_start = name_start == std::u16string::npos ? 0 : name_start + 1;
  size_t dot = path.rfind(u'.');
  if (dot == std::u16string::npos || dot < name_start) return false;
  std::u16string stem = path.substr(0, dot);
  std::u16string extension = path.substr(dot + 1);
  wstr_copy_n(first, size, stem + u".em." + extension);
  wstr_copy_n(second, size, stem + u".em.dll");
  return true;
}
