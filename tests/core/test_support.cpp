#include "test_support.h"

#include <fstream>
#include <sstream>

#include "wce/device.h"

std::string log_text() {
  std::ifstream in(device_root() + "/trevik.txt", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

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
