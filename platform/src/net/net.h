// The sockets library inside the device. A SOCKET is a handle of the
// process-wide table naming a Socket, which owns one host socket; values
// the table does not know are never taken for host descriptors.
#pragma once

#include <sys/socket.h>

#include <atomic>
#include <vector>

#include "handles.h"
#include "wce/winsock.h"

// Address families as the guest numbers them.
enum : int { WS_AF_UNSPEC = 0, WS_AF_INET = 2, WS_AF_INET6 = 23 };

// Where a stream socket stands, as far as select and send need to know:
// the host shows a failed connect as writable, and calls sending on a
// stream that never connected a broken pipe.
enum NetState : int {
  NET_IDLE,
  NET_LISTENING,
  NET_CONNECTING,  // a non-blocking connect whose outcome nobody has seen yet
  NET_CONNECTED,
  NET_CONNECT_FAILED,
};

struct Socket {
  KObject header;
  int fd;
  int family;  // host AF_*
  int type;    // SOCK_STREAM, SOCK_DGRAM, ...
  std::atomic<bool> nonblocking;
  std::atomic<bool> closing;    // closesocket has begun; blocking calls end with WSAEINTR
  std::atomic<bool> send_shut;  // shutdown stopped sending
  std::atomic<int> state;       // NetState
  // What the guest set with SO_REUSEADDR. Every host socket allows reuse
  // (see address_reuse.cpp); this is the guest's word the device enforces.
  std::atomic<bool> reuse_address;
  // The peer reset the connection and a call has said so: the host answers
  // later reads with an orderly end, Winsock with WSAECONNRESET again.
  std::atomic<bool> reset;
};

// True while WSAStartup has a user; otherwise false with WSANOTINITIALISED.
bool net_ready();

// The socket named by a guest value, with a reference taken (give it back
// with net_put); null with WSANOTINITIALISED or WSAENOTSOCK set.
Socket* net_get(SOCKET s);
void net_put(Socket* sock);
// Hands a new host socket to the guest. INVALID_SOCKET with WSAEMFILE (and
// the descriptor closed) when the table is full.
SOCKET net_adopt(int fd, int family, int type, bool nonblocking, NetState state);
// Closes every socket still open; the last WSACleanup does this.
void net_close_all();
// The sockets the guest holds now.
std::vector<SOCKET> net_live_sockets();
// Lets the host reuse the addresses of the socket's ports; Winsock's
// refusals are the device's to make (net_bind_address).
void net_allow_host_reuse(int fd);
// Binds `sock` to a host address under Winsock's reuse rules: refused with
// WSAEADDRINUSE when another socket of the guest holds an overlapping
// address and `sock` did not ask for reuse. 0 or SOCKET_ERROR.
int net_bind_address(Socket* sock, const sockaddr_storage& address, socklen_t size);
// Whether a blocking call on `sock` ended because the socket was closed.
inline bool net_interrupted(const Socket* sock) { return sock->closing.load(); }

// Errors: the Winsock code for a host errno, and the usual way out of a
// failing call (last error set, SOCKET_ERROR returned).
DWORD net_error_from_errno(int error);
int net_fail(DWORD code);
int net_fail_errno();

// Addresses. net_address_in copies a guest address into `out` for the
// host and returns its host length, or 0 with WSAEFAULT or WSAEAFNOSUPPORT
// set. net_address_out gives a host address back in guest form; false with
// WSAEFAULT when `*length` cannot hold it.
socklen_t net_address_in(const WS_SOCKADDR* address, int length, sockaddr_storage* out);
bool net_address_out(const sockaddr_storage& address, socklen_t host_length, WS_SOCKADDR* out, int* length);
// The size of an address of a host family.
int net_address_size(int family);
