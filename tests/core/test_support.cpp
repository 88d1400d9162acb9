#include "test_support.h"

#include <sstream>

#include "wce/device.h"

std::vector<std::string> log_lines() {
  std::vector<std::string> lines;
  std::stringstream s(log_text());
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}

ModuleInfo test_module(const char* name, u32 base, u32 len) {
  ModuleInfo mi = {};
  mi.Base = base;
  mi.Len = len;
  mi.Name = name;
  return mi;
}
