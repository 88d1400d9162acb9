// Break, errors and modem lines.
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

#include "comm_port.h"
#include "wce/kernel.h"

void comm_collect_errors(CommPort* port) {
  serial_icounter_struct now;
  if (ioctl(port->fd, TIOCGICOUNT, &now) != 0) return;
  const int counts[5] = {now.frame, now.overrun, now.parity, now.brk, now.buf_overrun};
  static const DWORD kBits[5] = {CE_FRAME, CE_OVERRUN, CE_RXPARITY, CE_BREAK, CE_RXOVER};
  for (int i = 0; i < 5; i++) {
    if (counts[i] != port->counts[i]) port->errors |= kBits[i];
    port->counts[i] = counts[i];
  }
}

namespace {

BOOL set_break(HANDLE handle, bool on) {
  CommPort* port = comm_port(handle);
  if (!port) return FALSE;
  BOOL ok;
  {
    std::lock_guard<std::mutex> hold(port->lock);
    ok = ioctl(port->fd, on ? TIOCSBRK : TIOCCBRK) == 0;
    if (ok) port->in_break = on;
  }
  handle_release(&port->header);
  if (!ok) SetLastError(COMM_ERROR_GEN_FAILURE);
  return ok;
}

}  // namespace

extern "C" BOOL SetCommBreak(HANDLE handle) { return set_break(handle, true); }
extern "C" BOOL ClearCommBreak(HANDLE handle) { return set_break(handle, false); }

extern "C" BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* stat) {
  CommPort* port = comm_port(handle);
  if (!port) return FALSE;
  {
    std::lock_guard<std::mutex> hold(port->lock);
    comm_collect_errors(port);
    if (errors) *errors = port->errors;
    port->errors = 0;
    if (stat) {
      int in = 0, out = 0;
      if (ioctl(port->fd, TIOCINQ, &in) != 0) in = 0;
      if (ioctl(port->fd, TIOCOUTQ, &out) != 0) out = 0;
      *stat = COMSTAT{0, static_cast<DWORD>(in), static_cast<DWORD>(out)};
    }
  }
  handle_release(&port->header);
  return TRUE;
}

// A terminal without modem lines (a pseudo terminal) reports none on.
extern "C" BOOL GetCommModemStatus(HANDLE handle, DWORD* status) {
  CommPort* port = comm_port(handle);
  if (!port) return FALSE;
  if (status) {
    int lines = 0;
    if (ioctl(port->fd, TIOCMGET, &lines) != 0) lines = 0;
    *status = ((lines & TIOCM_CTS) ? DWORD(MS_CTS_ON) : 0u) | ((lines & TIOCM_DSR) ? DWORD(MS_DSR_ON) : 0u) |
              ((lines & TIOCM_RI) ? DWORD(MS_RING_ON) : 0u) | ((lines & TIOCM_CD) ? DWORD(MS_RLSD_ON) : 0u);
  }
  handle_release(&port->header);
  if (!status) SetLastError(ERROR_INVALID_PARAMETER);
  return status ? TRUE : FALSE;
}
