// wvsprintfW and wvsprintfA: Win32 formatting over an argument list of
// consecutive 32-bit words (the x86 and Windows CE va_list), which may be
// unaligned. Output stops at 1,024 characters, terminator included, as in
// Win32. Besides the Win32 conversions (c C d i u x X s S with h and l) the
// C library's o p e E f F g G and ll are known, so that formats written for
// vsprintf also work; %n writes nothing.
#include <cstdio>
#include <cstring>
#include <string>

#include "wce/locale.h"

namespace {

constexpr size_t kLimit = 1024;

struct ArgReader {
  const unsigned char* next;
  uint32_t word() {
    uint32_t v;
    memcpy(&v, next, 4);
    next += 4;
    return v;
  }
  uint64_t dword() {
    uint64_t lo = word();
    return lo | static_cast<uint64_t>(word()) << 32;
  }
  double real() {
    uint64_t bits = dword();
    double d;
    memcpy(&d, &bits, 8);
    return d;
  }
};

template <typename Char>
struct Sink {
  Char* out;
  size_t used;
  void put(Char c) {
    if (used < kLimit - 1) out[used++] = c;
  }
  void repeat(Char c, int n) {
    for (; n > 0; n--) put(c);
  }
};

struct Spec {
  bool left, plus, space, alt, zero;
  int width, precision;  // -1 when not given
  int size;              // -1 h, 0 none, 1 l, 2 ll
  char conv;
};

// Formats one number with the C library, under the same flags.
std::string host_number(const Spec& s, ArgReader& args) {
  char fmt[32];
  char* f = fmt;
  *f++ = '%';
  if (s.left) *f++ = '-';
  if (s.plus) *f++ = '+';
  if (s.space) *f++ = ' ';
  if (s.alt) *f++ = '#';
  if (s.zero) *f++ = '0';
  *f++ = '*';
  *f++ = '.';
  *f++ = '*';
  bool real = strchr("eEfFgG", s.conv) != nullptr;
  if (!real && s.size == 2) *f++ = 'l', *f++ = 'l';
  *f++ = s.conv == 'i' ? 'd' : s.conv;
  *f = 0;
  int width = s.width < 0 ? 0 : s.width;
  int precision = s.precision;
  char buffer[kLimit + 64];
  if (real) {
    double v = args.real();
    snprintf(buffer, sizeof buffer, fmt, width, precision, v);
  } else if (s.size == 2) {
    unsigned long long v = args.dword();
    snprintf(buffer, sizeof buffer, fmt, width, precision, v);
  } else {
    uint32_t v = args.word();
    if (s.size == -1) v = (s.conv == 'd' || s.conv == 'i') ? uint32_t(int16_t(v)) : uint32_t(uint16_t(v));
    snprintf(buffer, sizeof buffer, fmt, width, precision, v);
  }
  return buffer;
}

template <typename Char, typename StrChar>
void put_text(Sink<Char>& sink, const Spec& s, const StrChar* text, size_t n) {
  if (s.precision >= 0 && n > static_cast<size_t>(s.precision)) n = static_cast<size_t>(s.precision);
  int pad = s.width > static_cast<int>(n) ? s.width - static_cast<int>(n) : 0;
  if (!s.left) sink.repeat(Char(' '), pad);
  for (size_t i = 0; i < n; i++) sink.put(static_cast<Char>(text[i]));
  if (s.left) sink.repeat(Char(' '), pad);
}

template <typename StrChar>
size_t text_length(const StrChar* text, int precision) {
  size_t n = 0;
  while ((precision < 0 || n < static_cast<size_t>(precision)) && text[n]) n++;
  return n;
}

// The core: `Char` is the output and format width; a conversion is wide
// when its letter is the own-width one (s, c) for the wide formatter, or
// the other one (S, C) for the 8-bit formatter, unless h or l says so.
template <typename Char>
int format(Char* out, const Char* fmt, const void* list) {
  Sink<Char> sink{out, 0};
  ArgReader args{static_cast<const unsigned char*>(list)};
  constexpr bool kWide = sizeof(Char) == 2;
  for (const Char* p = fmt; *p; p++) {
    if (*p != Char('%')) {
      sink.put(*p);
      continue;
    }
    const Char* start = p;
    Spec s{false, false, false, false, false, -1, -1, 0, 0};
    for (p++;; p++) {
      if (*p == Char('-')) s.left = true;
      else if (*p == Char('+')) s.plus = true;
      else if (*p == Char(' ')) s.space = true;
      else if (*p == Char('#')) s.alt = true;
      else if (*p == Char('0')) s.zero = true;
      else break;
    }
    auto number = [&](int* field) {
      if (*p == Char('*')) {
        *field = static_cast<int32_t>(args.word());
        p++;
        return;
      }
      if (*p < Char('0') || *p > Char('9')) return;
      int v = 0;
      for (; *p >= Char('0') && *p <= Char('9'); p++) v = v < 100000 ? v * 10 + (*p - Char('0')) : v;
      *field = v;
    };
    number(&s.width);
    if (s.width < -1) s.left = true, s.width = -s.width;
    if (*p == Char('.')) {
      p++;
      s.precision = 0;
      number(&s.precision);
    }
    if (s.width > static_cast<int>(kLimit)) s.width = kLimit;
    if (s.precision > static_cast<int>(kLimit)) s.precision = kLimit;
    for (;; p++) {
      if (*p == Char('h')) s.size = -1;
      else if (*p == Char('l')) s.size = s.size == 1 ? 2 : 1;
      else if (*p == Char('L') || *p == Char('w')) s.size = 1;
      else if (*p == Char('I') && p[1] == Char('6') && p[2] == Char('4')) s.size = 2, p += 2;
      else break;
    }
    if (!*p) break;
    char conv = *p < 0x80 ? static_cast<char>(*p) : 0;
    s.conv = conv;
    switch (conv) {
      case '%':
        sink.put(Char('%'));
        break;
      case 'c':
      case 'C': {
        bool wide = s.size == 1 || (s.size == 0 && (conv == 'c') == kWide);
        uint32_t v = args.word();
        Char c = wide ? static_cast<Char>(static_cast<WCHAR>(v)) : static_cast<Char>(static_cast<unsigned char>(v));
        put_text(sink, s, &c, 1);
        break;
      }
      case 's':
      case 'S': {
        bool wide = s.size == 1 || (s.size == 0 && (conv == 's') == kWide);
        uintptr_t address = args.word();
        if (!address) {
          put_text(sink, s, "(null)", text_length("(null)", s.precision));
        } else if (wide) {
          const WCHAR* text = reinterpret_cast<const WCHAR*>(address);
          put_text(sink, s, text, text_length(text, s.precision));
        } else {
          const unsigned char* text = reinterpret_cast<const unsigned char*>(address);
          put_text(sink, s, text, text_length(text, s.precision));
        }
        break;
      }
      case 'd': case 'i': case 'u': case 'o': case 'x': case 'X':
      case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': {
        std::string text = host_number(s, args);
        for (char c : text) sink.put(static_cast<Char>(static_cast<unsigned char>(c)));
        break;
      }
      case 'p': {
        Spec hex = s;
        hex.conv = 'X';
        hex.size = 0;
        if (hex.precision < 0) hex.precision = 8;
        std::string text = host_number(hex, args);
        for (char c : text) sink.put(static_cast<Char>(c));
        break;
      }
      case 'n':
        args.word();
        break;
      default:
        // Not a conversion: the text stands as written, as in Win32.
        for (const Char* q = start; q <= p; q++) sink.put(*q);
        break;
    }
  }
  out[sink.used] = 0;
  return static_cast<int>(sink.used);
}

}  // namespace

extern "C" int wvsprintfW(LPWSTR out, LPCWSTR format_text, const void* args) {
  return format<WCHAR>(out, format_text, args);
}

extern "C" int wvsprintfA(LPSTR out, LPCSTR format_text, const void* args) {
  return format<char>(out, format_text, args);
}
