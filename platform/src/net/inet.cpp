// Byte order and dotted addresses. These work without WSAStartup.
#include <cstdio>

#include "net.h"

namespace {

constexpr ULONG kNone = 0xFFFFFFFF;  // INADDR_NONE

thread_local char t_dotted[16];

int digit_value(char c, int base) {
  int v = c >= '0' && c <= '9'   ? c - '0'
          : c >= 'a' && c <= 'f' ? c - 'a' + 10
          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                 : 99;
  return v < base ? v : -1;
}

}  // namespace

extern "C" ULONG ws2_htonl(ULONG value) { return __builtin_bswap32(value); }
extern "C" WORD ws2_htons(WORD value) { return __builtin_bswap16(value); }
extern "C" ULONG ws2_ntohl(ULONG value) { return __builtin_bswap32(value); }
extern "C" WORD ws2_ntohs(WORD value) { return __builtin_bswap16(value); }

// "a.b.c.d", "a.b.c" (c 16 bits), "a.b" (b 24 bits) or "a" (32 bits); each
// part decimal, octal with a leading 0 or hexadecimal with 0x. Nothing may
// follow the address.
extern "C" ULONG ws2_inet_addr(const char* text) {
  if (!text) return kNone;
  uint32_t parts[4];
  int count = 0;
  const char* p = text;
  for (;;) {
    if (*p < '0' || *p > '9') return kNone;
    int base = 10;
    if (*p == '0') {
      base = 8;
      ++p;
      if (*p == 'x' || *p == 'X') {
        base = 16;
        if (digit_value(*++p, 16) < 0) return kNone;
      }
    }
    uint64_t value = 0;
    for (int d; (d = digit_value(*p, base)) >= 0; ++p) {
      value = value * base + d;
      if (value > 0xFFFFFFFF) return kNone;
    }
    if (count == 4) return kNone;
    parts[count++] = static_cast<uint32_t>(value);
    if (*p == 0) break;
    if (*p++ != '.') return kNone;
  }
  // Every part but the last is one byte; the last fills what remains.
  uint32_t result = 0;
  for (int i = 0; i < count - 1; ++i) {
    if (parts[i] > 0xFF) return kNone;
    result |= parts[i] << (24 - 8 * i);
  }
  uint32_t last = parts[count - 1];
  if (count > 1 && last >> (8 * (5 - count))) return kNone;
  return ws2_htonl(result | last);
}

extern "C" char* ws2_inet_ntoa(uint32_t address) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&address);
  snprintf(t_dotted, sizeof t_dotted, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return t_dotted;
}
