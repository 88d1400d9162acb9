// Helpers shared by the runtime core tests.
#pragma once

#include <string>
#include <vector>

#include "guest_call.h"
#include "trevik.h"

// The lines of the log as it stands.
std::vector<std::string> log_lines();
// A descriptor for a native-style test module covering [base, base + len).
ModuleInfo test_module(const char* name, u32 base, u32 len);
