// Serial ports over pseudo-terminal pairs: the device opens the terminal
// side, the test plays the far end on the controlling side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "comm/comm_port.h"
#include "wce/kernel.h"

namespace {

struct PtyPair {
  int far_end = -1;
  std::string name;
  PtyPair() {
    far_end = posix_openpt(O_RDWR | O_NOCTTY);
    if (far_end < 0 || grantpt(far_end) || unlockpt(far_end)) return;
    name = ptsname(far_end);
  }
  ~PtyPair() { close(far_end); }
  termios settings() const {
    termios t{};
    int fd = open(name.c_str(), O_RDWR | O_NOCTTY);
    tcgetattr(fd, &t);
    close(fd);
    return t;
  }
};

struct Port {
  HANDLE handle;
  KObject* object;
  explicit Port(HANDLE h) : handle(h), object(handle_get(h, KOBJ_COMM)) {}
  ~Port() {
    handle_release(object);
    CloseHandle(handle);
  }
};

HANDLE open_port(const char* setting, const std::string& tty, const char16_t* name) {
  setenv(setting, tty.c_str(), 1);
  return comm_open(name, COMM_GENERIC_READ | COMM_GENERIC_WRITE);
}

}  // namespace

TEST(Comm, NamesAndOpening) {
  PtyPair pty;
  ASSERT_FALSE(pty.name.empty());
  EXPECT_EQ(comm_open(u"COM10:", 0), nullptr);
  EXPECT_EQ(comm_open(u"COM1", 0), nullptr);
  EXPECT_EQ(comm_open(u"data.bin", 0), nullptr);
  unsetenv("DEVICE_COM4");
  EXPECT_EQ(comm_open(u"COM4:", 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  HANDLE port = open_port("DEVICE_COM3", pty.name, u"com3:");
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(comm_open(u"COM3:", 0), INVALID_HANDLE_VALUE);  // one opener at a time
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(CloseHandle(port));
  port = comm_open(u"COM3:", 0);
  EXPECT_NE(port, INVALID_HANDLE_VALUE);
  CloseHandle(port);
}

TEST(Comm, StateReachesTheTerminal) {
  PtyPair pty;
  Port port(open_port("DEVICE_COM2", pty.name, u"COM2:"));
  DCB dcb;
  ASSERT_TRUE(GetCommState(port.handle, &dcb));
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  dcb.BaudRate = 19200;
  dcb.StopBits = TWOSTOPBITS;
  ASSERT_TRUE(SetCommState(port.handle, &dcb));
  termios t = pty.settings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  DCB back;
  ASSERT_TRUE(GetCommState(port.handle, &back));
  EXPECT_EQ(back.BaudRate, 19200u);
  EXPECT_EQ(back.ByteSize, 8);
  EXPECT_EQ(back.StopBits, TWOSTOPBITS);
  // A pseudo terminal always has 8 bits and no parity: asking for 7 even
  // fails instead of being reported as done.
  DCB seven = dcb;
  seven.ByteSize = 7;
  seven.Parity = EVENPARITY;
  EXPECT_FALSE(SetCommState(port.handle, &seven));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // What the terminal cannot do is refused and changes nothing.
  DCB bad = dcb;
  bad.BaudRate = 12345;
  EXPECT_FALSE(SetCommState(port.handle, &bad));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  bad = dcb;
  bad.ByteSize = 8;
  bad.StopBits = ONE5STOPBITS;
  EXPECT_FALSE(SetCommState(port.handle, &bad));
  EXPECT_EQ(cfgetospeed(&(t = pty.settings())), static_cast<speed_t>(B19200));
  EXPECT_FALSE(GetCommState(reinterpret_cast<HANDLE>(0x1234), &back));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Comm, ReadWriteWithTimeoutsAndStatus) {
  PtyPair pty;
  Port port(open_port("DEVICE_COM5", pty.name, u"COM5:"));
  ASSERT_TRUE(SetupComm(port.handle, 1024, 1024));
  DWORD done = 0;
  ASSERT_TRUE(comm_write(port.object, "ping", 4, &done));
  EXPECT_EQ(done, 4u);
  char far[8] = {};
  pollfd p = {pty.far_end, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 5000), 1);
  EXPECT_EQ(read(pty.far_end, far, sizeof far), 4);
  EXPECT_STREQ(far, "ping");

  // Nothing waiting and MAXDWORD interval: back at once with nothing.
  COMMTIMEOUTS t = {MAXDWORD, 0, 0, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port.handle, &t));
  char in[16] = {};
  ASSERT_TRUE(comm_read(port.object, in, sizeof in, &done));
  EXPECT_EQ(done, 0u);

  // A total timeout ends a read that got less than it asked for.
  ASSERT_EQ(write(pty.far_end, "pong!", 5), 5);
  t = COMMTIMEOUTS{0, 0, 200, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port.handle, &t));
  COMMTIMEOUTS back;
  ASSERT_TRUE(GetCommTimeouts(port.handle, &back));
  EXPECT_EQ(back.ReadTotalTimeoutConstant, 200u);
  ASSERT_TRUE(comm_read(port.object, in, sizeof in, &done));
  EXPECT_EQ(done, 5u);
  EXPECT_EQ(std::string(in, 5), "pong!");

  // Waiting bytes show in the input queue count.
  ASSERT_EQ(write(pty.far_end, "abc", 3), 3);
  t = COMMTIMEOUTS{MAXDWORD, MAXDWORD, 5000, 0, 0};  // wait for the first byte only
  ASSERT_TRUE(SetCommTimeouts(port.handle, &t));
  ASSERT_TRUE(comm_read(port.object, in, 1, &done));
  EXPECT_EQ(done, 1u);
  DWORD errors = 99;
  COMSTAT stat;
  ASSERT_TRUE(ClearCommError(port.handle, &errors, &stat));
  EXPECT_EQ(errors, 0u);
  EXPECT_EQ(stat.cbInQue, 2u);

  DWORD lines = 99;
  EXPECT_TRUE(GetCommModemStatus(port.handle, &lines));
  EXPECT_EQ(lines, 0u);  // a pseudo terminal has no modem lines
  // Some hosts (user-mode emulators among them) have no break request for
  // terminals; the device then reports the failure, which is all it can do.
  int probe = open(pty.name.c_str(), O_RDWR | O_NOCTTY);
  bool host_breaks = probe >= 0 && ioctl(probe, TIOCCBRK) == 0;
  if (probe >= 0) close(probe);
  EXPECT_EQ(SetCommBreak(port.handle), host_breaks ? TRUE : FALSE);
  EXPECT_EQ(ClearCommBreak(port.handle), host_breaks ? TRUE : FALSE);
}

TEST(Comm, AccessOfTheOpenIsEnforced) {
  PtyPair pty;
  setenv("DEVICE_COM6", pty.name.c_str(), 1);
  Port port(comm_open(u"COM6:", COMM_GENERIC_WRITE));
  char in[4];
  DWORD done = 7;
  EXPECT_FALSE(comm_read(port.object, in, 4, &done));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(done, 0u);
}
