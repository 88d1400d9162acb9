// The registry tree in memory.
#include "store.h"

const char16_t* const kRegRoots[4] = {u"HKCR", u"HKCU", u"HKLM", u"HKU"};

void reg_add_roots(RegTree& tree) {
  for (const char16_t* root : kRegRoots) reg_apply_key(tree, root);
}

std::u16string reg_fold(const std::u16string& text) {
  std::u16string folded = text;
  for (WCHAR& c : folded)
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = static_cast<WCHAR>(c - 32);
  return folded;
}

void reg_apply_key(RegTree& tree, const std::u16string& path) {
  // Every ancestor exists too; a path of the journal is whole, but a
  // record written by hand or by an older device may not have them.
  for (size_t end = path.find(u'\\'); ; end = path.find(u'\\', end + 1)) {
    std::u16string prefix = path.substr(0, end);
    auto [it, added] = tree.keys.try_emplace(reg_fold(prefix));
    if (added) it->second.path = prefix;
    if (end == std::u16string::npos) break;
  }
}

void reg_apply_value(RegTree& tree, const std::u16string& path, const std::u16string& name, DWORD type,
                     const std::string& data) {
  reg_apply_key(tree, path);
  RegKeyNode& key = tree.keys[reg_fold(path)];
  RegValue& value = key.values[reg_fold(name)];
  if (value.name.empty()) value.name = name;
  value.type = type;
  value.data = data;
}

RegTree& reg_tree() {
  static RegTree tree;
  return tree;
}

std::mutex& reg_store_lock() {
  static std::mutex lock;
  return lock;
}
