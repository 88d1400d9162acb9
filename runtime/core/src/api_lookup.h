// Look-up of emulated Win32 functions by name.
#pragma once

#include "trevik.h"

// The host address of the handler named `name` in the API table, or 0
// (logged) when the table has no such row.
u32 FindFunc(const char* name);
