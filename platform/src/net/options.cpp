// setsockopt, getsockopt and ioctlsocket: Winsock's numbers and value
// formats in terms of the host's.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "net.h"
#include "wce/kernel.h"

static_assert(sizeof(ip_mreq) == 8 && offsetof(ip_mreq, imr_interface) == 4, "ip_mreq layout");

namespace {

enum ValueKind {
  VALUE_INT,         // 4 bytes, passed as they are (BOOL, int, in_addr)
  VALUE_BUFFER,      // a buffer size; the host reports twice what it was given
  VALUE_LINGER,      // WS_LINGER, 16-bit fields
  VALUE_DONTLINGER,  // BOOL: the inverse of SO_LINGER's l_onoff
  VALUE_MILLIS,      // DWORD milliseconds; a timeval on the host
  VALUE_ERROR,       // read only; a Winsock code
  VALUE_MREQ,        // ip_mreq, write only
  VALUE_REUSE,       // BOOL kept by the device; the host socket always allows reuse
};

struct Option {
  int level, name;
  int host_level, host_name;
  ValueKind kind;
};

const Option kOptions[] = {
    {WS_SOL_SOCKET, WS_SO_DEBUG, SOL_SOCKET, SO_DEBUG, VALUE_INT},
    {WS_SOL_SOCKET, WS_SO_ACCEPTCONN, SOL_SOCKET, SO_ACCEPTCONN, VALUE_INT},
    {WS_SOL_SOCKET, WS_SO_REUSEADDR, SOL_SOCKET, SO_REUSEADDR, VALUE_REUSE},
    {WS_SOL_SOCKET, WS_SO_KEEPALIVE, SOL_SOCKET, SO_KEEPALIVE, VALUE_INT},
    {WS_SOL_SOCKET, WS_SO_DONTROUTE, SOL_SOCKET, SO_DONTROUTE, VALUE_INT},
    {WS_SOL_SOCKET, WS_SO_BROADCAST, SOL_SOCKET, SO_BROADCAST, VALUE_INT},
    {WS_SOL_SOCKET, WS_SO_LINGER, SOL_SOCKET, SO_LINGER, VALUE_LINGER},
    {WS_SOL_SOCKET, WS_SO_OOBINLINE, SOL_SOCKET, SO_OOBINLINE, VALUE_INT},
    {WS_SOL_SOCKET, WS_SO_DONTLINGER, SOL_SOCKET, SO_LINGER, VALUE_DONTLINGER},
    {WS_SOL_SOCKET, WS_SO_SNDBUF, SOL_SOCKET, SO_SNDBUF, VALUE_BUFFER},
    {WS_SOL_SOCKET, WS_SO_RCVBUF, SOL_SOCKET, SO_RCVBUF, VALUE_BUFFER},
    {WS_SOL_SOCKET, WS_SO_SNDLOWAT, SOL_SOCKET, SO_SNDLOWAT, VALUE_INT},
    {WS_SOL_SOCKET, WS_SO_RCVLOWAT, SOL_SOCKET, SO_RCVLOWAT, VALUE_INT},
    {WS_SOL_SOCKET, WS_SO_SNDTIMEO, SOL_SOCKET, SO_SNDTIMEO, VALUE_MILLIS},
    {WS_SOL_SOCKET, WS_SO_RCVTIMEO, SOL_SOCKET, SO_RCVTIMEO, VALUE_MILLIS},
    {WS_SOL_SOCKET, WS_SO_ERROR, SOL_SOCKET, SO_ERROR, VALUE_ERROR},
    {WS_SOL_SOCKET, WS_SO_TYPE, SOL_SOCKET, SO_TYPE, VALUE_INT},
    {WS_IPPROTO_IP, WS_IP_TOS, IPPROTO_IP, IP_TOS, VALUE_INT},
    {WS_IPPROTO_IP, WS_IP_TTL, IPPROTO_IP, IP_TTL, VALUE_INT},
    {WS_IPPROTO_IP, WS_IP_MULTICAST_IF, IPPROTO_IP, IP_MULTICAST_IF, VALUE_INT},
    {WS_IPPROTO_IP, WS_IP_MULTICAST_TTL, IPPROTO_IP, IP_MULTICAST_TTL, VALUE_INT},
    {WS_IPPROTO_IP, WS_IP_MULTICAST_LOOP, IPPROTO_IP, IP_MULTICAST_LOOP, VALUE_INT},
    {WS_IPPROTO_IP, WS_IP_ADD_MEMBERSHIP, IPPROTO_IP, IP_ADD_MEMBERSHIP, VALUE_MREQ},
    {WS_IPPROTO_IP, WS_IP_DROP_MEMBERSHIP, IPPROTO_IP, IP_DROP_MEMBERSHIP, VALUE_MREQ},
    {WS_IPPROTO_TCP, WS_TCP_NODELAY, IPPROTO_TCP, TCP_NODELAY, VALUE_INT},
};

// The option, or null with WSAEINVAL (unknown level) or WSAENOPROTOOPT.
const Option* find_option(int level, int name) {
  bool level_known = false;
  for (const Option& option : kOptions) {
    if (option.level != level) continue;
    level_known = true;
    if (option.name == name) return &option;
  }
  SetLastError(level_known ? WSAENOPROTOOPT : WSAEINVAL);
  return nullptr;
}

int value_size(ValueKind kind) { return kind == VALUE_MREQ ? static_cast<int>(sizeof(ip_mreq)) : 4; }

// An option the host has no use for on this kind of socket is, in
// Winsock's words, an unknown one.
int option_failed() { return net_fail(errno == EOPNOTSUPP ? WSAENOPROTOOPT : net_error_from_errno(errno)); }

int set_option(Socket* sock, const Option& option, const char* value) {
  int fd = sock->fd;
  int number;
  memcpy(&number, value, sizeof number);
  const void* host = &number;
  socklen_t size = sizeof number;
  linger l;
  timeval tv;
  ip_mreq request;
  switch (option.kind) {
    case VALUE_INT:
    case VALUE_BUFFER: break;
    case VALUE_LINGER: {
      WS_LINGER ws;
      memcpy(&ws, value, sizeof ws);
      l = {ws.l_onoff ? 1 : 0, ws.l_linger};
      host = &l;
      size = sizeof l;
      break;
    }
    case VALUE_DONTLINGER: {
      // Lingering again keeps the time set before.
      socklen_t got = sizeof l;
      if (getsockopt(fd, SOL_SOCKET, SO_LINGER, &l, &got) != 0) return option_failed();
      l.l_onoff = number ? 0 : 1;
      host = &l;
      size = sizeof l;
      break;
    }
    case VALUE_MILLIS: {
      DWORD ms = static_cast<DWORD>(number);
      tv = {static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000 * 1000)};
      host = &tv;
      size = sizeof tv;
      break;
    }
    case VALUE_ERROR: return net_fail(WSAENOPROTOOPT);
    case VALUE_REUSE: sock->reuse_address = number != 0; return 0;
    case VALUE_MREQ:
      memcpy(&request, value, sizeof request);
      host = &request;
      size = sizeof request;
      break;
  }
  return setsockopt(fd, option.host_level, option.host_name, host, size) == 0 ? 0 : option_failed();
}

int get_option(Socket* sock, const Option& option, char* value) {
  if (option.kind == VALUE_MREQ) return net_fail(WSAENOPROTOOPT);
  if (option.kind == VALUE_REUSE) {
    int number = sock->reuse_address ? 1 : 0;
    memcpy(value, &number, sizeof number);
    return 0;
  }
  union {
    int number;
    linger l;
    timeval tv;
  } host;
  socklen_t size = sizeof host;
  if (getsockopt(sock->fd, option.host_level, option.host_name, &host, &size) != 0) return option_failed();
  int number = host.number;
  switch (option.kind) {
    case VALUE_INT: break;
    case VALUE_BUFFER: number = host.number / 2; break;
    case VALUE_LINGER: {
      WS_LINGER ws = {static_cast<uint16_t>(host.l.l_onoff ? 1 : 0),
                      static_cast<uint16_t>(host.l.l_linger > 0xFFFF ? 0xFFFF : host.l.l_linger)};
      memcpy(value, &ws, sizeof ws);
      return 0;
    }
    case VALUE_DONTLINGER: number = host.l.l_onoff ? 0 : 1; break;
    case VALUE_MILLIS: {
      uint64_t ms = static_cast<uint64_t>(host.tv.tv_sec) * 1000 + (host.tv.tv_usec + 500) / 1000;
      number = static_cast<int>(ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : ms);
      break;
    }
    case VALUE_ERROR:
      // Reading the error takes it from the host; a reset must stay known.
      if (host.number == ECONNRESET && sock->type == SOCK_STREAM) sock->reset = true;
      number = host.number ? static_cast<int>(net_error_from_errno(host.number)) : 0;
      break;
    case VALUE_MREQ:
    case VALUE_REUSE: break;
  }
  memcpy(value, &number, sizeof number);
  return 0;
}

}  // namespace

extern "C" int ws2_setsockopt(SOCKET s, int level, int name, const char* value, int length) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  int rc = SOCKET_ERROR;
  const Option* option = find_option(level, name);
  if (option) {
    rc = (!value || length < value_size(option->kind)) ? net_fail(WSAEFAULT) : set_option(sock, *option, value);
  }
  net_put(sock);
  return rc;
}

extern "C" int ws2_getsockopt(SOCKET s, int level, int name, char* value, int* length) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  int rc = SOCKET_ERROR;
  const Option* option = find_option(level, name);
  if (option) {
    int size = value_size(option->kind);
    rc = (!value || !length || *length < size) ? net_fail(WSAEFAULT) : get_option(sock, *option, value);
    if (rc == 0) *length = size;
  }
  net_put(sock);
  return rc;
}

extern "C" int ioctlsocket(SOCKET s, LONG command, ULONG* argument) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  int rc = 0;
  int number = 0;
  if (!argument) {
    rc = net_fail(WSAEFAULT);
  } else if (static_cast<uint32_t>(command) == WS_FIONBIO) {
    int flags = fcntl(sock->fd, F_GETFL);
    bool on = *argument != 0;
    if (flags < 0 || fcntl(sock->fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) != 0) {
      rc = net_fail_errno();
    } else {
      sock->nonblocking = on;
    }
  } else if (static_cast<uint32_t>(command) == WS_FIONREAD) {
    if (ioctl(sock->fd, FIONREAD, &number) != 0) {
      rc = net_fail_errno();
    } else {
      *argument = static_cast<ULONG>(number);
    }
  } else if (static_cast<uint32_t>(command) == WS_SIOCATMARK && sock->type == SOCK_STREAM) {
    // TRUE while no urgent data waits to be read.
    pollfd p = {sock->fd, POLLPRI, 0};
    *argument = (poll(&p, 1, 0) == 1 && (p.revents & POLLPRI)) ? 0 : 1;
  } else {
    rc = net_fail(WSAEINVAL);
  }
  net_put(sock);
  return rc;
}
