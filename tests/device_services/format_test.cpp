// wvsprintfW and wvsprintfA over a Win32 argument list of 32-bit words.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "wce/locale.h"

namespace {

// Argument words laid out from an odd address, as a guest stack may be.
struct Args {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(1);
  Args& word(uint32_t v) {
    uint8_t b[4];
    memcpy(b, &v, 4);
    bytes.insert(bytes.end(), b, b + 4);
    return *this;
  }
  Args& ptr(const void* p) { return word(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p))); }
  Args& real(double d) {
    uint64_t bits;
    memcpy(&bits, &d, 8);
    return word(static_cast<uint32_t>(bits)).word(static_cast<uint32_t>(bits >> 32));
  }
  const void* list() const { return bytes.data() + 1; }
};

}  // namespace

TEST(Format, Win32Conversions) {
  char out[256];
  Args a;
  a.word(5).ptr("x").word(0xFFFFFFFF).word(0x1234ABCD).word('Q').ptr(u"wide").word(0x18000);
  int n = wvsprintfA(out, "%d-%s %u %08lx %c %S %hd", a.list());
  EXPECT_STREQ(out, "5-x 4294967295 1234abcd Q wide -32768");
  EXPECT_EQ(n, static_cast<int>(strlen(out)));
  Args b;
  b.word(static_cast<uint32_t>(-42)).ptr(nullptr).ptr("abc").real(2.5);
  n = wvsprintfA(out, "[%5d|%-4s|%.2s|%6.2f|%%|%q]", b.list());
  EXPECT_STREQ(out, "[  -42|(null)|ab|  2.50|%|%q]");
  EXPECT_EQ(n, static_cast<int>(strlen(out)));
  WCHAR wout[64];
  Args c;
  c.word(7).ptr(u"\u00E9t\u00E9").ptr("8bit").word(u'\u20AC');
  EXPECT_EQ(wvsprintfW(wout, u"%03d %s %S %c", c.list()), 14);
  EXPECT_EQ(std::u16string(wout), std::u16string(u"007 \u00E9t\u00E9 8bit \u20AC"));
}

TEST(Format, OutputStopsAt1024Characters) {
  std::string big(3000, 'z');
  std::vector<char> out(1100, '#');
  Args a;
  a.ptr(big.c_str());
  EXPECT_EQ(wvsprintfA(out.data(), "ab%s", a.list()), 1023);
  EXPECT_EQ(out[1022], 'z');
  EXPECT_EQ(out[1023], 0);
  EXPECT_EQ(out[1024], '#');
  std::vector<WCHAR> wout(1100, u'#');
  std::u16string wbig(5000, u'y');
  Args w;
  w.word(1).ptr(wbig.c_str());
  EXPECT_EQ(wvsprintfW(wout.data(), u"%d%s", w.list()), 1023);
  EXPECT_EQ(wout[1023], 0);
  EXPECT_EQ(wout[1024], u'#');
  // A huge width is held to the limit too.
  Args n;
  n.word(1);
  EXPECT_EQ(wvsprintfA(out.data(), "%99999d", n.list()), 1023);
  EXPECT_EQ(out[1024], '#');
}
