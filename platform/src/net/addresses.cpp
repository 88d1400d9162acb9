// Socket addresses between guest and host. sockaddr_in and sockaddr_in6
// have the same layouts on both sides; only the family numbers differ.
#include <netinet/in.h>

#include <cstring>

#include "net.h"
#include "wce/kernel.h"

static_assert(sizeof(sockaddr_in) == 16 && offsetof(sockaddr_in, sin_port) == 2 && offsetof(sockaddr_in, sin_addr) == 4,
              "sockaddr_in layout");
static_assert(sizeof(sockaddr_in6) == 28 && offsetof(sockaddr_in6, sin6_addr) == 8 &&
                  offsetof(sockaddr_in6, sin6_scope_id) == 24,
              "sockaddr_in6 layout");
static_assert(sizeof(sa_family_t) == 2, "a 16-bit family leads every address");

namespace {

socklen_t refuse(DWORD code) {
  SetLastError(code);
  return 0;
}

}  // namespace

int net_address_size(int family) {
  return family == AF_INET6 ? static_cast<int>(sizeof(sockaddr_in6)) : static_cast<int>(sizeof(sockaddr_in));
}

socklen_t net_address_in(const WS_SOCKADDR* address, int length, sockaddr_storage* out) {
  if (!address || length < static_cast<int>(sizeof(WS_SOCKADDR))) return refuse(WSAEFAULT);
  int family;
  switch (address->sa_family) {
    case WS_AF_INET: family = AF_INET; break;
    case WS_AF_INET6: family = AF_INET6; break;
    case WS_AF_UNSPEC: family = AF_UNSPEC; break;  // connect: drops a datagram socket's peer
    default: return refuse(WSAEAFNOSUPPORT);
  }
  int size = family == AF_UNSPEC ? static_cast<int>(sizeof(WS_SOCKADDR)) : net_address_size(family);
  if (length < size) return refuse(WSAEFAULT);
  // Never more than the family's size: the guest's length may run past
  // what it owns.
  memset(out, 0, sizeof *out);
  memcpy(out, address, size);
  out->ss_family = static_cast<sa_family_t>(family);
  return static_cast<socklen_t>(size);
}

bool net_address_out(const sockaddr_storage& address, socklen_t host_length, WS_SOCKADDR* out, int* length) {
  if (!out || !length) return refuse(WSAEFAULT);
  int size = static_cast<int>(host_length);
  if (size > static_cast<int>(sizeof address)) size = sizeof address;
  if (*length < size) return refuse(WSAEFAULT);
  memcpy(out, &address, size);
  if (size >= 2) {
    out->sa_family = address.ss_family == AF_INET6  ? WS_AF_INET6
                     : address.ss_family == AF_INET ? WS_AF_INET
                                                    : WS_AF_UNSPEC;
  }
  *length = size;
  return true;
}
