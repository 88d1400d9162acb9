// The sockets module, registered as "PLINTH32": the guest's Winsock 1.1
// calls go to the device's sockets library. Every function is exported
// twice, by name (in the order below, ASCII order of the names) and by
// ordinal (ascending), both rows naming the same handler. Functions the
// device does not carry out log one line and return 0.
#include <algorithm>
#include <array>
#include <string_view>

#include "native_frame.h"
#include "wce/kernel.h"
#include "wce/winsock.h"

using services::pass_through;

namespace {

// The last error of the calling thread is Winsock's error.
void wsa_get_last_error(Env* env) { guest_return_value(env, GetLastError(), 0); }
void wsa_set_last_error(Env* env) {
  SetLastError(arg(env, 1));
  guest_return(env, 1);
}

#define NOT_IMPLEMENTED(name, n)                          \
  void name##_not_implemented(Env* env) {                 \
    log_puts("not implemented func " #name "called");    \
    guest_return_value(env, 0, n);                        \
  }
NOT_IMPLEMENTED(AcceptEx, 8)
NOT_IMPLEMENTED(EnumProtocolsA, 3)
NOT_IMPLEMENTED(EnumProtocolsW, 3)
NOT_IMPLEMENTED(GetAcceptExSockaddrs, 8)
NOT_IMPLEMENTED(GetAddressByNameA, 10)
NOT_IMPLEMENTED(GetAddressByNameW, 10)
NOT_IMPLEMENTED(GetNameByTypeA, 3)
NOT_IMPLEMENTED(GetNameByTypeW, 3)
NOT_IMPLEMENTED(GetServiceA, 7)
NOT_IMPLEMENTED(GetServiceW, 7)
NOT_IMPLEMENTED(GetTypeByNameA, 2)
NOT_IMPLEMENTED(GetTypeByNameW, 2)
NOT_IMPLEMENTED(SetServiceA, 6)
NOT_IMPLEMENTED(SetServiceW, 6)
NOT_IMPLEMENTED(TransmitFile, 7)
NOT_IMPLEMENTED(WSAAsyncGetHostByAddr, 7)
NOT_IMPLEMENTED(WSAAsyncGetHostByName, 5)
NOT_IMPLEMENTED(WSAAsyncGetProtoByName, 5)
NOT_IMPLEMENTED(WSAAsyncGetProtoByNumber, 5)
NOT_IMPLEMENTED(WSAAsyncGetServByName, 6)
NOT_IMPLEMENTED(WSAAsyncGetServByPort, 6)
NOT_IMPLEMENTED(WSAAsyncSelect, 4)
NOT_IMPLEMENTED(WSACancelAsyncRequest, 1)
NOT_IMPLEMENTED(WSACancelBlockingCall, 0)
NOT_IMPLEMENTED(WSAIsBlocking, 0)
NOT_IMPLEMENTED(WSARecvEx, 4)
NOT_IMPLEMENTED(WSASetBlockingHook, 1)
NOT_IMPLEMENTED(WSAUnhookBlockingHook, 0)
NOT_IMPLEMENTED(getprotobyname, 1)
NOT_IMPLEMENTED(getprotobynumber, 1)
NOT_IMPLEMENTED(getservbyname, 2)
NOT_IMPLEMENTED(getservbyport, 2)
#undef NOT_IMPLEMENTED

struct Row {
  const char* name;
  u32 ordinal;
  NativeHandler handler;
};
#define ABSENT(name, ordinal) {#name, ordinal, name##_not_implemented}
constexpr Row kRows[] = {
    ABSENT(AcceptEx, 1141),
    ABSENT(EnumProtocolsA, 1111),
    ABSENT(EnumProtocolsW, 1112),
    ABSENT(GetAcceptExSockaddrs, 1142),
    ABSENT(GetAddressByNameA, 1109),
    ABSENT(GetAddressByNameW, 1110),
    ABSENT(GetNameByTypeA, 1115),
    ABSENT(GetNameByTypeW, 1116),
    ABSENT(GetServiceA, 1119),
    ABSENT(GetServiceW, 1120),
    ABSENT(GetTypeByNameA, 1113),
    ABSENT(GetTypeByNameW, 1114),
    ABSENT(SetServiceA, 1117),
    ABSENT(SetServiceW, 1118),
    ABSENT(TransmitFile, 1140),
    ABSENT(WSAAsyncGetHostByAddr, 102),
    ABSENT(WSAAsyncGetHostByName, 103),
    ABSENT(WSAAsyncGetProtoByName, 105),
    ABSENT(WSAAsyncGetProtoByNumber, 104),
    ABSENT(WSAAsyncGetServByName, 107),
    ABSENT(WSAAsyncGetServByPort, 106),
    ABSENT(WSAAsyncSelect, 101),
    ABSENT(WSACancelAsyncRequest, 108),
    ABSENT(WSACancelBlockingCall, 113),
    {"WSACleanup", 116, pass_through<WSACleanup>},
    {"WSAGetLastError", 111, wsa_get_last_error},
    ABSENT(WSAIsBlocking, 114),
    ABSENT(WSARecvEx, 1107),
    ABSENT(WSASetBlockingHook, 109),
    {"WSASetLastError", 112, wsa_set_last_error},
    {"WSAStartup", 115, pass_through<WSAStartup>},
    ABSENT(WSAUnhookBlockingHook, 110),
    {"__WSAFDIsSet", 151, pass_through<__WSAFDIsSet>},
    {"accept", 1, pass_through<ws2_accept>},
    {"bind", 2, pass_through<ws2_bind>},
    {"closesocket", 3, pass_through<closesocket>},
    {"connect", 4, pass_through<ws2_connect>},
    {"gethostbyaddr", 51, pass_through<ws2_gethostbyaddr>},
    {"gethostbyname", 52, pass_through<ws2_gethostbyname>},
    {"gethostname", 57, pass_through<ws2_gethostname>},
    {"getpeername", 5, pass_through<ws2_getpeername>},
    ABSENT(getprotobyname, 53),
    ABSENT(getprotobynumber, 54),
    ABSENT(getservbyname, 55),
    ABSENT(getservbyport, 56),
    {"getsockname", 6, pass_through<ws2_getsockname>},
    {"getsockopt", 7, pass_through<ws2_getsockopt>},
    {"htonl", 8, pass_through<ws2_htonl>},
    {"htons", 9, pass_through<ws2_htons>},
    {"inet_addr", 10, pass_through<ws2_inet_addr>},
    {"inet_ntoa", 11, pass_through<ws2_inet_ntoa>},
    {"ioctlsocket", 12, pass_through<ioctlsocket>},
    {"listen", 13, pass_through<ws2_listen>},
    {"ntohl", 14, pass_through<ws2_ntohl>},
    {"ntohs", 15, pass_through<ws2_ntohs>},
    {"recv", 16, pass_through<ws2_recv>},
    {"recvfrom", 17, pass_through<ws2_recvfrom>},
    {"select", 18, pass_through<ws2_select>},
    {"send", 19, pass_through<ws2_send>},
    {"sendto", 20, pass_through<ws2_sendto>},
    {"setsockopt", 21, pass_through<ws2_setsockopt>},
    {"shutdown", 22, pass_through<ws2_shutdown>},
    {"socket", 23, pass_through<ws2_socket>},
};
#undef ABSENT
constexpr size_t kCount = sizeof kRows / sizeof kRows[0];
static_assert(kCount == 63, "the sockets module exports 63 functions");

// Indices of kRows by ascending ordinal.
constexpr std::array<size_t, kCount> kByOrdinal = [] {
  std::array<size_t, kCount> order{};
  for (size_t i = 0; i < kCount; i++) order[i] = i;
  std::sort(order.begin(), order.end(), [](size_t a, size_t b) { return kRows[a].ordinal < kRows[b].ordinal; });
  return order;
}();

constexpr bool names_ascending() {
  for (size_t i = 1; i < kCount; i++)
    if (std::string_view(kRows[i - 1].name) >= std::string_view(kRows[i].name)) return false;
  return true;
}
static_assert(names_ascending(), "the named exports are in ASCII order");

u32 word_of(const void* p) { return static_cast<u32>(reinterpret_cast<uintptr_t>(p)); }

}  // namespace

const char g_native_name[] = "PLINTH32";
ExportEntry g_native_exports[2 * kCount + 1];

// The export table, by name then by ordinal, filled when the library is
// loaded (before EntryPoint registers the module).
__attribute__((constructor)) static void fill_exports() {
  for (size_t i = 0; i < kCount; i++) {
    g_native_exports[i] = {word_of(kRows[i].name), word_of(reinterpret_cast<void*>(kRows[i].handler))};
    const Row& r = kRows[kByOrdinal[i]];
    g_native_exports[kCount + i] = {r.ordinal, word_of(reinterpret_cast<void*>(r.handler))};
  }
  g_native_exports[2 * kCount] = {0, 0};
}
