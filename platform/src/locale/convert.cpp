// MultiByteToWideChar and WideCharToMultiByte over the device's code
// pages, and the C runtime's mbstowcs/wcstombs in the device's 8-bit page.
#include <cstring>
#include <string>

#include "codepage.h"
#include "wce/kernel.h"
#include "wce/wstr.h"

namespace {

bool fail(DWORD code) {
  SetLastError(code);
  return false;
}

// Decodes UTF-8 into `out`; returns false on an invalid sequence when
// `strict`, otherwise puts U+FFFD in its place.
bool utf8_decode(const unsigned char* s, size_t n, bool strict, std::u16string& out) {
  size_t i = 0;
  while (i < n) {
    uint32_t c = s[i];
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    bool ok = len != 0 && i + len <= n;
    if (ok && len > 1) {
      c &= 0xFF >> (len + 1);
      for (size_t k = 1; k < len && ok; k++) {
        ok = (s[i + k] & 0xC0) == 0x80;
        c = c << 6 | (s[i + k] & 0x3F);
      }
      static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
      ok = ok && c >= kMin[len] && c <= 0x10FFFF && !(c >= 0xD800 && c < 0xE000);
    }
    if (!ok) {
      if (strict) return false;
      out += u'\xFFFD';
      i++;
      while (i < n && (s[i] & 0xC0) == 0x80) i++;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<WCHAR>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<WCHAR>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<WCHAR>(c);
    }
    i += len;
  }
  return true;
}

void utf8_encode(const WCHAR* s, size_t n, std::string& out) {
  for (size_t i = 0; i < n; i++) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      i++;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
}

// Single-byte encoding; returns whether a character had no byte.
bool sbcs_encode(const CodePage* page, const WCHAR* s, size_t n, char fallback, std::string& out) {
  bool defaulted = false;
  for (size_t i = 0; i < n; i++) {
    int b = codepage_byte(page, s[i]);
    if (b < 0) {
      defaulted = true;
      b = static_cast<unsigned char>(fallback);
    }
    out += static_cast<char>(b);
  }
  return defaulted;
}

void sbcs_decode(const CodePage* page, const unsigned char* s, size_t n, std::u16string& out) {
  for (size_t i = 0; i < n; i++) out += s[i] < 0x80 ? WCHAR(s[i]) : page->high[s[i] - 0x80];
}

template <typename Char>
int deliver(const std::basic_string<Char>& text, Char* dst, int dstCount) {
  if (dstCount == 0) return static_cast<int>(text.size());
  if (text.size() > static_cast<size_t>(dstCount)) return fail(ERROR_INSUFFICIENT_BUFFER), 0;
  for (size_t i = 0; i < text.size(); i++) dst[i] = text[i];
  return static_cast<int>(text.size());
}

}  // namespace

extern "C" int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcCount, LPWSTR dst,
                                   int dstCount) {
  if (!src || srcCount == 0 || srcCount < -1 || dstCount < 0 || (dstCount && !dst) ||
      (dst && static_cast<const void*>(src) == static_cast<const void*>(dst)))
    return fail(ERROR_INVALID_PARAMETER), 0;
  UINT page = codepage_resolve(codePage);
  if (!codepage_known(page)) return fail(ERROR_INVALID_PARAMETER), 0;
  if (page == CP_UTF8 && (flags & ~DWORD(MB_ERR_INVALID_CHARS))) return fail(ERROR_INVALID_FLAGS), 0;
  size_t n = srcCount == -1 ? strlen(src) + 1 : static_cast<size_t>(srcCount);
  auto bytes = reinterpret_cast<const unsigned char*>(src);
  std::u16string text;
  if (page == CP_UTF8) {
    if (!utf8_decode(bytes, n, (flags & MB_ERR_INVALID_CHARS) != 0, text))
      return fail(ERROR_NO_UNICODE_TRANSLATION), 0;
  } else {
    sbcs_decode(codepage_table(page), bytes, n, text);
  }
  return deliver(text, dst, dstCount);
}

extern "C" int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcCount, LPSTR dst, int dstCount,
                                   LPCSTR defaultChar, BOOL* usedDefault) {
  if (!src || srcCount == 0 || srcCount < -1 || dstCount < 0 || (dstCount && !dst) ||
      (dst && static_cast<const void*>(src) == static_cast<const void*>(dst)))
    return fail(ERROR_INVALID_PARAMETER), 0;
  UINT page = codepage_resolve(codePage);
  if (!codepage_known(page)) return fail(ERROR_INVALID_PARAMETER), 0;
  size_t n = srcCount == -1 ? wstr_len(src) + 1 : static_cast<size_t>(srcCount);
  std::string text;
  if (page == CP_UTF8) {
    if (defaultChar || usedDefault) return fail(ERROR_INVALID_PARAMETER), 0;
    utf8_encode(src, n, text);
  } else {
    bool defaulted = sbcs_encode(codepage_table(page), src, n, defaultChar ? *defaultChar : '?', text);
    if (usedDefault) *usedDefault = defaulted ? TRUE : FALSE;
  }
  return deliver(text, dst, dstCount);
}

// The device C runtime's conversions. A character with no 8-bit form
// becomes '?' (the converted text stays whole and terminated).
extern "C" size_t ce_mbstowcs(WCHAR* dst, const char* src, size_t count) {
  size_t n = strlen(src);
  std::u16string text;
  auto bytes = reinterpret_cast<const unsigned char*>(src);
  if (const CodePage* page = codepage_table(CP_ACP))
    sbcs_decode(page, bytes, n, text);
  else
    utf8_decode(bytes, n, false, text);
  if (!dst) return text.size();
  size_t i = 0;
  for (; i < text.size() && i < count; i++) dst[i] = text[i];
  if (i < count) dst[i] = 0;
  return i;
}

extern "C" size_t ce_wcstombs(char* dst, const WCHAR* src, size_t count) {
  std::string text;
  if (const CodePage* page = codepage_table(CP_ACP))
    sbcs_encode(page, src, wstr_len(src), '?', text);
  else
    utf8_encode(src, wstr_len(src), text);
  if (!dst) return text.size();
  size_t i = 0;
  for (; i < text.size() && i < count; i++) dst[i] = text[i];
  if (i < count) dst[i] = 0;
  return i;
}
