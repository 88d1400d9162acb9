// The log of the runtime, for test programs that link the x87 alone.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "trevik.h"

std::string captured_log;

extern "C" int log_puts(const char* text) {
  captured_log += text;
  captured_log += "\n";
  return 0;
}

extern "C" int log_printf(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(text, sizeof text, format, args);
  va_end(args);
  captured_log += text;
  return n;
}
