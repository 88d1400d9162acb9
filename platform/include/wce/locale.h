// Code pages and the device's one locale (English, United States).
#pragma once

#include <cstddef>

#include "wce/types.h"

typedef DWORD LCID;
typedef DWORD LCTYPE;

enum : UINT {
  CP_ACP = 0,
  CP_OEMCP = 1,
  CP_MACCP = 2,
  CP_THREAD_ACP = 3,
  CP_SYMBOL = 42,
  CP_1252 = 1252,
  CP_UTF8 = 65001,
  MAX_LEADBYTES = 12,
  MAX_DEFAULTCHAR = 2,
};

// Error codes of the locale functions.
enum : DWORD {
  ERROR_INVALID_FLAGS = 1004,
  ERROR_NO_UNICODE_TRANSLATION = 1113,
};

enum : DWORD {
  LOCALE_USER_DEFAULT = 0x0400,
  LOCALE_SYSTEM_DEFAULT = 0x0800,
  LOCALE_NEUTRAL = 0x0000,
  LOCALE_EN_US = 0x0409,

  // MultiByteToWideChar / WideCharToMultiByte
  MB_PRECOMPOSED = 0x1,
  MB_ERR_INVALID_CHARS = 0x8,
  WC_COMPOSITECHECK = 0x200,
  WC_NO_BEST_FIT_CHARS = 0x400,

  // CompareStringW
  NORM_IGNORECASE = 0x1,
  NORM_IGNORENONSPACE = 0x2,
  NORM_IGNORESYMBOLS = 0x4,
  NORM_IGNOREKANATYPE = 0x10000,
  NORM_IGNOREWIDTH = 0x20000,
  SORT_STRINGSORT = 0x1000,
  CSTR_LESS_THAN = 1,
  CSTR_EQUAL = 2,
  CSTR_GREATER_THAN = 3,

  // LCMapStringW
  LCMAP_LOWERCASE = 0x100,
  LCMAP_UPPERCASE = 0x200,
  LCMAP_SORTKEY = 0x400,
  LCMAP_BYTEREV = 0x800,

  // GetStringTypeW
  CT_CTYPE1 = 1,
  CT_CTYPE2 = 2,
  CT_CTYPE3 = 4,
  C1_UPPER = 0x1,
  C1_LOWER = 0x2,
  C1_DIGIT = 0x4,
  C1_SPACE = 0x8,
  C1_PUNCT = 0x10,
  C1_CNTRL = 0x20,
  C1_BLANK = 0x40,
  C1_XDIGIT = 0x80,
  C1_ALPHA = 0x100,

  // GetLocaleInfoW
  LOCALE_NOUSEROVERRIDE = 0x80000000,
  LOCALE_RETURN_NUMBER = 0x20000000,
  LOCALE_ILANGUAGE = 0x1,
  LOCALE_SLANGUAGE = 0x2,
  LOCALE_SABBREVLANGNAME = 0x3,
  LOCALE_SNATIVELANGNAME = 0x4,
  LOCALE_ICOUNTRY = 0x5,
  LOCALE_SCOUNTRY = 0x6,
  LOCALE_SABBREVCTRYNAME = 0x7,
  LOCALE_SNATIVECTRYNAME = 0x8,
  LOCALE_IDEFAULTLANGUAGE = 0x9,
  LOCALE_IDEFAULTCOUNTRY = 0xA,
  LOCALE_IDEFAULTCODEPAGE = 0xB,
  LOCALE_SLIST = 0xC,
  LOCALE_IMEASURE = 0xD,
  LOCALE_SDECIMAL = 0xE,
  LOCALE_STHOUSAND = 0xF,
  LOCALE_SGROUPING = 0x10,
  LOCALE_IDIGITS = 0x11,
  LOCALE_ILZERO = 0x12,
  LOCALE_SNATIVEDIGITS = 0x13,
  LOCALE_SCURRENCY = 0x14,
  LOCALE_SINTLSYMBOL = 0x15,
  LOCALE_SMONDECIMALSEP = 0x16,
  LOCALE_SMONTHOUSANDSEP = 0x17,
  LOCALE_SMONGROUPING = 0x18,
  LOCALE_ICURRDIGITS = 0x19,
  LOCALE_IINTLCURRDIGITS = 0x1A,
  LOCALE_ICURRENCY = 0x1B,
  LOCALE_INEGCURR = 0x1C,
  LOCALE_SDATE = 0x1D,
  LOCALE_STIME = 0x1E,
  LOCALE_SSHORTDATE = 0x1F,
  LOCALE_SLONGDATE = 0x20,
  LOCALE_IDATE = 0x21,
  LOCALE_ILDATE = 0x22,
  LOCALE_ITIME = 0x23,
  LOCALE_ICENTURY = 0x24,
  LOCALE_ITLZERO = 0x25,
  LOCALE_IDAYLZERO = 0x26,
  LOCALE_IMONLZERO = 0x27,
  LOCALE_S1159 = 0x28,
  LOCALE_S2359 = 0x29,
  LOCALE_SDAYNAME1 = 0x2A,
  LOCALE_SABBREVDAYNAME1 = 0x31,
  LOCALE_SMONTHNAME1 = 0x38,
  LOCALE_SABBREVMONTHNAME1 = 0x44,
  LOCALE_SPOSITIVESIGN = 0x50,
  LOCALE_SNEGATIVESIGN = 0x51,
  LOCALE_IDEFAULTANSICODEPAGE = 0x1004,
  LOCALE_SENGLANGUAGE = 0x1001,
  LOCALE_SENGCOUNTRY = 0x1002,
  LOCALE_STIMEFORMAT = 0x1003,
  LOCALE_IFIRSTDAYOFWEEK = 0x100C,
  LOCALE_SISO639LANGNAME = 0x59,
  LOCALE_SISO3166CTRYNAME = 0x5A,
};

struct CPINFO {
  UINT MaxCharSize;
  BYTE DefaultChar[MAX_DEFAULTCHAR];
  BYTE LeadByte[MAX_LEADBYTES];
};
static_assert(sizeof(CPINFO) == 20, "CPINFO layout");

extern "C" {
UINT GetACP(void);
UINT GetOEMCP(void);
BOOL GetCPInfo(UINT codePage, CPINFO* info);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcCount, LPWSTR dst, int dstCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcCount, LPSTR dst, int dstCount,
                        LPCSTR defaultChar, BOOL* usedDefault);
int CompareStringW(LCID locale, DWORD flags, LPCWSTR s1, int count1, LPCWSTR s2, int count2);
int LCMapStringW(LCID locale, DWORD flags, LPCWSTR src, int srcCount, LPWSTR dst, int dstCount);
int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int count);
BOOL GetStringTypeW(DWORD infoType, LPCWSTR src, int count, WORD* types);

// Win32 formatting over an argument list in the Win32 form: consecutive
// 32-bit words (a double takes two), which need not be aligned. At most
// 1,024 characters are written, terminator included; returns the count
// written without the terminator.
int wvsprintfW(LPWSTR out, LPCWSTR format, const void* args);
int wvsprintfA(LPSTR out, LPCSTR format, const void* args);

// The device C runtime's multibyte conversions over 16-bit characters, in
// the device's 8-bit code page. Same contract as the C library's.
size_t ce_mbstowcs(WCHAR* dst, const char* src, size_t count);
size_t ce_wcstombs(char* dst, const WCHAR* src, size_t count);
}
