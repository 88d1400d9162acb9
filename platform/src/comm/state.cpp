// Line settings: the DCB carried to and from termios, timeouts and queue
// sizes.
#include <sys/ioctl.h>
#include <termios.h>

#include "comm_port.h"
#include "wce/kernel.h"

namespace {

struct Speed {
  DWORD baud;
  speed_t code;
};
const Speed kSpeeds[] = {{110, B110},       {300, B300},       {600, B600},       {1200, B1200},
                         {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},
                         {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400},
                         {460800, B460800}, {921600, B921600}};

bool fail(DWORD code) {
  SetLastError(code);
  return false;
}

// Sets or clears a modem line; terminals without modem lines (pseudo
// terminals) have nothing to set, which is no error.
void modem_line(int fd, int line, bool on) { ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line); }

}  // namespace

bool comm_apply_dcb(int fd, const DCB& dcb) {
  const Speed* speed = nullptr;
  for (const Speed& s : kSpeeds)
    if (s.baud == dcb.BaudRate) speed = &s;
  // 1.5 stop bits go with 5 data bits only, 2 stop bits with 6 to 8.
  bool stops = dcb.StopBits == ONESTOPBIT || (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize == 5) ||
               (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize > 5);
  if (!speed || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY || !stops)
    return fail(ERROR_INVALID_PARAMETER);
  termios tio;
  if (tcgetattr(fd, &tio) != 0) return fail(COMM_ERROR_GEN_FAILURE);
  cfsetispeed(&tio, speed->code);
  cfsetospeed(&tio, speed->code);
  static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  tio.c_cflag = (tio.c_cflag & ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS)) | kSizes[dcb.ByteSize - 5];
  switch (dcb.Parity) {
    case ODDPARITY: tio.c_cflag |= PARENB | PARODD; break;
    case EVENPARITY: tio.c_cflag |= PARENB; break;
    case MARKPARITY: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case SPACEPARITY: tio.c_cflag |= PARENB | CMSPAR; break;
    default: break;
  }
  if (dcb.StopBits != ONESTOPBIT) tio.c_cflag |= CSTOPB;  // 1.5 with 5 data bits, else 2
  DWORD rts = (dcb.fBits >> DCB_fRtsControlShift) & 3;
  DWORD dtr = (dcb.fBits >> DCB_fDtrControlShift) & 3;
  if ((dcb.fBits & DCB_fOutxCtsFlow) || rts == RTS_CONTROL_HANDSHAKE) tio.c_cflag |= CRTSCTS;
  tio.c_iflag &= ~(INPCK | IXON | IXOFF);
  if (dcb.fBits & DCB_fParity) tio.c_iflag |= INPCK;
  if (dcb.fBits & DCB_fOutX) tio.c_iflag |= IXON;
  if (dcb.fBits & DCB_fInX) tio.c_iflag |= IXOFF;
  tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  // tcsetattr succeeds when any part was applied: compare what the
  // terminal took (a pseudo terminal keeps 8 bits without parity) and put
  // the old settings back when it is not everything.
  termios before;
  if (tcgetattr(fd, &before) != 0) return fail(COMM_ERROR_GEN_FAILURE);
  const tcflag_t kLine = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  termios taken;
  if (tcsetattr(fd, TCSANOW, &tio) != 0 || tcgetattr(fd, &taken) != 0 ||
      (taken.c_cflag & kLine) != (tio.c_cflag & kLine) || cfgetospeed(&taken) != speed->code) {
    tcsetattr(fd, TCSANOW, &before);
    return fail(ERROR_INVALID_PARAMETER);
  }
  if (dtr != DTR_CONTROL_HANDSHAKE) modem_line(fd, TIOCM_DTR, dtr == DTR_CONTROL_ENABLE);
  if (rts != RTS_CONTROL_HANDSHAKE && rts != RTS_CONTROL_TOGGLE) modem_line(fd, TIOCM_RTS, rts == RTS_CONTROL_ENABLE);
  return true;
}

void comm_read_dcb(int fd, const DCB& stored, DCB* out) {
  *out = stored;
  out->DCBlength = sizeof(DCB);
  termios tio;
  if (tcgetattr(fd, &tio) != 0) return;
  speed_t code = cfgetospeed(&tio);
  for (const Speed& s : kSpeeds)
    if (s.code == code) out->BaudRate = s.baud;
  switch (tio.c_cflag & CSIZE) {
    case CS5: out->ByteSize = 5; break;
    case CS6: out->ByteSize = 6; break;
    case CS7: out->ByteSize = 7; break;
    default: out->ByteSize = 8; break;
  }
  if (!(tio.c_cflag & PARENB))
    out->Parity = NOPARITY;
  else if (tio.c_cflag & CMSPAR)
    out->Parity = (tio.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
  else
    out->Parity = (tio.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
  out->StopBits = !(tio.c_cflag & CSTOPB) ? ONESTOPBIT : out->ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
}

extern "C" BOOL GetCommState(HANDLE handle, DCB* dcb) {
  CommPort* port = comm_port(handle);
  if (!port) return FALSE;
  if (dcb) {
    std::lock_guard<std::mutex> hold(port->lock);
    comm_read_dcb(port->fd, port->dcb, dcb);
  }
  handle_release(&port->header);
  return dcb ? TRUE : fail(ERROR_INVALID_PARAMETER);
}

extern "C" BOOL SetCommState(HANDLE handle, const DCB* dcb) {
  CommPort* port = comm_port(handle);
  if (!port) return FALSE;
  bool ok = false;
  if (!dcb) {
    fail(ERROR_INVALID_PARAMETER);
  } else {
    std::lock_guard<std::mutex> hold(port->lock);
    ok = comm_apply_dcb(port->fd, *dcb);
    if (ok) port->dcb = *dcb;
  }
  handle_release(&port->header);
  return ok ? TRUE : FALSE;
}

extern "C" BOOL GetCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts) {
  CommPort* port = comm_port(handle);
  if (!port) return FALSE;
  if (timeouts) {
    std::lock_guard<std::mutex> hold(port->lock);
    *timeouts = port->timeouts;
  }
  handle_release(&port->header);
  return timeouts ? TRUE : fail(ERROR_INVALID_PARAMETER);
}

extern "C" BOOL SetCommTimeouts(HANDLE handle, const COMMTIMEOUTS* timeouts) {
  CommPort* port = comm_port(handle);
  if (!port) return FALSE;
  if (timeouts) {
    std::lock_guard<std::mutex> hold(port->lock);
    port->timeouts = *timeouts;
  }
  handle_release(&port->header);
  return timeouts ? TRUE : fail(ERROR_INVALID_PARAMETER);
}

// The host terminal keeps its own queues; the sizes are kept and reported.
extern "C" BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) {
  CommPort* port = comm_port(handle);
  if (!port) return FALSE;
  {
    std::lock_guard<std::mutex> hold(port->lock);
    port->in_queue = inQueue;
    port->out_queue = outQueue;
  }
  handle_release(&port->header);
  return TRUE;
}
