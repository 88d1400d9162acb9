// Opening and closing serial ports: "COMn:" names the host terminal given
// by the device setting DEVICE_COMn, opened raw at 9600 baud, 8 data bits,
// no parity, one stop bit. A port is open at most once in the process.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "comm_port.h"
#include "wce/kernel.h"

namespace {

std::mutex g_open_lock;
bool g_open[10];

void destroy_port(KObject* object) {
  CommPort* port = reinterpret_cast<CommPort*>(object);
  close(port->fd);
  {
    std::lock_guard<std::mutex> hold(g_open_lock);
    g_open[port->number] = false;
  }
  delete port;
}
const KObjectOps kPortOps = {destroy_port, nullptr, nullptr};

int port_number(const WCHAR* name) {
  if (!name) return 0;
  auto up = [](WCHAR c) { return (c >= u'a' && c <= u'z') ? WCHAR(c - 32) : c; };
  if (up(name[0]) != u'C' || up(name[1]) != u'O' || up(name[2]) != u'M') return 0;
  if (name[3] < u'1' || name[3] > u'9' || name[4] != u':' || name[5]) return 0;
  return name[3] - u'0';
}

HANDLE fail(DWORD code) {
  SetLastError(code);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE comm_open(const WCHAR* name, DWORD access) {
  int number = port_number(name);
  if (!number) return nullptr;
  char setting[16];
  snprintf(setting, sizeof setting, "DEVICE_COM%d", number);
  const char* host = getenv(setting);
  if (!host || !*host) return fail(ERROR_FILE_NOT_FOUND);
  {
    std::lock_guard<std::mutex> hold(g_open_lock);
    if (g_open[number]) return fail(ERROR_ACCESS_DENIED);
    g_open[number] = true;
  }
  auto give_up = [&](DWORD code) {
    std::lock_guard<std::mutex> hold(g_open_lock);
    g_open[number] = false;
    return fail(code);
  };
  int fd = open(host, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return give_up(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
  termios tio;
  if (!isatty(fd) || tcgetattr(fd, &tio) != 0) {
    close(fd);
    return give_up(ERROR_FILE_NOT_FOUND);
  }
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &tio);
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = 9600;
  dcb.fBits = DCB_fBinary | DTR_CONTROL_ENABLE << DCB_fDtrControlShift | RTS_CONTROL_ENABLE << DCB_fRtsControlShift;
  dcb.XonLim = 2048;
  dcb.XoffLim = 512;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  if (!comm_apply_dcb(fd, dcb)) {
    close(fd);
    return give_up(GetLastError());
  }
  tcflush(fd, TCIOFLUSH);
  CommPort* port = new CommPort;
  kobject_init(&port->header, KOBJ_COMM, &kPortOps);
  port->fd = fd;
  port->number = number;
  port->access = access;
  port->dcb = dcb;
  port->timeouts = COMMTIMEOUTS{};
  port->errors = 0;
  for (int& count : port->counts) count = 0;
  comm_collect_errors(port);
  port->errors = 0;
  port->in_queue = port->out_queue = 4096;
  port->in_break = false;
  HANDLE handle = handle_insert(&port->header);
  if (!handle) {
    destroy_port(&port->header);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

CommPort* comm_port(HANDLE handle) {
  return reinterpret_cast<CommPort*>(handle_get(handle, KOBJ_COMM));
}
