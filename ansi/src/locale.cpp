// CompareStringA, GetLocaleInfoA, GetStringTypeA, LCMapStringA.
#include "convert.h"

// Both strings are converted whole; the counts limit the comparison.
int CompareStringA(LCID Locale, DWORD dwCmpFlags, LPCSTR lpString1, int cchCount1, LPCSTR lpString2,
                   int cchCount2) {
  WideArg a = wide_arg(lpString1);
  WideArg b = wide_arg(lpString2);
  int result = a.ok && b.ok ? CompareStringW(Locale, dwCmpFlags, a.wide, cchCount1, b.wide, cchCount2) : 0;
  release(a);
  release(b);
  return result;
}

int GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData) {
  AnsiOutBuffer out;
  if (!out_own(&out, lpLCData, cchData)) return 0;
  int result = GetLocaleInfoW(Locale, LCType, out.wide, lpLCData ? static_cast<int>(out.count) : cchData);
  finish(out);
  return result;
}

// The locale is dropped: the device has one.
BOOL GetStringTypeA(LCID Locale, DWORD dwInfoType, LPCSTR lpSrcStr, int cchSrc, WORD* lpCharType) {
  WideArg source = wide_arg(lpSrcStr);
  BOOL result = source.ok ? GetStringTypeW(dwInfoType, source.wide, cchSrc, lpCharType) : FALSE;
  release(source);
  return result;
}

int LCMapStringA(LCID Locale, DWORD dwMapFlags, LPCSTR lpSrcStr, int cchSrc, LPSTR lpDestStr, int cchDest) {
  WideArg source = wide_arg(lpSrcStr);
  AnsiOutBuffer out;
  int result = 0;
  if (source.ok && out_own(&out, lpDestStr, cchDest)) {
    result = LCMapStringW(Locale, dwMapFlags, source.wide, cchSrc, out.wide,
                          lpDestStr ? static_cast<int>(out.count) : cchDest);
    finish(out);
  }
  release(source);
  return result;
}
