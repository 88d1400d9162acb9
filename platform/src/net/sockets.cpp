// Socket objects: creation, look-up and closing. The table's reference
// keeps the host descriptor open; threads inside a call hold references
// of their own, so closesocket shuts the host socket down to wake them and
// the descriptor is closed when the last of them lets go.
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "net.h"
#include "wce/kernel.h"

static_assert(SOCK_STREAM == 1 && SOCK_DGRAM == 2 && SOCK_RAW == 3 && SOCK_RDM == 4 && SOCK_SEQPACKET == 5,
              "socket types are numbered alike on both sides");

namespace {

// The sockets the guest holds, for the last WSACleanup.
std::mutex g_live_lock;
std::vector<SOCKET> g_live;

HANDLE as_handle(SOCKET s) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(s)); }

void destroy_socket(KObject* object) {
  Socket* sock = reinterpret_cast<Socket*>(object);
  close(sock->fd);
  delete sock;
}
const KObjectOps kSocketOps = {destroy_socket, nullptr, nullptr};

void forget(SOCKET s) {
  std::lock_guard<std::mutex> hold(g_live_lock);
  auto at = std::find(g_live.begin(), g_live.end(), s);
  if (at != g_live.end()) {
    *at = g_live.back();
    g_live.pop_back();
  }
}

// Consumes the caller's reference.
int close_socket(SOCKET s, Socket* sock) {
  // Whoever sets `closing` first closes; net_get refuses the socket from
  // now on. Together with net_get's check after taking its reference, a
  // thread about to block either sees `closing` or is counted below.
  if (sock->closing.exchange(true)) {
    net_put(sock);
    return net_fail(WSAENOTSOCK);
  }
  // More than the table's reference and ours: someone may be blocked in it.
  if (sock->header.refs.load() > 2) shutdown(sock->fd, SHUT_RDWR);
  forget(s);
  handle_close(as_handle(s));
  net_put(sock);
  return 0;
}

}  // namespace

Socket* net_get(SOCKET s) {
  if (!net_ready()) return nullptr;
  KObject* object = handle_get(as_handle(s), KOBJ_SOCKET);
  Socket* sock = reinterpret_cast<Socket*>(object);
  if (sock && sock->closing.load()) {
    net_put(sock);
    sock = nullptr;
  }
  if (!sock) SetLastError(WSAENOTSOCK);
  return sock;
}

void net_put(Socket* sock) { handle_release(&sock->header); }

SOCKET net_adopt(int fd, int family, int type, bool nonblocking, NetState state) {
  Socket* sock = new Socket;
  kobject_init(&sock->header, KOBJ_SOCKET, &kSocketOps);
  sock->fd = fd;
  sock->family = family;
  sock->type = type;
  sock->nonblocking = nonblocking;
  sock->closing = false;
  sock->send_shut = false;
  sock->state = state;
  sock->reuse_address = false;
  sock->reset = false;
  HANDLE handle = handle_insert(&sock->header);
  if (!handle) {
    destroy_socket(&sock->header);
    SetLastError(WSAEMFILE);
    return INVALID_SOCKET;
  }
  SOCKET s = static_cast<SOCKET>(reinterpret_cast<uintptr_t>(handle));
  std::lock_guard<std::mutex> hold(g_live_lock);
  g_live.push_back(s);
  return s;
}

void net_close_all() {
  std::vector<SOCKET> open;
  {
    std::lock_guard<std::mutex> hold(g_live_lock);
    open.swap(g_live);
  }
  for (SOCKET s : open) {
    KObject* object = handle_get(as_handle(s), KOBJ_SOCKET);
    if (object) close_socket(s, reinterpret_cast<Socket*>(object));
  }
}

std::vector<SOCKET> net_live_sockets() {
  std::lock_guard<std::mutex> hold(g_live_lock);
  return g_live;
}

extern "C" SOCKET ws2_socket(int family, int type, int protocol) {
  if (!net_ready()) return INVALID_SOCKET;
  int host_family = family == WS_AF_INET ? AF_INET : family == WS_AF_INET6 ? AF_INET6 : -1;
  if (host_family < 0) {
    SetLastError(WSAEAFNOSUPPORT);
    return INVALID_SOCKET;
  }
  // Only the plain types: the host would read higher bits as its own
  // creation flags (non-blocking, close-on-exec).
  if (type < SOCK_STREAM || type > SOCK_SEQPACKET) {
    SetLastError(WSAESOCKTNOSUPPORT);
    return INVALID_SOCKET;
  }
  int fd = socket(host_family, type | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    net_fail_errno();
    return INVALID_SOCKET;
  }
  net_allow_host_reuse(fd);
  return net_adopt(fd, host_family, type, false, NET_IDLE);
}

extern "C" int closesocket(SOCKET s) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  return close_socket(s, sock);
}
