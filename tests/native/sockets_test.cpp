// The sockets module as the guest reaches it: imports from PLINTH32.dll
// by name and by ordinal bound through the runtime's loader (which loads
// and enters the module), calls through HandleDefault with arguments on a
// guest stack.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "guest_call.h"
#include "wce/winsock.h"

namespace {

constexpr u32 kBase = 0x33000000;

const char* ordinal(u32 n) { return reinterpret_cast<const char*>(static_cast<uintptr_t>(n)); }

u32 w(const void* p) { return guest_addr(p); }

// Runs one guest call and checks the stdcall return of `args` arguments.
u32 call(const char* name, const std::vector<u32>& args) {
  GuestCall c(name, args);
  EXPECT_EQ(c.env.EIP, kReturnAddress);
  EXPECT_EQ(c.popped_words(), 1 + args.size());
  return c.eax();
}

struct Loopback {
  u32 listener, client, server;
  WS_SOCKADDR address;
};

}  // namespace

u32 api(const char* name) {
  static GuestApi table("SOCKTEST", kBase,
                        {"WSAStartup", "WSACleanup", "WSAGetLastError", "WSASetLastError", "WSAAsyncSelect",
                         "WSACancelBlockingCall", "WSAIsBlocking", "getservbyname", "socket", "bind", "listen",
                         "getsockname", "connect", "accept", "send", "recv", "closesocket", "select",
                         "__WSAFDIsSet", "inet_addr", "inet_ntoa", "htons", ordinal(16), ordinal(9),
                         ordinal(101), ordinal(23)},
                        "plinth32.dll");
  return table(name);
}

TEST(SocketsModule, ImportsByNameAndByOrdinalReachTheSameHandler) {
  EXPECT_EQ(api("recv"), api(ordinal(16)));
  EXPECT_EQ(api("htons"), api(ordinal(9)));
  EXPECT_EQ(api("WSAAsyncSelect"), api(ordinal(101)));
  EXPECT_EQ(api("socket"), api(ordinal(23)));
  EXPECT_NE(api("recv"), api("send"));
  // The loader registered the module under its name, with its own image as
  // its range; the exports are plain native addresses inside it.
  ModuleInfo* mi = FindModuleByNameA("PLINTH32");
  ASSERT_NE(mi, nullptr);
  EXPECT_NE(mi->Handle, nullptr);
  EXPECT_EQ(mi->Fixup, 0u);
  EXPECT_EQ(api("recv") & NATIVE_TAG, 0u);
  EXPECT_GE(api("recv"), mi->Base);
  EXPECT_LT(api("recv"), mi->Base + mi->Len);
  EXPECT_EQ(FindModule(api("recv")), mi);
  // 63 functions by name, then the same 63 by ordinal, ascending.
  u32 n = 0;
  while (mi->Exports[n].Name) n++;
  ASSERT_EQ(n, 126u);
  for (u32 i = 64; i < 126; i++) EXPECT_LT(mi->Exports[i - 1].Name, mi->Exports[i].Name);
  // The DLL entry the guest sees: TRUE, and (hInstance, reason, reserved)
  // removed with the return address.
  GuestCall entry(mi->Base + mi->Entry, {w(mi->Handle), 1, 0});
  EXPECT_EQ(entry.eax(), 1u);
  EXPECT_EQ(entry.popped_words(), 4u);
  EXPECT_EQ(entry.env.EIP, kReturnAddress);
}

TEST(SocketsModule, FunctionsTheDeviceDoesNotCarryOutLogAndReturnZero) {
  GuestCall async(api("WSAAsyncSelect"), {3, 0x1234, 0x400, 0x21});
  EXPECT_EQ(async.eax(), 0u);
  EXPECT_EQ(async.popped_words(), 5u);
  EXPECT_TRUE(async.others_kept());
  EXPECT_NE(log_text().find("not implemented func WSAAsyncSelectcalled\n"), std::string::npos);
  EXPECT_EQ(call("getservbyname", {w("http"), w("tcp")}), 0u);
  EXPECT_NE(log_text().find("not implemented func getservbynamecalled\n"), std::string::npos);
  // No arguments: only the return address goes.
  EXPECT_EQ(call("WSACancelBlockingCall", {}), 0u);
  EXPECT_EQ(call("WSAIsBlocking", {}), 0u);
}

TEST(SocketsModule, LastErrorIsTheThreadsOwn) {
  GuestCall set(api("WSASetLastError"), {10035});
  EXPECT_EQ(set.eax(), set.before.EAX);  // left as it was
  EXPECT_EQ(set.popped_words(), 2u);
  EXPECT_EQ(call("WSAGetLastError", {}), 10035u);
}

TEST(SocketsModule, AConnectionThroughTheGuestCalls) {
  WSADATA data;
  memset(&data, 0xCC, sizeof data);
  ASSERT_EQ(call("WSAStartup", {0x0101, w(&data)}), 0u);
  EXPECT_EQ(data.wVersion, 0x0101);
  Loopback l{};
  l.listener = call("socket", {2, 1, 0});
  ASSERT_NE(l.listener, INVALID_SOCKET);
  l.address.sa_family = 2;
  const u32 any_port_loopback = call("inet_addr", {w("127.0.0.1")});
  memcpy(l.address.sa_data + 2, &any_port_loopback, 4);
  ASSERT_EQ(call("bind", {l.listener, w(&l.address), 16}), 0u);
  ASSERT_EQ(call("listen", {l.listener, 1}), 0u);
  int length = 16;
  ASSERT_EQ(call("getsockname", {l.listener, w(&l.address), w(&length)}), 0u);
  l.client = call("socket", {2, 1, 0});
  ASSERT_EQ(call("connect", {l.client, w(&l.address), 16}), 0u);
  l.server = call("accept", {l.listener, 0, 0});
  ASSERT_NE(l.server, INVALID_SOCKET);
  EXPECT_EQ(call("send", {l.client, w("hello"), 5, 0}), 5u);
  // The server's socket is readable: select keeps it in the set.
  WS_FD_SET readable = {1, {l.server}};
  WS_TIMEVAL wait = {5, 0};
  EXPECT_EQ(call("select", {0, w(&readable), 0, 0, w(&wait)}), 1u);
  EXPECT_NE(call("__WSAFDIsSet", {l.server, w(&readable)}), 0u);
  char buffer[8] = {};
  EXPECT_EQ(call("recv", {l.server, w(buffer), sizeof buffer, 0}), 5u);
  EXPECT_STREQ(buffer, "hello");
  // The text of inet_ntoa is handed to the guest as it is.
  const char* text = reinterpret_cast<const char*>(static_cast<uintptr_t>(call("inet_ntoa", {any_port_loopback})));
  EXPECT_STREQ(text, "127.0.0.1");
  EXPECT_EQ(call("htons", {0x1234}), 0x3412u);
  for (u32 s : {l.client, l.server, l.listener}) EXPECT_EQ(call("closesocket", {s}), 0u);
  // A closed socket is no socket any more.
  EXPECT_EQ(call("closesocket", {l.client}), static_cast<u32>(SOCKET_ERROR));
  EXPECT_EQ(call("WSAGetLastError", {}), static_cast<u32>(WSAENOTSOCK));
  EXPECT_EQ(call("WSACleanup", {}), 0u);
}
