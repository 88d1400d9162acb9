// The device's sockets library: the Winsock functions of the device's WS2
// over the host's sockets. Records have their 32-bit Winsock layouts.
// Functions with Berkeley names carry the prefix ws2_, because the host C
// library owns the plain names in this process; the WSA names, closesocket,
// ioctlsocket and __WSAFDIsSet are as on the device. Failures return
// SOCKET_ERROR, INVALID_SOCKET or a null pointer and set the thread's last
// error (GetLastError) to a Winsock code.
#pragma once

#include "wce/types.h"

typedef UINT_PTR SOCKET;
#define INVALID_SOCKET ((SOCKET)~0u)
#define SOCKET_ERROR (-1)
#define FD_SETSIZE_WS 64

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  uint16_t iMaxSockets;
  uint16_t iMaxUdpDg;
  char* lpVendorInfo;
};
static_assert(sizeof(WSADATA) == 400 && offsetof(WSADATA, iMaxSockets) == 390 &&
                  offsetof(WSADATA, lpVendorInfo) == 396,
              "WSADATA layout");

struct WS_FD_SET {
  UINT fd_count;
  SOCKET fd_array[FD_SETSIZE_WS];
};
static_assert(sizeof(WS_FD_SET) == 260, "fd_set layout");

struct WS_TIMEVAL {
  LONG tv_sec;
  LONG tv_usec;
};
static_assert(sizeof(WS_TIMEVAL) == 8, "timeval layout");

struct WS_HOSTENT {
  char* h_name;
  char** h_aliases;
  int16_t h_addrtype;
  int16_t h_length;
  char** h_addr_list;
};
static_assert(sizeof(WS_HOSTENT) == 16 && offsetof(WS_HOSTENT, h_addr_list) == 12, "hostent layout");

struct WS_LINGER {
  uint16_t l_onoff;
  uint16_t l_linger;
};
static_assert(sizeof(WS_LINGER) == 4, "linger layout");

// sockaddr and sockaddr_in have the same layout on both sides: a 16-bit
// family, then the port and address in network order.
struct WS_SOCKADDR {
  uint16_t sa_family;
  char sa_data[14];
};
static_assert(sizeof(WS_SOCKADDR) == 16, "sockaddr layout");

// Winsock error codes (GetLastError after a failure).
enum : DWORD {
  WSAEINTR = 10004,
  WSAEBADF = 10009,
  WSAEACCES = 10013,
  WSAEFAULT = 10014,
  WSAEINVAL = 10022,
  WSAEMFILE = 10024,
  WSAEWOULDBLOCK = 10035,
  WSAEINPROGRESS = 10036,
  WSAEALREADY = 10037,
  WSAENOTSOCK = 10038,
  WSAEDESTADDRREQ = 10039,
  WSAEMSGSIZE = 10040,
  WSAEPROTOTYPE = 10041,
  WSAENOPROTOOPT = 10042,
  WSAEPROTONOSUPPORT = 10043,
  WSAESOCKTNOSUPPORT = 10044,
  WSAEOPNOTSUPP = 10045,
  WSAEPFNOSUPPORT = 10046,
  WSAEAFNOSUPPORT = 10047,
  WSAEADDRINUSE = 10048,
  WSAEADDRNOTAVAIL = 10049,
  WSAENETDOWN = 10050,
  WSAENETUNREACH = 10051,
  WSAENETRESET = 10052,
  WSAECONNABORTED = 10053,
  WSAECONNRESET = 10054,
  WSAENOBUFS = 10055,
  WSAEISCONN = 10056,
  WSAENOTCONN = 10057,
  WSAESHUTDOWN = 10058,
  WSAETIMEDOUT = 10060,
  WSAECONNREFUSED = 10061,
  WSAEHOSTDOWN = 10064,
  WSAEHOSTUNREACH = 10065,
  WSAVERNOTSUPPORTED = 10092,
  WSANOTINITIALISED = 10093,
  WSAHOST_NOT_FOUND = 11001,
  WSATRY_AGAIN = 11002,
  WSANO_RECOVERY = 11003,
  WSANO_DATA = 11004,
};

// Winsock's numbers for levels, options and ioctls (they differ from the
// host's; the library translates them).
enum : int {
  WS_SOL_SOCKET = 0xFFFF,
  WS_SO_DEBUG = 0x0001,
  WS_SO_ACCEPTCONN = 0x0002,
  WS_SO_REUSEADDR = 0x0004,
  WS_SO_KEEPALIVE = 0x0008,
  WS_SO_DONTROUTE = 0x0010,
  WS_SO_BROADCAST = 0x0020,
  WS_SO_LINGER = 0x0080,
  WS_SO_OOBINLINE = 0x0100,
  WS_SO_DONTLINGER = ~0x0080,
  WS_SO_SNDBUF = 0x1001,
  WS_SO_RCVBUF = 0x1002,
  WS_SO_SNDLOWAT = 0x1003,
  WS_SO_RCVLOWAT = 0x1004,
  WS_SO_SNDTIMEO = 0x1005,  // milliseconds, a DWORD
  WS_SO_RCVTIMEO = 0x1006,  // milliseconds, a DWORD
  WS_SO_ERROR = 0x1007,     // a Winsock code
  WS_SO_TYPE = 0x1008,
  WS_IPPROTO_IP = 0,
  WS_IP_TOS = 3,
  WS_IP_TTL = 4,
  WS_IP_MULTICAST_IF = 9,
  WS_IP_MULTICAST_TTL = 10,
  WS_IP_MULTICAST_LOOP = 11,
  WS_IP_ADD_MEMBERSHIP = 12,
  WS_IP_DROP_MEMBERSHIP = 13,
  WS_IPPROTO_TCP = 6,
  WS_TCP_NODELAY = 1,
};
enum : uint32_t {
  WS_FIONREAD = 0x4004667F,
  WS_FIONBIO = 0x8004667E,
  WS_SIOCATMARK = 0x40047307,
};

extern "C" {
int WSAStartup(WORD version, WSADATA* data);
int WSACleanup(void);
int __WSAFDIsSet(SOCKET s, WS_FD_SET* set);

SOCKET ws2_socket(int family, int type, int protocol);
int ws2_bind(SOCKET s, const WS_SOCKADDR* address, int length);
int ws2_listen(SOCKET s, int backlog);
SOCKET ws2_accept(SOCKET s, WS_SOCKADDR* address, int* length);
int ws2_connect(SOCKET s, const WS_SOCKADDR* address, int length);
int closesocket(SOCKET s);
int ws2_shutdown(SOCKET s, int how);
int ws2_send(SOCKET s, const char* buffer, int length, int flags);
int ws2_recv(SOCKET s, char* buffer, int length, int flags);
int ws2_sendto(SOCKET s, const char* buffer, int length, int flags, const WS_SOCKADDR* to, int to_length);
int ws2_recvfrom(SOCKET s, char* buffer, int length, int flags, WS_SOCKADDR* from, int* from_length);
int ws2_select(int ignored, WS_FD_SET* readable, WS_FD_SET* writable, WS_FD_SET* failed, const WS_TIMEVAL* timeout);
int ioctlsocket(SOCKET s, LONG command, ULONG* argument);
int ws2_setsockopt(SOCKET s, int level, int name, const char* value, int length);
int ws2_getsockopt(SOCKET s, int level, int name, char* value, int* length);
int ws2_getsockname(SOCKET s, WS_SOCKADDR* address, int* length);
int ws2_getpeername(SOCKET s, WS_SOCKADDR* address, int* length);

// Name look-ups: the record returned belongs to the calling thread and
// stays valid until its next look-up.
WS_HOSTENT* ws2_gethostbyname(const char* name);
WS_HOSTENT* ws2_gethostbyaddr(const char* address, int length, int type);
int ws2_gethostname(char* name, int length);

// Byte order and dotted addresses; inet_ntoa's text belongs to the calling
// thread until its next call.
ULONG ws2_htonl(ULONG value);
WORD ws2_htons(WORD value);
ULONG ws2_ntohl(ULONG value);
WORD ws2_ntohs(WORD value);
ULONG ws2_inet_addr(const char* text);
char* ws2_inet_ntoa(uint32_t address);  // an in_addr, passed by value
}
