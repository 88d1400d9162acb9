// GetStringTypeW: character classes of the device's locale.
#include "chars.h"
#include "wce/kernel.h"

namespace {

enum : WORD {
  C2_LEFTTORIGHT = 1,
  C2_EUROPENUMBER = 3,
  C2_EUROPESEPARATOR = 4,
  C2_EUROPETERMINATOR = 5,
  C2_COMMONSEPARATOR = 7,
  C2_WHITESPACE = 10,
  C2_OTHERNEUTRAL = 11,
  C2_NOTAPPLICABLE = 0,
  C3_NONSPACING = 0x1,
  C3_DIACRITIC = 0x2,
  C3_SYMBOL = 0x8,
  C3_ALPHA = 0x8000,
};

WORD type2(WCHAR c, WORD t1) {
  if (t1 & C1_ALPHA) return C2_LEFTTORIGHT;
  if (t1 & C1_DIGIT) return C2_EUROPENUMBER;
  if (c == u'+' || c == u'-') return C2_EUROPESEPARATOR;
  if (c == u'#' || c == u'$' || c == u'%' || (c >= 0xA2 && c <= 0xA5) || c == 0xB0 || c == 0x20AC)
    return C2_EUROPETERMINATOR;
  if (c == u',' || c == u'.' || c == u'/' || c == u':') return C2_COMMONSEPARATOR;
  if (t1 & C1_SPACE) return C2_WHITESPACE;
  if (t1 & C1_PUNCT) return C2_OTHERNEUTRAL;
  return C2_NOTAPPLICABLE;
}

WORD type3(WCHAR c, WORD t1) {
  WORD t = 0;
  if (t1 & C1_ALPHA) t |= C3_ALPHA;
  if (char_nonspacing(c)) t |= C3_NONSPACING | C3_DIACRITIC;
  if (t1 & C1_PUNCT) t |= C3_SYMBOL;
  return t;
}

}  // namespace

extern "C" BOOL GetStringTypeW(DWORD infoType, LPCWSTR src, int count, WORD* types) {
  if (!src || !types || count == 0 || (infoType != CT_CTYPE1 && infoType != CT_CTYPE2 && infoType != CT_CTYPE3)) {
    SetLastError(infoType > DWORD(CT_CTYPE3) || infoType == 0 ? DWORD(ERROR_INVALID_FLAGS) : DWORD(ERROR_INVALID_PARAMETER));
    return FALSE;
  }
  // Every counted character gets its type, a terminator included; -1 stops
  // at the terminator (which gets none).
  size_t n = count < 0 ? locale_text_length(src, -1, false) : static_cast<size_t>(count);
  for (size_t i = 0; i < n; i++) {
    WORD t1 = char_type1(src[i]);
    types[i] = infoType == CT_CTYPE1 ? t1 : infoType == CT_CTYPE2 ? type2(src[i], t1) : type3(src[i], t1);
  }
  return TRUE;
}
