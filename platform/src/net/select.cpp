// select over poll: Winsock's sets are arrays of handles, and the host
// descriptors behind them may be of any number. Each socket is looked up
// once and held for the wait, so closesocket in another thread wakes it.
#include <poll.h>
#include <time.h>

#include <cerrno>
#include <vector>

#include "net.h"
#include "wce/kernel.h"

namespace {

enum : int { IN_READ = 1, IN_WRITE = 2, IN_FAILED = 4 };

struct Watched {
  SOCKET value;
  Socket* sock;
  int sets;   // IN_* bits: which sets name the socket
  int ready;  // IN_* bits after the wait
};

uint64_t now_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

bool oob_inline(const Socket* sock) {
  int on = 0;
  socklen_t size = sizeof on;
  return getsockopt(sock->fd, SOL_SOCKET, SO_OOBINLINE, &on, &size) == 0 && on;
}

// The sets a socket belongs to after the host reported `events`. Whatever
// wakes poll lands in some set, so a wait never ends with nothing to show
// before its time.
int readiness(Socket* sock, short events, int sets) {
  if (!events) return 0;
  int state = sock->state;
  if (sock->type == SOCK_STREAM && state == NET_CONNECTING) {
    int outcome = (events & (POLLERR | POLLHUP)) ? NET_CONNECT_FAILED : NET_CONNECTED;
    if (sock->state.compare_exchange_strong(state, outcome)) state = outcome;
  }
  if (sock->type == SOCK_STREAM && state == NET_CONNECT_FAILED) {
    // A failed connect belongs in the failed set; a guest that did not ask
    // there hears of it through the sets it did ask, not by waiting on.
    return (sets & IN_FAILED) ? IN_FAILED : sets;
  }
  int ready = 0;
  if (events & POLLIN) ready |= IN_READ;
  if (events & POLLOUT) ready |= IN_WRITE;
  if (events & POLLPRI) ready |= IN_FAILED;  // asked only when urgent data is not read inline
  // A reset or hung-up socket stays so: reading and writing it fail at once.
  if (events & (POLLERR | POLLHUP)) ready |= IN_READ | IN_WRITE;
  ready &= sets;
  return ready ? ready : sets;
}

// Keeps in `set` only the sockets ready for its purpose, in their order.
int rewrite(WS_FD_SET* set, int purpose, const std::vector<Watched>& watched) {
  if (!set) return 0;
  UINT kept = 0;
  SOCKET* array = set->fd_array;
  for (UINT i = 0; i < set->fd_count; ++i) {
    for (const Watched& w : watched) {
      if (w.value == array[i]) {
        if (w.ready & purpose) array[kept++] = array[i];
        break;
      }
    }
  }
  set->fd_count = kept;
  return static_cast<int>(kept);
}

// Waits for any of `polls`, forever or until `deadline` (ms on the
// monotonic clock). The count of ready entries, or -1 with errno set.
int wait(std::vector<pollfd>& polls, bool forever, uint64_t deadline) {
  for (;;) {
    int timeout = -1;
    if (!forever) {
      uint64_t now = now_ms();
      uint64_t left = now >= deadline ? 0 : deadline - now;
      timeout = left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
    }
    int rc = poll(polls.data(), polls.size(), timeout);
    if (rc < 0 && errno == EINTR) continue;
    if (rc == 0 && !forever && now_ms() < deadline) continue;  // a wait longer than poll can take
    return rc;
  }
}

}  // namespace

extern "C" int ws2_select(int, WS_FD_SET* readable, WS_FD_SET* writable, WS_FD_SET* failed, const WS_TIMEVAL* timeout) {
  if (!net_ready()) return SOCKET_ERROR;
  WS_FD_SET* sets[3] = {readable, writable, failed};
  static const int kPurpose[3] = {IN_READ, IN_WRITE, IN_FAILED};
  uint64_t named = 0;
  for (WS_FD_SET* set : sets) named += set ? set->fd_count : 0;
  if (named == 0) return net_fail(WSAEINVAL);
  if (timeout && (timeout->tv_sec < 0 || timeout->tv_usec < 0)) return net_fail(WSAEINVAL);

  std::vector<Watched> watched;
  auto release = [&] {
    for (Watched& w : watched) net_put(w.sock);
  };
  for (int k = 0; k < 3; ++k) {
    if (!sets[k]) continue;
    const SOCKET* array = sets[k]->fd_array;
    for (UINT i = 0; i < sets[k]->fd_count; ++i) {
      Watched* found = nullptr;
      for (Watched& w : watched) {
        if (w.value == array[i]) found = &w;
      }
      if (!found) {
        Socket* sock = net_get(array[i]);
        if (!sock) {  // the sets stay as they were
          release();
          return SOCKET_ERROR;
        }
        watched.push_back({array[i], sock, 0, 0});
        found = &watched.back();
      }
      found->sets |= kPurpose[k];
    }
  }

  std::vector<pollfd> polls(watched.size());
  for (size_t i = 0; i < watched.size(); ++i) {
    short events = 0;
    if (watched[i].sets & IN_READ) events |= POLLIN;
    if (watched[i].sets & IN_WRITE) events |= POLLOUT;
    // Urgent data read inline is ordinary data, not a failed-set event.
    if ((watched[i].sets & IN_FAILED) && !oob_inline(watched[i].sock)) events |= POLLPRI;
    polls[i] = {watched[i].sock->fd, events, 0};
  }
  uint64_t deadline = 0;
  if (timeout) {
    deadline = now_ms() + static_cast<uint64_t>(timeout->tv_sec) * 1000 +
               (static_cast<uint64_t>(timeout->tv_usec) + 999) / 1000;
  }
  if (wait(polls, !timeout, deadline) < 0) {
    int error = errno;
    release();
    return net_fail(net_error_from_errno(error));
  }
  for (size_t i = 0; i < watched.size(); ++i) {
    watched[i].ready = readiness(watched[i].sock, polls[i].revents, watched[i].sets);
  }
  int total = 0;
  for (int k = 0; k < 3; ++k) total += rewrite(sets[k], kPurpose[k], watched);
  release();
  return total;
}

extern "C" int __WSAFDIsSet(SOCKET s, WS_FD_SET* set) {
  if (!set) return 0;
  for (UINT i = 0; i < set->fd_count; ++i) {
    if (set->fd_array[i] == s) return 1;
  }
  return 0;
}
