// CompareStringW and LCMapStringW in the device's locale.
#include <cstring>
#include <string>

#include "chars.h"
#include "sortkey.h"
#include "wce/kernel.h"

namespace {

constexpr DWORD kCompareFlags = NORM_IGNORECASE | NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS | NORM_IGNOREKANATYPE |
                                NORM_IGNOREWIDTH | SORT_STRINGSORT;

int fail(DWORD code) {
  SetLastError(code);
  return 0;
}

// A sort key: primary weights, then accents, then cases, each run ended
// by 0x01, then the word-sort characters and a final 0x00. Keys compare
// with memcmp in the order of CompareStringW.
std::string sort_key(const SortWeights& w, DWORD flags) {
  std::string key;
  auto put = [&](const std::u32string& run, bool wide) {
    for (char32_t v : run) {
      if (wide) key += static_cast<char>(((v >> 16) & 0xFF) + 2);
      key += static_cast<char>(((v >> 8) & 0xFF) + 2);  // never 0x00 or 0x01
      key += static_cast<char>((v & 0xFF) + 2);
    }
    key += '\x01';
  };
  put(w.primary, true);
  put((flags & NORM_IGNORENONSPACE) ? std::u32string() : w.accents, false);
  put((flags & NORM_IGNORECASE) ? std::u32string() : w.cases, false);
  put(w.special, true);
  key.back() = 0;
  return key;
}

}  // namespace

extern "C" int CompareStringW(LCID locale, DWORD flags, LPCWSTR s1, int count1, LPCWSTR s2, int count2) {
  if (!s1 || !s2 || !locale_supported(locale)) return fail(ERROR_INVALID_PARAMETER);
  if (flags & ~kCompareFlags) return fail(ERROR_INVALID_FLAGS);
  SortWeights a = sort_weights(s1, locale_text_length(s1, count1, false), flags);
  SortWeights b = sort_weights(s2, locale_text_length(s2, count2, false), flags);
  return CSTR_EQUAL + sort_compare(a, b, flags);
}

extern "C" int LCMapStringW(LCID locale, DWORD flags, LPCWSTR src, int srcCount, LPWSTR dst, int dstCount) {
  if (!src || srcCount == 0 || dstCount < 0 || (dstCount && !dst) || !locale_supported(locale))
    return fail(ERROR_INVALID_PARAMETER);
  DWORD mapping = flags & (LCMAP_LOWERCASE | LCMAP_UPPERCASE | LCMAP_SORTKEY | LCMAP_BYTEREV);
  if ((flags & ~(mapping | kCompareFlags)) || !mapping || (mapping & LCMAP_LOWERCASE && mapping & LCMAP_UPPERCASE) ||
      (mapping & LCMAP_SORTKEY && mapping != LCMAP_SORTKEY) ||
      (!(mapping & LCMAP_SORTKEY) && (flags & kCompareFlags)))
    return fail(ERROR_INVALID_FLAGS);
  if (mapping == LCMAP_SORTKEY) {
    std::string key = sort_key(sort_weights(src, locale_text_length(src, srcCount, false), flags), flags);
    if (dstCount == 0) return static_cast<int>(key.size());
    if (key.size() > static_cast<size_t>(dstCount)) return fail(ERROR_INSUFFICIENT_BUFFER);
    memcpy(dst, key.data(), key.size());
    return static_cast<int>(key.size());
  }
  size_t n = locale_text_length(src, srcCount, true);
  if (dstCount == 0) return static_cast<int>(n);
  if (n > static_cast<size_t>(dstCount)) return fail(ERROR_INSUFFICIENT_BUFFER);
  std::u16string out(src, n);
  for (WCHAR& c : out) {
    if (mapping & LCMAP_LOWERCASE) c = char_lower(c);
    if (mapping & LCMAP_UPPERCASE) c = char_upper(c);
    if (mapping & LCMAP_BYTEREV) c = static_cast<WCHAR>(c << 8 | c >> 8);
  }
  for (size_t i = 0; i < n; i++) dst[i] = out[i];
  return static_cast<int>(n);
}
