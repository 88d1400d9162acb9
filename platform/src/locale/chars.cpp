// Case pairs, classes and accent removal for the characters the device's
// locale knows; every other character is its own case and has no class
// beyond what its block makes obvious.
#include "chars.h"

#include "wce/locale.h"

namespace {

// Latin Extended-A: pairs are (even, odd) except in two runs where the
// upper-case letter sits at the odd position.
bool latin_a_odd_upper(WCHAR c) { return (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E); }

// Base letters of U+00C0..U+00FF; 0 where the character is no accented letter.
const char kLatin1Base[64 + 1] =
    "AAAAAA\0CEEEEIIII\0NOOOOO\0\0UUUUY\0\0aaaaaa\0ceeeeiiii\0nooooo\0\0uuuuy\0y";

}  // namespace

WCHAR char_upper(WCHAR c) {
  if (c >= u'a' && c <= u'z') return c - 32;
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c == 0xB5) return 0x39C;
  if (c >= 0x100 && c <= 0x17F && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
    bool odd_upper = latin_a_odd_upper(c);
    bool is_lower = odd_upper ? (c % 2 == 0) : (c % 2 == 1);
    return is_lower ? c - 1 : c;
  }
  if (c == 0x17F) return u'S';
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  return c;
}

WCHAR char_lower(WCHAR c) {
  if (c >= u'A' && c <= u'Z') return c + 32;
  if (c < 0x80) return c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
    bool odd_upper = latin_a_odd_upper(c);
    bool is_upper = odd_upper ? (c % 2 == 1) : (c % 2 == 0);
    return is_upper ? c + 1 : c;
  }
  if (c == 0x130) return u'i';
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

WCHAR char_base(WCHAR c) {
  if (c >= 0xC0 && c <= 0xFF && kLatin1Base[c - 0xC0]) return static_cast<WCHAR>(kLatin1Base[c - 0xC0]);
  return c;
}

bool char_nonspacing(WCHAR c) { return c >= 0x300 && c <= 0x36F; }

WORD char_type1(WCHAR c) {
  WORD t = 0;
  if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) t |= C1_CNTRL;
  if (c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200B))
    t |= C1_SPACE;
  if (c == u' ' || c == u'\t' || c == 0xA0 || c == 0x3000) t |= C1_BLANK;
  if (c >= u'0' && c <= u'9') t |= C1_DIGIT | C1_XDIGIT;
  if ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')) t |= C1_XDIGIT;
  bool letter = char_upper(c) != char_lower(c) || c == 0xDF || c == 0xAA || c == 0xBA || c == 0x138 ||
                c == 0x149 || (c >= 0x3B1 && c <= 0x3C9) || (c >= 0x4E00 && c <= 0x9FFF);
  if (letter) {
    t |= C1_ALPHA;
    if (char_lower(c) != c) t |= C1_UPPER;
    if (char_upper(c) != c || c == 0xDF || c == 0x138 || c == 0x149) t |= C1_LOWER;
  }
  if (!t && c > 0x20 && c < 0x7F) t |= C1_PUNCT;
  if (!t && c >= 0xA1 && c <= 0xBF) t |= C1_PUNCT;
  if (!t && (c == 0xD7 || c == 0xF7 || (c >= 0x2010 && c <= 0x2044) || c == 0x20AC || c == 0x2122)) t |= C1_PUNCT;
  return t;
}

bool locale_supported(LCID locale) {
  DWORD lang = locale & 0xFFFF;
  return lang == LOCALE_EN_US || lang == LOCALE_USER_DEFAULT || lang == LOCALE_SYSTEM_DEFAULT ||
         lang == LOCALE_NEUTRAL || lang == 0x0009 /* English, no region */;
}

size_t locale_text_length(const WCHAR* text, int count, bool with_terminator) {
  size_t n = 0;
  if (count < 0) {
    while (text[n]) n++;
    return with_terminator ? n + 1 : n;
  }
  while (n < static_cast<size_t>(count) && text[n]) n++;
  return n;
}
