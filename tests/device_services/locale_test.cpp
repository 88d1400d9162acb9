// Code pages and the locale's comparisons, mappings, classes and facts.
#include <gtest/gtest.h>

#include <string>

#include "wce/locale.h"
#include "wce/kernel.h"

TEST(CodePage, Windows1252BothWays) {
  const char bytes[] = "\x80\x81\x9F\xE9" "A";
  WCHAR wide[8] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, bytes, -1, wide, 8), 6);
  EXPECT_EQ(std::u16string(wide), std::u16string(u"\u20AC\u0081\u0178\u00E9A"));
  char back[8] = {};
  BOOL defaulted = TRUE;
  EXPECT_EQ(WideCharToMultiByte(1252, 0, wide, -1, back, 8, nullptr, &defaulted), 6);
  EXPECT_STREQ(back, bytes);
  EXPECT_FALSE(defaulted);
  // A character with no byte becomes the default character.
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u4E00b", 3, back, 8, "#", &defaulted), 3);
  EXPECT_EQ(std::string(back, 3), "a#b");
  EXPECT_TRUE(defaulted);
  EXPECT_EQ(GetACP(), 1252u);
  EXPECT_EQ(GetOEMCP(), 437u);
  WCHAR oem[2];
  EXPECT_EQ(MultiByteToWideChar(CP_OEMCP, 0, "\xC4", 1, oem, 2), 1);
  EXPECT_EQ(oem[0], 0x2500);
}

TEST(CodePage, SizesAndFailures) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
  WCHAR two[2];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, two, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(MultiByteToWideChar(12345, 0, "abc", 3, two, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, two, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CPINFO info;
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  EXPECT_EQ(info.MaxCharSize, 1u);
  EXPECT_EQ(info.DefaultChar[0], '?');
  EXPECT_FALSE(GetCPInfo(999, &info));
}

TEST(CodePage, Utf8WithSurrogatesAndBadBytes) {
  const char text[] = "\xF0\x9F\x98\x80\xC3\xA9";
  WCHAR wide[4];
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 6, wide, 4), 3);
  EXPECT_EQ(wide[0], 0xD83D);
  EXPECT_EQ(wide[1], 0xDE00);
  EXPECT_EQ(wide[2], 0xE9);
  char back[8];
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, 3, back, 8, nullptr, nullptr), 6);
  EXPECT_EQ(std::string(back, 6), std::string(text, 6));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3", 2, wide, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xC3", 2, wide, 4), 2);
  EXPECT_EQ(wide[1], 0xFFFD);
}

TEST(CodePage, RuntimeConversionsStopAtCount) {
  WCHAR wide[4] = {9, 9, 9, 9};
  EXPECT_EQ(ce_mbstowcs(wide, "ab\xE9", 4), 3u);
  EXPECT_EQ(wide[2], 0xE9);
  EXPECT_EQ(wide[3], 0);
  char bytes[4] = {9, 9, 9, 9};
  EXPECT_EQ(ce_wcstombs(bytes, u"abcdef", 3), 3u);
  EXPECT_EQ(bytes[3], 9);  // no room for the terminator: none written
  EXPECT_EQ(ce_wcstombs(nullptr, u"abcdef", 0), 6u);
}

TEST(Locale, CompareOrdersLikeWin32) {
  auto cmp = [](const char16_t* a, const char16_t* b, DWORD flags = 0) {
    return CompareStringW(0x409, flags, a, -1, b, -1);
  };
  EXPECT_EQ(cmp(u"a", u"A"), CSTR_LESS_THAN);  // lower case first
  EXPECT_EQ(cmp(u"A", u"b"), CSTR_LESS_THAN);  // case only breaks ties
  EXPECT_EQ(cmp(u"e", u"\u00E9"), CSTR_LESS_THAN);
  EXPECT_EQ(cmp(u"\u00E9", u"f"), CSTR_LESS_THAN);
  EXPECT_EQ(cmp(u"coop", u"co-op"), CSTR_LESS_THAN);  // word sort
  EXPECT_EQ(cmp(u"co-op", u"cop"), CSTR_LESS_THAN);
  EXPECT_EQ(cmp(u"!", u"1"), CSTR_LESS_THAN);
  EXPECT_EQ(cmp(u"9", u"a"), CSTR_LESS_THAN);
  EXPECT_EQ(cmp(u"HeLLo", u"hello", NORM_IGNORECASE), CSTR_EQUAL);
  EXPECT_EQ(cmp(u"r\u00E9sum\u00E9", u"resume", NORM_IGNORENONSPACE), CSTR_EQUAL);
  EXPECT_EQ(cmp(u"a.b", u"ab", NORM_IGNORESYMBOLS), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(0x409, 0, u"abcX", 3, u"abcY", 3), CSTR_EQUAL);
  // A count longer than the string stops at its terminator.
  EXPECT_EQ(CompareStringW(0x409, 0, u"ab", 50, u"ab", 2), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(0x407, 0, u"a", -1, u"a", -1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CompareStringW(0x409, 0x40000000, u"a", -1, u"a", -1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
}

TEST(Locale, MapCaseAndSortKeys) {
  WCHAR out[16];
  EXPECT_EQ(LCMapStringW(0x409, LCMAP_UPPERCASE, u"stra\u00DFe \u00E9\u0153", -1, out, 16), 10);
  EXPECT_EQ(std::u16string(out), std::u16string(u"STRA\u00DFE \u00C9\u0152"));
  EXPECT_EQ(LCMapStringW(0x409, LCMAP_LOWERCASE, u"\u0178\u0410Z", 3, out, 16), 3);
  EXPECT_EQ(std::u16string(out, 3), std::u16string(u"\u00FF\u0430z"));
  EXPECT_EQ(LCMapStringW(0x409, LCMAP_UPPERCASE, u"abc", -1, nullptr, 0), 4);
  EXPECT_EQ(LCMapStringW(0x409, LCMAP_UPPERCASE, u"abc", -1, out, 3), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(LCMapStringW(0x409, LCMAP_UPPERCASE | LCMAP_LOWERCASE, u"abc", -1, out, 16), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
  // Sort keys order as CompareStringW does.
  const char16_t* words[] = {u"!", u"9", u"a", u"A", u"coop", u"co-op", u"\u00E9", u"f"};
  std::string previous;
  for (const char16_t* w : words) {
    char key[64];
    int n = LCMapStringW(0x409, LCMAP_SORTKEY, w, -1, reinterpret_cast<LPWSTR>(key), sizeof key);
    ASSERT_GT(n, 0);
    std::string k(key, static_cast<size_t>(n));
    EXPECT_LT(previous, k);
    previous = k;
  }
}

TEST(Locale, TypesAndFacts) {
  WORD types[6];
  ASSERT_TRUE(GetStringTypeW(CT_CTYPE1, u"aZ5 .\u00E9", 6, types));
  EXPECT_EQ(types[0], C1_ALPHA | C1_LOWER | C1_XDIGIT);
  EXPECT_EQ(types[1], C1_ALPHA | C1_UPPER);
  EXPECT_EQ(types[2], C1_DIGIT | C1_XDIGIT);
  EXPECT_EQ(types[3], C1_SPACE | C1_BLANK);
  EXPECT_EQ(types[4], C1_PUNCT);
  EXPECT_EQ(types[5], C1_ALPHA | C1_LOWER);
  WCHAR text[32];
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, nullptr, 0), 8);
  EXPECT_EQ(GetLocaleInfoW(0x409, LOCALE_SENGLANGUAGE, text, 32), 8);
  EXPECT_EQ(std::u16string(text), u"English");
  EXPECT_EQ(GetLocaleInfoW(0x409, LOCALE_SENGLANGUAGE, text, 7), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(GetLocaleInfoW(0x409, LOCALE_SMONTHNAME1 + 11, text, 32), 9);
  EXPECT_EQ(std::u16string(text), u"December");
  DWORD number = 0;
  EXPECT_EQ(GetLocaleInfoW(0x409, LOCALE_ILANGUAGE | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&number), 2), 2);
  EXPECT_EQ(number, 0x409u);
  EXPECT_EQ(GetLocaleInfoW(0x409, 0x7777, text, 32), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
}
