// GetLocaleInfoW: the facts of English (United States), the device's only
// locale.

#include "chars.h"
#include "wce/kernel.h"

namespace {

struct LocaleFact {
  LCTYPE type;
  const char16_t* text;
};

const LocaleFact kFacts[] = {
    {LOCALE_ILANGUAGE, u"0409"},
    {LOCALE_SLANGUAGE, u"English (United States)"},
    {LOCALE_SENGLANGUAGE, u"English"},
    {LOCALE_SABBREVLANGNAME, u"ENU"},
    {LOCALE_SNATIVELANGNAME, u"English"},
    {LOCALE_ICOUNTRY, u"1"},
    {LOCALE_SCOUNTRY, u"United States"},
    {LOCALE_SENGCOUNTRY, u"United States"},
    {LOCALE_SABBREVCTRYNAME, u"USA"},
    {LOCALE_SNATIVECTRYNAME, u"United States"},
    {LOCALE_IDEFAULTLANGUAGE, u"0409"},
    {LOCALE_IDEFAULTCOUNTRY, u"1"},
    {LOCALE_IDEFAULTCODEPAGE, u"437"},
    {LOCALE_IDEFAULTANSICODEPAGE, u"1252"},
    {LOCALE_SLIST, u","},
    {LOCALE_IMEASURE, u"1"},
    {LOCALE_SDECIMAL, u"."},
    {LOCALE_STHOUSAND, u","},
    {LOCALE_SGROUPING, u"3;0"},
    {LOCALE_IDIGITS, u"2"},
    {LOCALE_ILZERO, u"1"},
    {LOCALE_SNATIVEDIGITS, u"0123456789"},
    {LOCALE_SCURRENCY, u"$"},
    {LOCALE_SINTLSYMBOL, u"USD"},
    {LOCALE_SMONDECIMALSEP, u"."},
    {LOCALE_SMONTHOUSANDSEP, u","},
    {LOCALE_SMONGROUPING, u"3;0"},
    {LOCALE_ICURRDIGITS, u"2"},
    {LOCALE_IINTLCURRDIGITS, u"2"},
    {LOCALE_ICURRENCY, u"0"},
    {LOCALE_INEGCURR, u"0"},
    {LOCALE_SDATE, u"/"},
    {LOCALE_STIME, u":"},
    {LOCALE_SSHORTDATE, u"M/d/yyyy"},
    {LOCALE_SLONGDATE, u"dddd, MMMM dd, yyyy"},
    {LOCALE_STIMEFORMAT, u"h:mm:ss tt"},
    {LOCALE_IDATE, u"0"},
    {LOCALE_ILDATE, u"0"},
    {LOCALE_ITIME, u"0"},
    {LOCALE_ICENTURY, u"1"},
    {LOCALE_ITLZERO, u"0"},
    {LOCALE_IDAYLZERO, u"0"},
    {LOCALE_IMONLZERO, u"0"},
    {LOCALE_S1159, u"AM"},
    {LOCALE_S2359, u"PM"},
    {LOCALE_IFIRSTDAYOFWEEK, u"6"},
    {LOCALE_SPOSITIVESIGN, u""},
    {LOCALE_SNEGATIVESIGN, u"-"},
    {LOCALE_SISO639LANGNAME, u"en"},
    {LOCALE_SISO3166CTRYNAME, u"US"},
};

const char16_t* const kDays[] = {u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday", u"Sunday"};
const char16_t* const kShortDays[] = {u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat", u"Sun"};
const char16_t* const kMonths[] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                   u"July",    u"August",   u"September", u"October", u"November", u"December",
                                   u""};
const char16_t* const kShortMonths[] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul",
                                        u"Aug", u"Sep", u"Oct", u"Nov", u"Dec", u""};

const char16_t* fact(LCTYPE type) {
  if (type >= LOCALE_SDAYNAME1 && type < LOCALE_SDAYNAME1 + 7) return kDays[type - LOCALE_SDAYNAME1];
  if (type >= LOCALE_SABBREVDAYNAME1 && type < LOCALE_SABBREVDAYNAME1 + 7)
    return kShortDays[type - LOCALE_SABBREVDAYNAME1];
  if (type >= LOCALE_SMONTHNAME1 && type < LOCALE_SMONTHNAME1 + 13) return kMonths[type - LOCALE_SMONTHNAME1];
  if (type >= LOCALE_SABBREVMONTHNAME1 && type < LOCALE_SABBREVMONTHNAME1 + 13)
    return kShortMonths[type - LOCALE_SABBREVMONTHNAME1];
  for (const LocaleFact& f : kFacts)
    if (f.type == type) return f.text;
  return nullptr;
}

int fail(DWORD code) {
  SetLastError(code);
  return 0;
}

}  // namespace

extern "C" int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int count) {
  if (count < 0 || (count && !data) || !locale_supported(locale)) return fail(ERROR_INVALID_PARAMETER);
  const char16_t* text = fact(type & ~DWORD(LOCALE_NOUSEROVERRIDE | LOCALE_RETURN_NUMBER));
  if (!text) return fail(ERROR_INVALID_FLAGS);
  if (type & LOCALE_RETURN_NUMBER) {
    // The number in two characters' room; only numeric facts have one.
    // LOCALE_ILANGUAGE and LOCALE_IDEFAULTLANGUAGE are hexadecimal.
    LCTYPE base = type & 0xFFFF;
    bool hex = base == LOCALE_ILANGUAGE || base == LOCALE_IDEFAULTLANGUAGE;
    DWORD value = 0;
    if (!*text) return fail(ERROR_INVALID_FLAGS);
    for (const char16_t* p = text; *p; p++) {
      int digit = *p >= u'0' && *p <= u'9' ? *p - u'0' : *p >= u'A' && *p <= u'F' ? *p - u'A' + 10 : -1;
      if (digit < 0 || (!hex && digit > 9)) return fail(ERROR_INVALID_FLAGS);
      value = value * (hex ? 16 : 10) + static_cast<DWORD>(digit);
    }
    if (count == 0) return 2;
    if (count < 2) return fail(ERROR_INSUFFICIENT_BUFFER);
    data[0] = static_cast<WCHAR>(value);
    data[1] = static_cast<WCHAR>(value >> 16);
    return 2;
  }
  size_t n = 0;
  while (text[n]) n++;
  if (count == 0) return static_cast<int>(n + 1);
  if (n + 1 > static_cast<size_t>(count)) return fail(ERROR_INSUFFICIENT_BUFFER);
  for (size_t i = 0; i <= n; i++) data[i] = text[i];
  return static_cast<int>(n + 1);
}
