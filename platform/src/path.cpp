// Device paths: "\a\b" names <device root>/a/b. There are no drives and no
// current folder, so a bare name lies in the root. Existing components are
// matched without regard to case.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "paths.h"
#include "wce/device.h"
#include "wce/wstr.h"

bool host_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string match_component(const std::string& dir, const std::string& name) {
  if (host_exists(dir + "/" + name)) return name;
  std::string found = name;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (strcasecmp(e->d_name, name.c_str()) == 0) {
        found = e->d_name;
        break;
      }
    }
    closedir(d);
  }
  return found;
}

std::string device_host_path8(const char* path) {
  std::string result = device_root();
  std::string component;
  bool matching = true;
  auto flush = [&] {
    if (component.empty() || component == ".") {
      component.clear();
      return;
    }
    if (component == "..") {
      size_t slash = result.rfind('/');
      if (result.size() > device_root().size() && slash != std::string::npos) result.erase(slash);
      component.clear();
      return;
    }
    std::string name = matching ? match_component(result, component) : component;
    result += "/" + name;
    if (matching && !host_exists(result)) matching = false;
    component.clear();
  };
  for (const char* p = path; *p; p++) {
    if (*p == '\\' || *p == '/')
      flush();
    else
      component += *p;
  }
  flush();
  return result;
}

std::string device_host_path(const WCHAR* path) { return device_host_path8(wstr_to_utf8(path).c_str()); }

std::u16string device_path_of(const std::string& host) {
  const std::string& root = device_root();
  std::string rest;
  if (host.compare(0, root.size(), root) == 0 && (host.size() == root.size() || host[root.size()] == '/'))
    rest = host.substr(root.size());
  else
    rest = host;
  for (char& c : rest)
    if (c == '/') c = '\\';
  if (rest.empty()) rest = "\\";
  return utf8_to_wstr(rest.c_str());
}
