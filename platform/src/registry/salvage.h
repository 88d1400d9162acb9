// Mending a damaged registry store: the damaged file is kept aside for
// whoever wants to look at it, and one line on standard error says what
// happened.
#pragma once

#include <cstddef>
#include <string>

// What reading a journal found.
struct RegScan {
  size_t end = 0;      // just past the last whole record
  size_t records = 0;  // whole records applied
  size_t skipped = 0;  // damaged bytes stepped over
};

// Writes `bytes` (the damaged store) beside `store` under a name that says
// so, flushed. The name, or "" with errno when it could not be written.
std::string reg_set_aside(const std::string& store, const std::string& bytes);
void reg_report_salvage(const std::string& store, const std::string& aside, const RegScan& found);
void reg_report_in_memory(const std::string& store, const char* why);
