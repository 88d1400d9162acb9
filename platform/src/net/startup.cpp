// WSAStartup and WSACleanup: a process-wide count of users. Socket
// functions work only while it is above zero, and the last WSACleanup
// closes the sockets still open, as Winsock does.
#include <cstring>
#include <mutex>

#include "net.h"
#include "wce/kernel.h"

namespace {

constexpr WORD kHighest = 0x0202;  // 2.2: low byte major, high byte minor

std::mutex g_lock;  // orders the count's transitions with the closing of sockets
std::atomic<int> g_users;

// Versions compare major first; the major is the low byte.
int rank(WORD version) { return (version & 0xFF) << 8 | version >> 8; }

}  // namespace

bool net_ready() {
  if (g_users.load() > 0) return true;
  SetLastError(WSANOTINITIALISED);
  return false;
}

extern "C" int WSAStartup(WORD version, WSADATA* data) {
  if ((version & 0xFF) == 0) return WSAVERNOTSUPPORTED;
  if (!data) return WSAEFAULT;
  memset(data, 0, sizeof *data);
  data->wVersion = rank(version) <= rank(kHighest) ? version : kHighest;
  data->wHighVersion = kHighest;
  strcpy(data->szDescription, "WinSock 2.2");
  strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = 100;
  data->iMaxUdpDg = 0;
  data->lpVendorInfo = nullptr;
  std::lock_guard<std::mutex> hold(g_lock);
  g_users.fetch_add(1);
  return 0;
}

extern "C" int WSACleanup(void) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_users.load() == 0) return net_fail(WSANOTINITIALISED);
  if (g_users.fetch_sub(1) == 1) net_close_all();
  return 0;
}
