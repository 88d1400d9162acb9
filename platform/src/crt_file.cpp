// The device C runtime's 8-bit file functions on device paths.
#include <cstdio>

#include "wce/device.h"
#include "wce/kernel.h"

extern "C" FILE* ce_fopen(const char* name, const char* mode) {
  if (!name || !mode) return nullptr;
  return fopen(device_host_path8(name).c_str(), mode);
}

extern "C" int ce_vfprintf(FILE* file, const char* format, va_list args) {
  return file ? vfprintf(file, format, args) : -1;
}

extern "C" int ce_fprintf(FILE* file, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = ce_vfprintf(file, format, args);
  va_end(args);
  return n;
}

extern "C" int ce_fclose(FILE* file) { return file ? fclose(file) : -1; }
