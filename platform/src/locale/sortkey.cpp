// Sort weights: symbols sort before digits, digits before letters; letters
// by their base letter, then accent, then case (lower before upper).
#include "sortkey.h"

#include "chars.h"

namespace {

enum : char32_t { kSymbols = 1u << 16, kDigits = 2u << 16, kLetters = 3u << 16, kOther = 4u << 16 };

bool word_sort_special(WCHAR c) { return c == u'-' || c == u'\'' || c == 0xAD; }

int compare_runs(const std::u32string& a, const std::u32string& b) {
  int r = a.compare(b);
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

}  // namespace

SortWeights sort_weights(const WCHAR* text, size_t n, DWORD flags) {
  SortWeights w;
  for (size_t i = 0; i < n; i++) {
    WCHAR c = text[i];
    if (char_nonspacing(c)) {
      // A combining accent adds to the weight of the letter before it.
      if (!w.accents.empty()) w.accents.back() += c;
      continue;
    }
    if (!(flags & SORT_STRINGSORT) && word_sort_special(c)) {
      w.special += static_cast<char32_t>(i) << 16 | c;
      continue;
    }
    WORD type = char_type1(c);
    char32_t primary;
    if (type & C1_ALPHA) {
      WCHAR base = char_upper(char_base(c));
      if (c == 0xDF) base = u'S';
      primary = kLetters | base;
    } else if (type & C1_DIGIT) {
      primary = kDigits | c;
    } else if (type & (C1_PUNCT | C1_SPACE | C1_CNTRL | C1_BLANK)) {
      if (flags & NORM_IGNORESYMBOLS) continue;
      primary = kSymbols | c;
    } else {
      primary = kOther | c;
    }
    WCHAR plain = char_lower(c);
    w.primary += primary;
    w.accents += (type & C1_ALPHA) && char_base(plain) != plain ? char32_t(plain) : char32_t(0);
    w.cases += (type & C1_UPPER) ? 1 : 0;
  }
  return w;
}

int sort_compare(const SortWeights& a, const SortWeights& b, DWORD flags) {
  if (int r = compare_runs(a.primary, b.primary)) return r;
  if (!(flags & NORM_IGNORENONSPACE))
    if (int r = compare_runs(a.accents, b.accents)) return r;
  if (!(flags & NORM_IGNORECASE))
    if (int r = compare_runs(a.cases, b.cases)) return r;
  return compare_runs(a.special, b.special);
}
