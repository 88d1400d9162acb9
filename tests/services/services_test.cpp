// The serial, registry, locale and string handlers, called as the guest
// calls them: arguments pushed right to left, the return address, a stack
// at an odd address, entry through HandleDefault with the tagged address
// that binding stored in the import slot.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "guest_call.h"
#include "wce/device.h"
#include "wce/locale.h"
#include "wce/registry.h"

namespace {

constexpr u32 kBase = 0x32000000;

const char* const kNames[] = {
    "ClearCommBreak", "ClearCommError", "GetCommModemStatus", "GetCommState", "GetCommTimeouts",
    "SetCommBreak", "SetCommState", "SetCommTimeouts", "SetupComm", "RegCloseKey", "RegCreateKeyA",
    "RegOpenKeyExA", "RegQueryValueExA", "RegSetValueExA", "CompareStringA", "CompareStringW", "GetACP",
    "GetCPInfo", "GetLocaleInfoA", "GetLocaleInfoW", "GetOEMCP", "GetStringTypeA", "GetStringTypeW",
    "LCMapStringA", "LCMapStringW", "MultiByteToWideChar", "WideCharToMultiByte", "lstrcatA", "lstrcpyA",
    "lstrlenA", "wsprintfA", "wsprintfW", "Netbios", "OutputDebugStringA", "waveOutOpen",
    "waveOutGetDevCapsA", "waveOutClose", "waveOutReset", "waveOutGetID", "waveOutSetVolume",
    "waveOutPrepareHeader", "waveOutUnprepareHeader", "waveOutWrite", "waveOutGetNumDevs", "GetDC", "ReleaseDC",
    "CreateCompatibleDC", "DeleteDC", "DeleteObject", "SelectObject", "GetDeviceCaps", "CreateCompatibleBitmap",
    "CreateBitmapIndirect", "PatBlt", "BitBlt", "StretchBlt", "StretchDIBits", "GetDIBits", "GdiSetBatchLimit",
    "OffsetRect", "SetTimer", "KillTimer", "CreateWindowExA", "DestroyWindow", "IsWindow", "GetClientRect",
    "PostMessageA", "PeekMessageA", "GetMessageA", "DispatchMessageA", "PostQuitMessage", "MessageBoxA"};

u32 w(const void* p) { return guest_addr(p); }

}  // namespace

u32 api(const char* name) {
  static GuestApi table("SERVICES", kBase, std::vector<const char*>(std::begin(kNames), std::end(kNames)));
  return table(name);
}

// Every handler removes its own arguments (stdcall) and leaves the other
// registers alone; the two formatters remove only the return address.
TEST(ServiceHandlers, ArgumentCountsAndRegisters) {
  char text[64] = "abc";
  char other[64] = "abd";
  WCHAR wide[64] = u"abc";
  u32 scratch[16] = {};
  DWORD value = 0;
  struct Case {
    const char* name;
    std::vector<u32> args;
    u32 popped;
  };
  const Case cases[] = {
      {"ClearCommBreak", {0}, 8},
      {"SetCommBreak", {0}, 8},
      {"GetCommState", {0, w(scratch)}, 12},
      {"SetCommState", {0, w(scratch)}, 12},
      {"GetCommTimeouts", {0, w(scratch)}, 12},
      {"SetCommTimeouts", {0, w(scratch)}, 12},
      {"GetCommModemStatus", {0, w(scratch)}, 12},
      {"SetupComm", {0, 16, 16}, 16},
      {"ClearCommError", {0, w(scratch), w(scratch)}, 16},
      {"RegCloseKey", {0x80000001}, 8},
      {"RegOpenKeyExA", {0x80000001, w("Missing\\Key"), 0, 0, w(scratch)}, 24},
      {"RegQueryValueExA", {0x80000001, w("nothing"), 0, 0, 0, w(&value)}, 28},
      {"RegSetValueExA", {0x1234, w("v"), 0, 4, w(&value), 4}, 28},
      {"CompareStringA", {0x409, 0, w(text), -1u, w(other), -1u}, 28},
      {"CompareStringW", {0x409, 0, w(wide), -1u, w(wide), -1u}, 28},
      {"LCMapStringA", {0x409, LCMAP_UPPERCASE, w(text), -1u, 0, 0}, 28},
      {"LCMapStringW", {0x409, LCMAP_UPPERCASE, w(wide), -1u, 0, 0}, 28},
      {"GetACP", {}, 4},
      {"GetOEMCP", {}, 4},
      {"GetCPInfo", {1252, w(scratch)}, 12},
      {"GetLocaleInfoA", {0x409, LOCALE_SENGLANGUAGE, 0, 0}, 20},
      {"GetLocaleInfoW", {0x409, LOCALE_SENGLANGUAGE, 0, 0}, 20},
      {"GetStringTypeA", {0x409, CT_CTYPE1, w(text), 3, w(scratch)}, 24},
      {"GetStringTypeW", {CT_CTYPE1, w(wide), 3, w(scratch)}, 20},
      {"MultiByteToWideChar", {0, 0, w(text), -1u, 0, 0}, 28},
      {"WideCharToMultiByte", {0, 0, w(wide), -1u, 0, 0, 0, 0}, 36},
      {"lstrlenA", {w(text)}, 8},
      {"lstrcpyA", {w(other), w(text)}, 12},
      {"lstrcatA", {w(other), w(text)}, 12},
      {"wsprintfA", {w(scratch), w("%d"), 1}, 4},
      {"wsprintfW", {w(scratch), w(u"%d"), 1}, 4},
      {"Netbios", {w(scratch)}, 8},
      {"OutputDebugStringA", {w(text)}, 8},
  };
  for (const Case& c : cases) {
    GuestCall call(c.name, c.args);
    EXPECT_EQ(call.popped(), c.popped) << c.name;
    EXPECT_EQ(call.env.EIP, 0x00401234u) << c.name;
    EXPECT_TRUE(call.others_kept()) << c.name;
  }
}

TEST(ServiceHandlers, ResultsPassThrough) {
  EXPECT_EQ(GuestCall("GetACP", {}).env.EAX, 1252u);
  EXPECT_EQ(GuestCall("GetLocaleInfoA", {0x409, LOCALE_SENGLANGUAGE, 0, 0}).env.EAX, 8u);
  EXPECT_EQ(GuestCall("CompareStringA", {0x409, 0, w("abc"), 3, w("abd"), 3}).env.EAX, u32(CSTR_LESS_THAN));
  EXPECT_EQ(GuestCall("lstrlenA", {w("hello")}).env.EAX, 5u);
  EXPECT_EQ(GuestCall("GetCommState", {0, 0}).env.EAX, 0u);
  EXPECT_EQ(GuestCall("RegSetValueExA", {0x1234, w("v"), 0, 4, w("abcd"), 4}).env.EAX, u32(ERROR_INVALID_HANDLE));
  u32 block[16] = {};
  EXPECT_EQ(GuestCall("Netbios", {w(block)}).env.EAX, 9u);
  EXPECT_EQ(block[0], 0u);  // the control block is not touched
}

TEST(ServiceHandlers, WsprintfFormatsFromTheGuestStack) {
  char out[16] = {};
  GuestCall a("wsprintfA", {w(out), w("%d-%s"), 5, w("x")});
  EXPECT_STREQ(out, "5-x");
  EXPECT_EQ(a.env.EAX, 3u);
  EXPECT_EQ(a.popped(), 4u);
  WCHAR wout[16] = {};
  GuestCall b("wsprintfW", {w(wout), w(u"%s=%u"), w(u"n"), 42});
  EXPECT_EQ(std::u16string(wout), u"n=42");
  EXPECT_EQ(b.env.EAX, 4u);
}

// Win32 stops at 1,024 characters; a guest formatting a long string into a
// 1,024-byte buffer must not overrun it.
TEST(ServiceHandlers, WsprintfStopsAt1024Characters) {
  std::string big(4000, 'q');
  std::vector<char> out(1200, '#');
  GuestCall a("wsprintfA", {w(out.data()), w("%s%s"), w(big.c_str()), w(big.c_str())});
  EXPECT_EQ(a.env.EAX, 1023u);
  EXPECT_EQ(out[1023], 0);
  EXPECT_EQ(out[1024], '#');
  std::u16string wbig(3000, u'r');
  std::vector<WCHAR> wout(1200, u'#');
  GuestCall b("wsprintfW", {w(wout.data()), w(u"%s"), w(wbig.c_str())});
  EXPECT_EQ(b.env.EAX, 1023u);
  EXPECT_EQ(wout[1023], 0);
  EXPECT_EQ(wout[1024], u'#');
}

TEST(ServiceHandlers, RegCreateKeyA) {
  setenv("DEVICE_REGISTRY", (device_root() + "/services-registry.dat").c_str(), 1);
  u32 first = 0, second = 0;
  GuestCall make("RegCreateKeyA", {0x80000001, w("Software\\Tavrin"), w(&first)});
  EXPECT_EQ(make.env.EAX, 0u);
  EXPECT_EQ(make.popped(), 16u);
  ASSERT_NE(first, 0u);
  GuestCall open("RegCreateKeyA", {0x80000001, w("software\\tavrin"), w(&second)});
  EXPECT_EQ(open.env.EAX, 0u);
  EXPECT_NE(second, 0u);
  // Both handles name the same key.
  DWORD v = 77, got = 0, size = 4;
  ASSERT_EQ(RegSetValueExW(reinterpret_cast<HKEY>(first), u"Score", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4),
            0);
  EXPECT_EQ(RegQueryValueExW(reinterpret_cast<HKEY>(second), u"Score", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(&got), &size),
            0);
  EXPECT_EQ(got, 77u);
  // A name that does not fit the 1,000-character buffer is refused whole.
  std::string long_name(1000, 'n');
  u32 untouched = 0xDEAD;
  GuestCall refused("RegCreateKeyA", {0x80000001, w(long_name.c_str()), w(&untouched)});
  EXPECT_EQ(refused.env.EAX, u32(ERROR_INVALID_NAME));
  EXPECT_EQ(untouched, 0xDEADu);
  EXPECT_EQ(GuestCall("RegCloseKey", {first}).env.EAX, 0u);
  EXPECT_EQ(GuestCall("RegCloseKey", {second}).env.EAX, 0u);
}
