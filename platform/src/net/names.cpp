// Host names: gethostbyname, gethostbyaddr and gethostname, IPv4 only.
// The record handed out lives in the calling thread's storage, so look-ups
// in other threads cannot change it under its reader.
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstring>

#include "net.h"
#include "wce/kernel.h"

namespace {

constexpr int kMaxAddresses = 35;
constexpr int kNameSize = 256;

struct HostRecord {
  WS_HOSTENT entry;
  char name[kNameSize];
  char* aliases[1];
  char* addresses[kMaxAddresses + 1];
  uint32_t values[kMaxAddresses];  // network order
};

thread_local HostRecord t_host;

DWORD lookup_error(int code) {
  switch (code) {
    case EAI_NONAME: return WSAHOST_NOT_FOUND;
    case EAI_AGAIN: return WSATRY_AGAIN;
    case EAI_NODATA:
    case EAI_ADDRFAMILY: return WSANO_DATA;
    default: return WSANO_RECOVERY;
  }
}

// Fills the thread's record with `name` and `count` addresses.
WS_HOSTENT* fill(const char* name, const uint32_t* values, int count) {
  HostRecord& r = t_host;
  size_t size = strnlen(name, kNameSize - 1);  // cut to fit
  memcpy(r.name, name, size);
  r.name[size] = 0;
  r.aliases[0] = nullptr;
  for (int i = 0; i < count; ++i) {
    r.values[i] = values[i];
    r.addresses[i] = reinterpret_cast<char*>(&r.values[i]);
  }
  r.addresses[count] = nullptr;
  r.entry.h_name = r.name;
  r.entry.h_aliases = r.aliases;
  r.entry.h_addrtype = WS_AF_INET;
  r.entry.h_length = 4;
  r.entry.h_addr_list = r.addresses;
  return &r.entry;
}

WS_HOSTENT* fail(DWORD code) {
  SetLastError(code);
  return nullptr;
}

}  // namespace

extern "C" WS_HOSTENT* ws2_gethostbyname(const char* name) {
  if (!net_ready()) return nullptr;
  char local[kNameSize];
  if (!name || !*name) {  // this machine, as gethostname names it
    if (gethostname(local, sizeof local) != 0) return fail(WSANO_RECOVERY);
    local[sizeof local - 1] = 0;
    name = local;
  }
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
  hints.ai_flags = AI_CANONNAME;
  addrinfo* list = nullptr;
  int rc = getaddrinfo(name, nullptr, &hints, &list);
  if (rc != 0) return fail(rc == EAI_SYSTEM ? WSANO_RECOVERY : lookup_error(rc));
  uint32_t values[kMaxAddresses];
  int count = 0;
  for (addrinfo* at = list; at && count < kMaxAddresses; at = at->ai_next) {
    if (at->ai_family != AF_INET || at->ai_addrlen < sizeof(sockaddr_in)) continue;
    uint32_t value = reinterpret_cast<const sockaddr_in*>(at->ai_addr)->sin_addr.s_addr;
    bool seen = false;
    for (int i = 0; i < count; ++i) seen = seen || values[i] == value;
    if (!seen) values[count++] = value;
  }
  WS_HOSTENT* entry = nullptr;
  if (count == 0) {
    fail(WSANO_DATA);
  } else {
    entry = fill(list->ai_canonname ? list->ai_canonname : name, values, count);
  }
  freeaddrinfo(list);
  return entry;
}

extern "C" WS_HOSTENT* ws2_gethostbyaddr(const char* address, int length, int type) {
  if (!net_ready()) return nullptr;
  if (!address || length < 4) return fail(WSAEFAULT);
  if (type != WS_AF_INET) return fail(WSAEAFNOSUPPORT);
  sockaddr_in host = {};
  host.sin_family = AF_INET;
  memcpy(&host.sin_addr, address, 4);
  char name[NI_MAXHOST];
  int rc = getnameinfo(reinterpret_cast<sockaddr*>(&host), sizeof host, name, sizeof name, nullptr, 0, NI_NAMEREQD);
  if (rc != 0) return fail(lookup_error(rc));
  return fill(name, &host.sin_addr.s_addr, 1);
}

extern "C" int ws2_gethostname(char* name, int length) {
  if (!net_ready()) return SOCKET_ERROR;
  if (!name || length <= 0) return net_fail(WSAEFAULT);
  char local[kNameSize];
  if (gethostname(local, sizeof local) != 0) return net_fail(WSAENETDOWN);
  local[sizeof local - 1] = 0;
  size_t size = strlen(local) + 1;
  if (size > static_cast<size_t>(length)) return net_fail(WSAEFAULT);
  memcpy(name, local, size);
  return 0;
}
