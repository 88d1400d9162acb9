// Address reuse as Winsock has it. On Winsock SO_REUSEADDR on the socket
// being bound is enough to share an address; the host wants it on both
// sockets, including the earlier connections of a port still in TIME_WAIT.
// So every host socket allows reuse and the device refuses what Winsock
// refuses: a bind without the option to an address another socket of the
// guest holds. The host still refuses a second listener on one port.
#include <netinet/in.h>

#include <cstring>
#include <mutex>

#include "net.h"
#include "wce/kernel.h"

namespace {

// Binds are checked and made one at a time, so two binds cannot both see
// the address free.
std::mutex g_bind_lock;

struct Endpoint {
  int family;
  uint16_t port;
  bool wildcard;
  const void* address;
  size_t address_size;
};

Endpoint endpoint_of(const sockaddr_storage& a) {
  if (a.ss_family == AF_INET6) {
    const auto* six = reinterpret_cast<const sockaddr_in6*>(&a);
    bool any = memcmp(&six->sin6_addr, &in6addr_any, sizeof in6addr_any) == 0;
    return {AF_INET6, six->sin6_port, any, &six->sin6_addr, sizeof six->sin6_addr};
  }
  const auto* four = reinterpret_cast<const sockaddr_in*>(&a);
  return {a.ss_family, four->sin_port, four->sin_addr.s_addr == htonl(INADDR_ANY), &four->sin_addr,
          sizeof four->sin_addr};
}

// Whether two addresses of one kind of socket would receive for each other.
bool overlap(const Endpoint& a, const Endpoint& b) {
  if (a.family != b.family || a.port != b.port || a.port == 0) return false;
  return a.wildcard || b.wildcard || memcmp(a.address, b.address, a.address_size) == 0;
}

bool held_by_another(const Socket* self, const sockaddr_storage& wanted) {
  Endpoint want = endpoint_of(wanted);
  if (want.port == 0) return false;  // the host picks a free port
  bool held = false;
  for (SOCKET s : net_live_sockets()) {
    Socket* other = net_get(s);
    if (!other) continue;  // closed meanwhile
    if (other != self && other->type == self->type) {
      sockaddr_storage name;
      socklen_t size = sizeof name;
      if (getsockname(other->fd, reinterpret_cast<sockaddr*>(&name), &size) == 0 &&
          overlap(want, endpoint_of(name))) {
        held = true;
      }
    }
    net_put(other);
    if (held) break;
  }
  return held;
}

}  // namespace

void net_allow_host_reuse(int fd) {
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);  // only widens what bind allows
}

int net_bind_address(Socket* sock, const sockaddr_storage& address, socklen_t size) {
  std::lock_guard<std::mutex> hold(g_bind_lock);
  if (!sock->reuse_address && held_by_another(sock, address)) return net_fail(WSAEADDRINUSE);
  return bind(sock->fd, reinterpret_cast<const sockaddr*>(&address), size) == 0 ? 0 : net_fail_errno();
}
