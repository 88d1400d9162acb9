// RegOpenKeyExW, RegCreateKeyExW, RegQueryValueExW, RegSetValueExW and
// RegCloseKey. An open key is a handle to its path; the predefined keys
// are fixed values that need no opening and ignore RegCloseKey.
#include <cstring>

#include "handles.h"
#include "store.h"
#include "wce/kernel.h"

namespace {

constexpr size_t kMaxKeyName = 255;      // one component
constexpr size_t kMaxValueName = 16383;  // characters
constexpr DWORD kMaxData = 1u << 20;     // bytes of one value

struct KeyObject {
  KObject header;
  std::u16string path;
};

void destroy_key(KObject* object) { delete reinterpret_cast<KeyObject*>(object); }
const KObjectOps kKeyOps = {destroy_key, nullptr, nullptr};

// The path of an open or predefined key; false for anything else.
bool key_path(HKEY key, std::u16string* path) {
  uintptr_t value = reinterpret_cast<uintptr_t>(key);
  if (value >= 0x80000000u && value <= 0x80000003u) {
    *path = kRegRoots[value - 0x80000000u];
    return true;
  }
  KObject* object = handle_get(key, KOBJ_REGKEY);
  if (!object) return false;
  *path = reinterpret_cast<KeyObject*>(object)->path;
  handle_release(object);
  return true;
}

// The path of `sub` below `parent`: components of 1 to 255 characters
// separated by single '\' (one trailing '\' is allowed).
LONG child_path(const std::u16string& parent, LPCWSTR sub, std::u16string* path) {
  *path = parent;
  if (!sub || !*sub) return ERROR_SUCCESS;
  if (*sub == u'\\') return ERROR_BAD_PATHNAME;
  std::u16string component;
  for (const WCHAR* p = sub;; p++) {
    if (*p == u'\\' || !*p) {
      if (component.empty()) {
        if (!*p && p[-1] == u'\\' && (p - sub < 2 || p[-2] != u'\\')) break;
        return ERROR_BAD_PATHNAME;
      }
      if (component.size() > kMaxKeyName) return ERROR_INVALID_NAME;
      *path += u'\\';
      *path += component;
      component.clear();
      if (!*p) break;
    } else {
      component += *p;
    }
  }
  return ERROR_SUCCESS;
}

LONG open_handle(const std::u16string& path, PHKEY result) {
  KeyObject* key = new KeyObject{{KOBJ_REGKEY, &kKeyOps, {1}}, path};
  HANDLE handle = handle_insert(&key->header);
  if (!handle) {
    delete key;
    return ERROR_TOO_MANY_OPEN_FILES;
  }
  *result = reinterpret_cast<HKEY>(handle);
  return ERROR_SUCCESS;
}

// Runs `work` on the tree, up to date with the journal, under the locks.
template <typename Work>
LONG with_store(bool exclusive, Work work) {
  std::lock_guard<std::mutex> hold(reg_store_lock());
  if (LONG failed = reg_journal_lock(reg_tree(), exclusive)) return failed;
  LONG result = work(reg_tree());
  reg_journal_unlock();
  return result;
}

}  // namespace

extern "C" LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM sam, PHKEY result) {
  std::u16string parent, path;
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!key_path(key, &parent)) return ERROR_INVALID_HANDLE;
  if (LONG bad = child_path(parent, subKey, &path)) return bad;
  LONG found = with_store(false, [&](RegTree& tree) -> LONG {
    return tree.keys.count(reg_fold(path)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
  return found == ERROR_SUCCESS ? open_handle(path, result) : found;
}

extern "C" LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                REGSAM sam, SECURITY_ATTRIBUTES* security, PHKEY result, LPDWORD disposition) {
  std::u16string parent, path;
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!key_path(key, &parent)) return ERROR_INVALID_HANDLE;
  if (LONG bad = child_path(parent, subKey, &path)) return bad;
  DWORD how = REG_OPENED_EXISTING_KEY;
  LONG made = with_store(true, [&](RegTree& tree) -> LONG {
    if (tree.keys.count(reg_fold(path))) return ERROR_SUCCESS;
    how = REG_CREATED_NEW_KEY;
    return reg_journal_append(tree, RegRecord{RegRecord::kKey, path, u"", 0, ""});
  });
  if (made != ERROR_SUCCESS) return made;
  if (disposition) *disposition = how;
  return open_handle(path, result);
}

extern "C" LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                 LPDWORD size) {
  std::u16string path;
  if (!key_path(key, &path)) return ERROR_INVALID_HANDLE;
  if (data && !size) return ERROR_INVALID_PARAMETER;
  std::u16string name = valueName ? valueName : u"";
  return with_store(false, [&](RegTree& tree) -> LONG {
    auto k = tree.keys.find(reg_fold(path));
    if (k == tree.keys.end()) return ERROR_FILE_NOT_FOUND;
    auto v = k->second.values.find(reg_fold(name));
    if (v == k->second.values.end()) return ERROR_FILE_NOT_FOUND;
    const RegValue& value = v->second;
    if (type) *type = value.type;
    if (!size) return ERROR_SUCCESS;
    DWORD room = *size;
    *size = static_cast<DWORD>(value.data.size());
    if (!data) return ERROR_SUCCESS;
    if (room < value.data.size()) return ERROR_MORE_DATA;
    memcpy(data, value.data.data(), value.data.size());
    return ERROR_SUCCESS;
  });
}

extern "C" LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                               DWORD size) {
  std::u16string path;
  if (!key_path(key, &path)) return ERROR_INVALID_HANDLE;
  std::u16string name = valueName ? valueName : u"";
  if (name.size() > kMaxValueName || size > kMaxData || (size && !data)) return ERROR_INVALID_PARAMETER;
  RegRecord record{RegRecord::kValue, path, name, type,
                   std::string(reinterpret_cast<const char*>(data), data ? size : 0)};
  return with_store(true, [&](RegTree& tree) -> LONG {
    return reg_journal_append(tree, record);
  });
}

extern "C" LONG RegCloseKey(HKEY key) {
  uintptr_t value = reinterpret_cast<uintptr_t>(key);
  if (value >= 0x80000000u && value <= 0x80000003u) return ERROR_SUCCESS;
  KObject* object = handle_get(key, KOBJ_REGKEY);
  if (!object) return ERROR_INVALID_HANDLE;
  handle_release(object);
  return handle_close(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
