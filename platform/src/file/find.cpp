// File searches: FindFirstFileW / FindNextFileW / FindClose over a list of
// the folder's matching entries taken at FindFirstFileW, in name order.
// The last component may hold * and ?, matched without regard to case as
// Windows does ("*.*" also matches names without a dot).
#include <dirent.h>
#include <errno.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "file_private.h"
#include "handles.h"
#include "wce/device.h"
#include "wce/kernel.h"
#include "wce/wstr.h"

namespace {

struct Search {
  KObject header;
  std::vector<WIN32_FIND_DATAW> entries;
  size_t next;
};

void destroy_search(KObject* object) { delete reinterpret_cast<Search*>(object); }
const KObjectOps kSearchOps = {destroy_search, nullptr, nullptr};

bool glob(const char16_t* pattern, const char16_t* name) {
  // Iterative wildcard match with one backtracking point per '*'.
  const char16_t* star = nullptr;
  const char16_t* resume = nullptr;
  while (*name) {
    if (*pattern == u'*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == u'?' || (*pattern && wstr_fold(*pattern) == wstr_fold(*name))) {
      pattern++;
      name++;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == u'*') pattern++;
  return *pattern == 0;
}

bool matches(const std::u16string& pattern, const std::u16string& name) {
  if (glob(pattern.c_str(), name.c_str())) return true;
  // "stem.*" also takes a name that has no extension at all.
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, u".*") == 0 &&
      name.find(u'.') == std::u16string::npos)
    return glob(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
  return false;
}

bool entry_of(const std::string& host, const std::u16string& name, WIN32_FIND_DATAW* out) {
  struct stat64 st;
  if (stat64(host.c_str(), &st) != 0) return false;
  memset(out, 0, sizeof *out);
  out->dwFileAttributes = file_attributes_of(st);
  out->ftCreationTime = file_time_of(st.st_ctim);
  out->ftLastAccessTime = file_time_of(st.st_atim);
  out->ftLastWriteTime = file_time_of(st.st_mtim);
  uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  out->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  out->nFileSizeLow = static_cast<DWORD>(size);
  out->dwOID = static_cast<DWORD>(st.st_ino);
  wstr_copy_n(out->cFileName, MAX_PATH, name);
  return true;
}

}  // namespace

extern "C" HANDLE FindFirstFileW(LPCWSTR path, WIN32_FIND_DATAW* data) {
  if (!path || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::u16string pattern = file_last_component(path);
  std::u16string folder(path, wstr_len(path) - pattern.size());
  if (pattern.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string host_folder = device_host_path(folder.empty() ? u"\\" : folder.c_str());
  DIR* dir = opendir(host_folder.c_str());
  if (!dir) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : file_error_of(errno, host_folder));
    return INVALID_HANDLE_VALUE;
  }
  Search* search = new Search{{KOBJ_FIND, &kSearchOps, {1}}, {}, 0};
  while (dirent* e = readdir(dir)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    std::u16string name = utf8_to_wstr(e->d_name);
    if (!matches(pattern, name)) continue;
    WIN32_FIND_DATAW entry;
    if (entry_of(host_folder + "/" + e->d_name, name, &entry)) search->entries.push_back(entry);
  }
  closedir(dir);
  if (search->entries.empty()) {
    delete search;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::sort(search->entries.begin(), search->entries.end(), [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
    int order = wstr_icmp(a.cFileName, b.cFileName);
    return order != 0 ? order < 0 : std::u16string(a.cFileName) < std::u16string(b.cFileName);
  });
  *data = search->entries[0];
  search->next = 1;
  HANDLE handle = handle_insert(&search->header);
  if (!handle) {
    delete search;
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return handle;
}

extern "C" BOOL FindNextFileW(HANDLE handle, WIN32_FIND_DATAW* data) {
  KObject* object = handle_get(handle, KOBJ_FIND);
  if (!object) return FALSE;
  Search* search = reinterpret_cast<Search*>(object);
  bool more = search->next < search->entries.size();
  if (more) *data = search->entries[search->next++];
  handle_release(object);
  if (!more) SetLastError(ERROR_NO_MORE_FILES);
  return more ? TRUE : FALSE;
}

extern "C" BOOL FindClose(HANDLE handle) {
  KObject* object = handle_get(handle, KOBJ_FIND);
  if (!object) return FALSE;
  handle_release(object);
  return handle_close(handle) ? TRUE : FALSE;
}
