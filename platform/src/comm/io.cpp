// ReadFile and WriteFile on a serial port, with the Win32 timeout rules:
// a read waits until it has every byte asked for, the total timeout
// (multiplier x bytes + constant) has passed, or the interval timeout has
// passed between two bytes; MAXDWORD as interval with no total timeout
// returns at once with what has arrived; MAXDWORD as interval and as
// multiplier with a constant waits up to the constant for the first byte.
// A timeout is no error: the count says what was done.
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "comm_port.h"
#include "wce/kernel.h"

namespace {

uint64_t now_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

// Waits for `events` until `deadline` (0: forever). 1 ready, 0 timed out,
// -1 failed or hung up.
int wait_for(int fd, short events, uint64_t deadline) {
  for (;;) {
    int timeout = -1;
    if (deadline) {
      uint64_t now = now_ms();
      timeout = now >= deadline ? 0 : static_cast<int>(deadline - now > 0x7FFFFFFF ? 0x7FFFFFFF : deadline - now);
    }
    pollfd p = {fd, events, 0};
    int rc = poll(&p, 1, timeout);
    if (rc < 0 && errno == EINTR) continue;
    if (rc < 0) return -1;
    if (rc == 0) return 0;
    if (p.revents & events) return 1;
    return -1;  // error or hang-up with nothing left to read
  }
}

uint64_t deadline_after(uint64_t start, uint64_t ms) { return ms ? start + ms : 0; }

BOOL fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

}  // namespace

BOOL comm_read(KObject* object, void* buffer, DWORD size, DWORD* done) {
  CommPort* port = reinterpret_cast<CommPort*>(object);
  if (done) *done = 0;
  if (!(port->access & COMM_GENERIC_READ)) return fail(ERROR_ACCESS_DENIED);
  COMMTIMEOUTS t;
  {
    std::lock_guard<std::mutex> hold(port->lock);
    t = port->timeouts;
  }
  uint64_t start = now_ms();
  bool at_once = t.ReadIntervalTimeout == MAXDWORD && !t.ReadTotalTimeoutMultiplier && !t.ReadTotalTimeoutConstant;
  bool first_only = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
                    t.ReadTotalTimeoutConstant && t.ReadTotalTimeoutConstant != MAXDWORD;
  uint64_t total = first_only ? t.ReadTotalTimeoutConstant
                              : static_cast<uint64_t>(t.ReadTotalTimeoutMultiplier) * size + t.ReadTotalTimeoutConstant;
  uint64_t deadline = at_once ? start : deadline_after(start, total);
  DWORD got = 0;
  char* out = static_cast<char*>(buffer);
  while (got < size) {
    uint64_t until = deadline;
    if (got && !first_only && t.ReadIntervalTimeout && t.ReadIntervalTimeout != MAXDWORD) {
      uint64_t interval = now_ms() + t.ReadIntervalTimeout;
      if (!until || interval < until) until = interval;
    }
    if (at_once || (got && first_only)) until = 0, at_once = true;
    int ready = at_once ? 1 : wait_for(port->fd, POLLIN, until);
    if (ready < 0) return fail(COMM_ERROR_GEN_FAILURE);
    if (ready == 0) break;
    ssize_t n = read(port->fd, out + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    // A raw terminal with no minimum answers an empty read with 0.
    if (n == 0 || (n < 0 && errno == EAGAIN)) {
      if (at_once) break;
      continue;
    }
    if (n < 0) {
      if (got) break;  // failed after some data: deliver what came
      return fail(COMM_ERROR_GEN_FAILURE);
    }
    got += static_cast<DWORD>(n);
    if (done) *done = got;
  }
  {
    std::lock_guard<std::mutex> hold(port->lock);
    comm_collect_errors(port);
  }
  return TRUE;
}

BOOL comm_write(KObject* object, const void* buffer, DWORD size, DWORD* done) {
  CommPort* port = reinterpret_cast<CommPort*>(object);
  if (done) *done = 0;
  if (!(port->access & COMM_GENERIC_WRITE)) return fail(ERROR_ACCESS_DENIED);
  COMMTIMEOUTS t;
  {
    std::lock_guard<std::mutex> hold(port->lock);
    t = port->timeouts;
  }
  uint64_t start = now_ms();
  uint64_t deadline = deadline_after(
      start, static_cast<uint64_t>(t.WriteTotalTimeoutMultiplier) * size + t.WriteTotalTimeoutConstant);
  DWORD put = 0;
  const char* in = static_cast<const char*>(buffer);
  while (put < size) {
    ssize_t n = write(port->fd, in + put, size - put);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      int ready = wait_for(port->fd, POLLOUT, deadline);
      if (ready < 0) return fail(COMM_ERROR_GEN_FAILURE);
      if (ready == 0) break;
      continue;
    }
    if (n < 0) return fail(COMM_ERROR_GEN_FAILURE);
    put += static_cast<DWORD>(n);
    if (done) *done = put;
  }
  return TRUE;
}
