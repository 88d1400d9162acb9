// Sort weights of the device's locale ("word sort" as in Win32: hyphen and
// apostrophe count only when everything else is equal).
#pragma once

#include <cstddef>
#include <string>

#include "wce/locale.h"

struct SortWeights {
  std::u32string primary;    // letters, digits, symbols in their order
  std::u32string accents;    // one per primary weight
  std::u32string cases;      // one per primary weight: 0 lower, 1 upper
  std::u32string special;    // the characters word sort set aside, with position
};

// Weights of `n` characters under the CompareStringW/LCMapStringW flags.
SortWeights sort_weights(const WCHAR* text, size_t n, DWORD flags);
// -1, 0 or 1 in the order of the locale.
int sort_compare(const SortWeights& a, const SortWeights& b, DWORD flags);
