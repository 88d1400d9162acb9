// Used: a message noted in the log once per distinct text pointer.
#include <cstdlib>

#include "fatal.h"
#include "trevik.h"

static const char** g_used = static_cast<const char**>(malloc(sizeof(const char*)));
static u32 g_used_capacity = 1;
static u32 g_used_count = 0;

extern "C" int Used(const char* text, ...) {
  for (u32 i = 0; i < g_used_count; i++)
    if (g_used[i] == text) return static_cast<int>(i);
  g_used[g_used_count++] = text;
  if (g_used_count >= g_used_capacity) {
    g_used_capacity += 64;
    const char** grown = static_cast<const char**>(realloc(g_used, g_used_capacity * sizeof(const char*)));
    if (!grown) fatal_box("Not enough memory.");
    g_used = grown;
  }
  log_puts(text);
  return static_cast<int>(g_used_count - 1);
}
