// The diagnostic log, "trevik.txt" in the device root. Every call opens,
// appends and closes the file, so each line is on disk when the call
// returns, even if the process dies right after.
#include <cstdarg>

#include "trevik.h"
#include "wce/kernel.h"

static const char kLogName[] = "trevik.txt";

extern "C" int log_printf(const char* format, ...) {
  FILE* file = ce_fopen(kLogName, "a");
  if (!file) return -1;  // no store to write to: the line is dropped
  va_list args;
  va_start(args, format);
  ce_vfprintf(file, format, args);
  va_end(args);
  return ce_fclose(file);
}

extern "C" int log_puts(const char* text) {
  FILE* file = ce_fopen(kLogName, "a");
  if (!file) return -1;
  ce_fprintf(file, "%s\n", text);
  return ce_fclose(file);
}
