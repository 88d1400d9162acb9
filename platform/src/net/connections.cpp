// Binding, listening, accepting, connecting and shutting down, and the
// names of a socket's two ends.
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "net.h"
#include "wce/kernel.h"

static_assert(SHUT_RD == 0 && SHUT_WR == 1 && SHUT_RDWR == 2, "shutdown directions are numbered alike");

namespace {

// A blocking connect a signal interrupted goes on in the background; wait
// for its outcome as the guest would have.
int finish_connect(Socket* sock) {
  pollfd p = {sock->fd, POLLOUT, 0};
  while (poll(&p, 1, -1) < 0) {
    if (errno != EINTR) return -1;
  }
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(sock->fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return -1;
  errno = error;
  return error ? -1 : 0;
}

bool bound(const Socket* sock) {
  sockaddr_storage name;
  socklen_t size = sizeof name;
  if (getsockname(sock->fd, reinterpret_cast<sockaddr*>(&name), &size) != 0) return false;
  // The port sits at the same place in both families' addresses.
  return reinterpret_cast<const sockaddr_in*>(&name)->sin_port != 0;
}

using NameQuery = int (*)(int, sockaddr*, socklen_t*);

int own_name(SOCKET s, WS_SOCKADDR* address, int* length, NameQuery query) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  int rc = SOCKET_ERROR;
  sockaddr_storage name;
  socklen_t size = sizeof name;
  if (!address || !length) {
    net_fail(WSAEFAULT);
  } else if (query(sock->fd, reinterpret_cast<sockaddr*>(&name), &size) != 0) {
    net_fail_errno();
  } else if (net_address_out(name, size, address, length)) {
    rc = 0;
  }
  net_put(sock);
  return rc;
}

}  // namespace

extern "C" int ws2_bind(SOCKET s, const WS_SOCKADDR* address, int length) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  sockaddr_storage host;
  socklen_t size = net_address_in(address, length, &host);
  int rc = SOCKET_ERROR;
  if (size) rc = net_bind_address(sock, host, size);
  net_put(sock);
  return rc;
}

extern "C" int ws2_listen(SOCKET s, int backlog) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  int rc;
  if (sock->type == SOCK_STREAM && sock->state == NET_CONNECTED) {
    rc = net_fail(WSAEISCONN);
  } else if (sock->type == SOCK_STREAM && !bound(sock)) {
    // The host would bind it to a port of its choosing; Winsock refuses.
    rc = net_fail(WSAEINVAL);
  } else {
    rc = listen(sock->fd, backlog) == 0 ? 0 : net_fail_errno();
  }
  if (rc == 0) sock->state = NET_LISTENING;
  net_put(sock);
  return rc;
}

extern "C" SOCKET ws2_accept(SOCKET s, WS_SOCKADDR* address, int* length) {
  Socket* sock = net_get(s);
  if (!sock) return INVALID_SOCKET;
  // Checked before the host accepts: a connection taken and then not
  // handed over would be lost.
  if (address && (!length || *length < net_address_size(sock->family))) {
    net_put(sock);
    net_fail(WSAEFAULT);
    return INVALID_SOCKET;
  }
  bool nonblocking = sock->nonblocking;
  // A socket accepted from a non-blocking listener is non-blocking too.
  int flags = SOCK_CLOEXEC | (nonblocking ? SOCK_NONBLOCK : 0);
  sockaddr_storage peer;
  socklen_t size;
  int fd;
  do {
    size = sizeof peer;
    fd = accept4(sock->fd, reinterpret_cast<sockaddr*>(&peer), &size, flags);
  } while (fd < 0 && errno == EINTR && !net_interrupted(sock));
  SOCKET result = INVALID_SOCKET;
  if (net_interrupted(sock)) {
    if (fd >= 0) close(fd);
    net_fail(WSAEINTR);
  } else if (fd < 0) {
    net_fail_errno();
  } else {
    result = net_adopt(fd, sock->family, sock->type, nonblocking, NET_CONNECTED);
    // Winsock gives the accepted socket its listener's options.
    Socket* taken = result != INVALID_SOCKET ? net_get(result) : nullptr;
    if (taken) {
      taken->reuse_address = sock->reuse_address.load();
      net_put(taken);
    }
    if (result != INVALID_SOCKET && address) net_address_out(peer, size, address, length);
  }
  net_put(sock);
  return result;
}

extern "C" int ws2_connect(SOCKET s, const WS_SOCKADDR* address, int length) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  sockaddr_storage host;
  socklen_t size = net_address_in(address, length, &host);
  if (!size) {
    net_put(sock);
    return SOCKET_ERROR;
  }
  int before = sock->state;
  int rc = connect(sock->fd, reinterpret_cast<sockaddr*>(&host), size);
  if (rc != 0 && errno == EINTR && !sock->nonblocking && !net_interrupted(sock)) rc = finish_connect(sock);
  // Asked again after a non-blocking connect went through, the host
  // reports success once; Winsock says the socket is connected already.
  if (rc == 0 && sock->type == SOCK_STREAM && (before == NET_CONNECTING || before == NET_CONNECTED)) {
    errno = EISCONN;
    rc = -1;
  }
  if (rc == 0 || errno == EISCONN) {
    sock->state = NET_CONNECTED;
  } else if (errno == EINPROGRESS) {
    sock->state = NET_CONNECTING;
  }
  if (rc != 0) rc = net_interrupted(sock) ? net_fail(WSAEINTR) : net_fail_errno();
  net_put(sock);
  return rc;
}

extern "C" int ws2_shutdown(SOCKET s, int how) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  int rc;
  if (how < SHUT_RD || how > SHUT_RDWR) {
    rc = net_fail(WSAEINVAL);
  } else {
    rc = shutdown(sock->fd, how) == 0 ? 0 : net_fail_errno();
    if (rc == 0 && how != SHUT_RD) sock->send_shut = true;
  }
  net_put(sock);
  return rc;
}

extern "C" int ws2_getsockname(SOCKET s, WS_SOCKADDR* address, int* length) {
  return own_name(s, address, length, getsockname);
}

extern "C" int ws2_getpeername(SOCKET s, WS_SOCKADDR* address, int* length) {
  return own_name(s, address, length, getpeername);
}
