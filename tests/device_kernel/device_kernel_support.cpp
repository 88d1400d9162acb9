#include "device_kernel_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "wce/device.h"
#include "wce/wstr.h"

std::u16string fresh_folder(const char* name) {
  std::string host = device_root() + "/" + name;
  std::string command = "rm -rf '" + host + "' && mkdir -p '" + host + "'";
  if (system(command.c_str()) != 0) abort();
  return u"\\" + utf8_to_wstr(name);
}

std::string host_of(const std::u16string& device_path) { return device_host_path(device_path.c_str()); }

void put_file(const std::u16string& device_path, const std::string& content) {
  std::ofstream out(host_of(device_path), std::ios::binary);
  out << content;
}

std::string file_content(const std::u16string& device_path) {
  std::ifstream in(host_of(device_path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
