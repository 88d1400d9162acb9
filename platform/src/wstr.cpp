#include "wce/wstr.h"

size_t wstr_len(const WCHAR* s) {
  size_t n = 0;
  while (s[n]) n++;
  return n;
}

WCHAR* wstr_copy(WCHAR* dst, const WCHAR* src) {
  size_t i = 0;
  for (; src[i]; i++) dst[i] = src[i];
  dst[i] = 0;
  return dst;
}

std::u16string wstr_folded(const WCHAR* s) {
  std::u16string key;
  for (; *s; s++) key += wstr_fold(*s);
  return key;
}

int wstr_icmp(const WCHAR* a, const WCHAR* b) {
  for (;; a++, b++) {
    WCHAR x = wstr_fold(*a), y = wstr_fold(*b);
    if (x != y || !x) return int(x) - int(y);
  }
}

size_t wstr_copy_n(WCHAR* dst, size_t size, const std::u16string& src) {
  if (size == 0) return 0;
  size_t n = src.size() < size - 1 ? src.size() : size - 1;
  for (size_t i = 0; i < n; i++) dst[i] = src[i];
  dst[n] = 0;
  return n;
}

std::string wstr_to_utf8(const WCHAR* s) {
  std::string out;
  if (!s) return out;
  for (; *s; s++) {
    uint32_t c = *s;
    if (c >= 0xD800 && c < 0xDC00 && s[1] >= 0xDC00 && s[1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[1] - 0xDC00);
      s++;
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12);
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18);
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Bytes that are not valid UTF-8 are taken as Latin-1, so no host name is
// lost on the way to the device.
std::u16string utf8_to_wstr(const char* s) {
  std::u16string out;
  if (!s) return out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  while (*p) {
    uint32_t c = *p;
    int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    bool ok = c < 0x80 || extra > 0;
    for (int i = 1; ok && i <= extra; i++) ok = (p[i] & 0xC0) == 0x80;
    if (!ok || extra == 0) {
      out += char16_t(c);
      p++;
      continue;
    }
    c &= 0x3F >> extra;
    for (int i = 1; i <= extra; i++) c = c << 6 | (p[i] & 0x3F);
    p += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}
