// The sockets library over real loopback sockets.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "net/net.h"
#include "wce/kernel.h"
#include "wce/synch.h"
#include "wce/winsock.h"

namespace {

constexpr int kStream = 1, kDgram = 2;
constexpr DWORD kSucceeded = 0, kStillBlocked = 0xFFFFFFFF;
using Clock = std::chrono::steady_clock;

// The last error of a call that failed, kSucceeded for one that did not.
DWORD fails(int rc) { return rc == SOCKET_ERROR ? GetLastError() : kSucceeded; }
DWORD fails(SOCKET s) { return s == INVALID_SOCKET ? GetLastError() : kSucceeded; }

WS_SOCKADDR name_of(SOCKET s) {
  WS_SOCKADDR a = {};
  int size = sizeof a;
  EXPECT_EQ(ws2_getsockname(s, &a, &size), 0);
  return a;
}

bool same(const WS_SOCKADDR& a, const WS_SOCKADDR& b) { return memcmp(&a, &b, 8) == 0; }

SOCKET bound(int type) {
  SOCKET s = ws2_socket(WS_AF_INET, type, 0);
  WS_SOCKADDR a = {WS_AF_INET, {0, 0, 127, 0, 0, 1}};  // 127.0.0.1, any port
  EXPECT_EQ(ws2_bind(s, &a, sizeof a), 0);
  return s;
}

SOCKET listener(WS_SOCKADDR* address) {
  SOCKET s = bound(kStream);
  EXPECT_EQ(ws2_listen(s, 8), 0);
  *address = name_of(s);
  return s;
}

struct Pair {
  SOCKET client, server;
};

Pair connected() {
  WS_SOCKADDR at;
  SOCKET l = listener(&at);
  SOCKET c = ws2_socket(WS_AF_INET, kStream, 0);
  EXPECT_EQ(ws2_connect(c, &at, sizeof at), 0);
  SOCKET s = ws2_accept(l, nullptr, nullptr);
  closesocket(l);
  return {c, s};
}

int set_nonblocking(SOCKET s, bool on) {
  ULONG value = on;
  return ioctlsocket(s, static_cast<LONG>(WS_FIONBIO), &value);
}

int set_int(SOCKET s, int level, int name, int value) {
  return ws2_setsockopt(s, level, name, reinterpret_cast<char*>(&value), 4);
}

int get_int(SOCKET s, int level, int name) {
  int value = -1, size = 4;
  EXPECT_EQ(ws2_getsockopt(s, level, name, reinterpret_cast<char*>(&value), &size), 0);
  return value;
}

WS_TIMEVAL after_ms(int ms) { return {ms / 1000, ms % 1000 * 1000}; }

bool readable(SOCKET s) {
  WS_FD_SET set = {1, {s}};
  WS_TIMEVAL t = after_ms(5000);
  return ws2_select(0, &set, nullptr, nullptr, &t) == 1;
}

int host_fd(SOCKET s) {
  Socket* sock = net_get(s);
  net_put(sock);
  return sock->fd;  // the table still holds it
}

// Runs `call` in a thread and, once the thread sleeps in the kernel,
// `closer`. The call's last error, or kStillBlocked if it had not returned
// five seconds later (then `unblock` frees it).
template <typename Call, typename Closer, typename Unblock>
DWORD error_when_closed(Call call, Closer closer, Unblock unblock) {
  std::atomic<long> tid{0};
  auto done = std::async(std::launch::async, [&] {
    tid = syscall(SYS_gettid);
    call();
    return GetLastError();
  });
  while (!tid) std::this_thread::yield();
  std::string stat = "/proc/self/task/" + std::to_string(tid.load()) + "/stat";
  for (auto start = Clock::now(); Clock::now() - start < std::chrono::seconds(5); std::this_thread::yield()) {
    std::ifstream in(stat);
    std::string line((std::istreambuf_iterator<char>(in)), {});
    if (line.find(") S ") != std::string::npos) break;
  }
  closer();
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return done.get();
  unblock();
  done.wait();
  return kStillBlocked;
}

struct Net : testing::Test {
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0202, &data), 0);
  }
  void TearDown() override { EXPECT_EQ(WSACleanup(), 0); }  // also closes what a case left open
};

}  // namespace

TEST(WinsockStartup, VersionsUsersAndNotInitialised) {
  EXPECT_EQ(fails(ws2_socket(WS_AF_INET, kStream, 0)), WSANOTINITIALISED);
  EXPECT_EQ(fails(WSACleanup()), WSANOTINITIALISED);

  WSADATA data;
  EXPECT_EQ(WSAStartup(0x0000, &data), static_cast<int>(WSAVERNOTSUPPORTED));
  EXPECT_EQ(WSAStartup(0x0202, nullptr), static_cast<int>(WSAEFAULT));
  EXPECT_EQ(fails(ws2_socket(WS_AF_INET, kStream, 0)), WSANOTINITIALISED);  // none of those counted

  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  EXPECT_EQ(data.wVersion, 0x0101);
  EXPECT_EQ(data.wHighVersion, 0x0202);
  EXPECT_STREQ(data.szSystemStatus, "Running");
  EXPECT_EQ(data.iMaxSockets, 100);
  ASSERT_EQ(WSAStartup(0x0302, &data), 0);  // 2.3
  EXPECT_EQ(data.wVersion, 0x0202);

  SOCKET s = ws2_socket(WS_AF_INET, kStream, 0);
  ASSERT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(get_int(s, WS_SOL_SOCKET, WS_SO_TYPE), kStream);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(fails(set_int(s, WS_SOL_SOCKET, WS_SO_REUSEADDR, 1)), WSANOTINITIALISED);
  EXPECT_EQ(fails(WSACleanup()), WSANOTINITIALISED);

  // The last WSACleanup closed the socket left open.
  ASSERT_EQ(WSAStartup(0x0202, &data), 0);
  EXPECT_EQ(fails(closesocket(s)), WSAENOTSOCK);
  EXPECT_EQ(WSACleanup(), 0);
}

TEST_F(Net, ValuesThatAreNoSocketsAreRefused) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SOCKET closed = ws2_socket(WS_AF_INET, kStream, 0);
  ASSERT_EQ(closesocket(closed), 0);
  for (SOCKET s : {SOCKET(0), SOCKET(1), SOCKET(2), INVALID_SOCKET, SOCKET(0x12345678), closed,
                   static_cast<SOCKET>(reinterpret_cast<uintptr_t>(event))}) {
    char byte = 0;
    EXPECT_EQ(fails(closesocket(s)), WSAENOTSOCK) << s;
    EXPECT_EQ(fails(ws2_send(s, &byte, 1, 0)), WSAENOTSOCK) << s;
    EXPECT_EQ(fails(ws2_recv(s, &byte, 1, 0)), WSAENOTSOCK) << s;
    EXPECT_EQ(fails(set_nonblocking(s, true)), WSAENOTSOCK) << s;
  }
  // The host descriptors and the object behind those numbers live on.
  EXPECT_NE(fcntl(1, F_GETFD), -1);
  EXPECT_NE(fcntl(2, F_GETFD), -1);
  EXPECT_TRUE(CloseHandle(event));
}

TEST_F(Net, StreamRoundTripAndClosing) {
  WS_SOCKADDR at;
  SOCKET l = listener(&at);
  SOCKET c = ws2_socket(WS_AF_INET, kStream, 0);
  ASSERT_EQ(ws2_connect(c, &at, sizeof at), 0);
  ASSERT_TRUE(readable(l));
  ASSERT_EQ(set_nonblocking(l, true), 0);  // so that a fault fails instead of hanging
  WS_SOCKADDR peer;
  int size = 8;
  // Too small for the peer's address: refused without taking the connection.
  EXPECT_EQ(fails(ws2_accept(l, &peer, &size)), WSAEFAULT);
  size = sizeof peer;
  SOCKET s = ws2_accept(l, &peer, &size);
  ASSERT_NE(s, INVALID_SOCKET);
  ASSERT_EQ(set_nonblocking(s, false), 0);
  EXPECT_EQ(size, 16);
  EXPECT_TRUE(same(peer, name_of(c)));
  size = sizeof peer;
  ASSERT_EQ(ws2_getpeername(c, &peer, &size), 0);
  EXPECT_TRUE(same(peer, at));

  char buffer[16] = {};
  EXPECT_EQ(ws2_send(c, "hello", 5, 0), 5);
  EXPECT_EQ(ws2_recv(s, buffer, sizeof buffer, 0), 5);
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(ws2_shutdown(c, 1), 0);
  EXPECT_EQ(fails(ws2_send(c, "x", 1, 0)), WSAESHUTDOWN);
  EXPECT_EQ(ws2_recv(s, buffer, sizeof buffer, 0), 0);  // the orderly close
  EXPECT_EQ(fails(ws2_shutdown(c, 7)), WSAEINVAL);
  EXPECT_EQ(fails(ws2_send(ws2_socket(WS_AF_INET, kStream, 0), "x", 1, 0)), WSAENOTCONN);

  // A reset peer: sending fails (twice: the reset, then the host's broken
  // pipe) and the process lives on.
  WS_LINGER abort = {1, 0};
  Pair p = connected();
  ASSERT_EQ(ws2_setsockopt(p.server, WS_SOL_SOCKET, WS_SO_LINGER, reinterpret_cast<char*>(&abort), 4), 0);
  ASSERT_EQ(closesocket(p.server), 0);
  ASSERT_TRUE(readable(p.client));
  EXPECT_EQ(fails(ws2_send(p.client, "x", 1, 0)), WSAECONNRESET);
  EXPECT_EQ(fails(ws2_send(p.client, "x", 1, 0)), WSAECONNRESET);
}

// A reset is no orderly close: reading keeps failing with the reset, whether
// a send or a read heard of it first.
TEST_F(Net, ResetPeerKeepsFailingReads) {
  WS_LINGER abort = {1, 0};
  char buffer[4];
  for (bool send_first : {true, false}) {
    Pair p = connected();
    ASSERT_EQ(ws2_setsockopt(p.server, WS_SOL_SOCKET, WS_SO_LINGER, reinterpret_cast<char*>(&abort), 4), 0);
    ASSERT_EQ(closesocket(p.server), 0);
    ASSERT_TRUE(readable(p.client));
    if (send_first) EXPECT_EQ(fails(ws2_send(p.client, "x", 1, 0)), WSAECONNRESET);
    EXPECT_EQ(fails(ws2_recv(p.client, buffer, sizeof buffer, 0)), WSAECONNRESET) << send_first;
    EXPECT_EQ(fails(ws2_recv(p.client, buffer, sizeof buffer, 0)), WSAECONNRESET) << send_first;
  }
}

TEST_F(Net, ListenWantsABoundUnconnectedSocket) {
  SOCKET s = ws2_socket(WS_AF_INET, kStream, 0);
  EXPECT_EQ(fails(ws2_listen(s, 4)), WSAEINVAL);
  Pair p = connected();
  EXPECT_EQ(fails(ws2_listen(p.client, 4)), WSAEISCONN);
}

// SO_REUSEADDR on the socket being bound is enough; without it an address
// another socket holds stays refused.
TEST_F(Net, DatagramReuseNeedsTheOptionOnTheNewSocketOnly) {
  SOCKET first = bound(kDgram);
  WS_SOCKADDR at = name_of(first);
  SOCKET plain = ws2_socket(WS_AF_INET, kDgram, 0);
  EXPECT_EQ(fails(ws2_bind(plain, &at, sizeof at)), WSAEADDRINUSE);
  SOCKET sharing = ws2_socket(WS_AF_INET, kDgram, 0);
  ASSERT_EQ(set_int(sharing, WS_SOL_SOCKET, WS_SO_REUSEADDR, 1), 0);
  EXPECT_EQ(get_int(sharing, WS_SOL_SOCKET, WS_SO_REUSEADDR), 1);
  EXPECT_EQ(get_int(first, WS_SOL_SOCKET, WS_SO_REUSEADDR), 0);
  EXPECT_EQ(ws2_bind(sharing, &at, sizeof at), 0);
  WS_SOCKADDR any = at;
  memset(any.sa_data + 2, 0, 4);  // 0.0.0.0 overlaps 127.0.0.1
  EXPECT_EQ(fails(ws2_bind(plain, &any, sizeof any)), WSAEADDRINUSE);
}

TEST_F(Net, StreamReuseOverTimeWaitButNotOverActiveSockets) {
  WS_SOCKADDR at;
  SOCKET l = listener(&at);
  // Two listeners without the option, and a connection's own address.
  SOCKET second = ws2_socket(WS_AF_INET, kStream, 0);
  EXPECT_EQ(fails(ws2_bind(second, &at, sizeof at)), WSAEADDRINUSE);
  Pair p = connected();
  WS_SOCKADDR client_end = name_of(p.client);
  EXPECT_EQ(fails(ws2_bind(second, &client_end, sizeof client_end)), WSAEADDRINUSE);

  // The earlier listener's connection closes first on its side: TIME_WAIT.
  SOCKET c = ws2_socket(WS_AF_INET, kStream, 0);
  ASSERT_EQ(ws2_connect(c, &at, sizeof at), 0);
  SOCKET s = ws2_accept(l, nullptr, nullptr);
  ASSERT_EQ(closesocket(s), 0);
  char buffer[4];
  ASSERT_EQ(ws2_recv(c, buffer, sizeof buffer, 0), 0);
  ASSERT_EQ(closesocket(c), 0);
  ASSERT_EQ(closesocket(l), 0);
  SOCKET again = ws2_socket(WS_AF_INET, kStream, 0);
  ASSERT_EQ(set_int(again, WS_SOL_SOCKET, WS_SO_REUSEADDR, 1), 0);
  EXPECT_EQ(ws2_bind(again, &at, sizeof at), 0);
  EXPECT_EQ(ws2_listen(again, 4), 0);
  // Accepted sockets carry their listener's option.
  SOCKET c2 = ws2_socket(WS_AF_INET, kStream, 0);
  ASSERT_EQ(ws2_connect(c2, &at, sizeof at), 0);
  EXPECT_EQ(get_int(ws2_accept(again, nullptr, nullptr), WS_SOL_SOCKET, WS_SO_REUSEADDR), 1);
}

TEST_F(Net, NonBlockingCallsAndConnects) {
  Pair p = connected();
  ULONG count = 0;
  char buffer[8];
  ASSERT_EQ(set_nonblocking(p.server, true), 0);
  EXPECT_EQ(fails(ws2_recv(p.server, buffer, sizeof buffer, 0)), WSAEWOULDBLOCK);
  ASSERT_EQ(ws2_send(p.client, "abc", 3, 0), 3);
  ASSERT_TRUE(readable(p.server));
  ASSERT_EQ(ioctlsocket(p.server, static_cast<LONG>(WS_FIONREAD), &count), 0);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(fails(ioctlsocket(p.server, 0x12345, &count)), WSAEINVAL);

  WS_SOCKADDR at;
  SOCKET l = listener(&at);
  ASSERT_EQ(set_nonblocking(l, true), 0);
  EXPECT_EQ(fails(ws2_accept(l, nullptr, nullptr)), WSAEWOULDBLOCK);
  SOCKET c = ws2_socket(WS_AF_INET, kStream, 0);
  ASSERT_EQ(set_nonblocking(c, true), 0);
  EXPECT_EQ(fails(ws2_connect(c, &at, sizeof at)), WSAEWOULDBLOCK);
  WS_FD_SET writable = {1, {c}}, failed = {1, {c}};
  WS_TIMEVAL wait = after_ms(5000);
  EXPECT_EQ(ws2_select(0, nullptr, &writable, &failed, &wait), 1);
  EXPECT_EQ(writable.fd_count, 1u);
  EXPECT_EQ(fails(ws2_connect(c, &at, sizeof at)), WSAEISCONN);
  ASSERT_TRUE(readable(l));
  SOCKET s = ws2_accept(l, nullptr, nullptr);
  ASSERT_NE(s, INVALID_SOCKET);
  ASSERT_EQ(set_int(s, WS_SOL_SOCKET, WS_SO_RCVTIMEO, 2000), 0);            // should it block after all
  EXPECT_EQ(fails(ws2_recv(s, buffer, sizeof buffer, 0)), WSAEWOULDBLOCK);  // as its listener

  // A port bound but not listening refuses; that shows in the failed set only.
  WS_SOCKADDR refusing = name_of(bound(kStream));
  SOCKET r = ws2_socket(WS_AF_INET, kStream, 0);
  ASSERT_EQ(set_nonblocking(r, true), 0);
  EXPECT_EQ(fails(ws2_connect(r, &refusing, sizeof refusing)), WSAEWOULDBLOCK);
  writable = failed = {1, {r}};
  EXPECT_EQ(ws2_select(0, nullptr, &writable, &failed, &wait), 1);
  EXPECT_EQ(writable.fd_count, 0u);
  EXPECT_EQ(failed.fd_count, 1u);
  EXPECT_EQ(get_int(r, WS_SOL_SOCKET, WS_SO_ERROR), static_cast<int>(WSAECONNREFUSED));
  EXPECT_EQ(fails(ws2_connect(ws2_socket(WS_AF_INET, kStream, 0), &refusing, sizeof refusing)), WSAECONNREFUSED);
}

TEST_F(Net, SelectKeepsOnlyTheReadyInOrder) {
  Pair p1 = connected(), p2 = connected();
  WS_SOCKADDR at;
  SOCKET l = listener(&at);
  WS_FD_SET set = {3, {p1.server, p2.server, l}};
  WS_TIMEVAL zero = {0, 0};
  EXPECT_EQ(ws2_select(0, &set, nullptr, nullptr, &zero), 0);
  EXPECT_EQ(set.fd_count, 0u);

  ASSERT_EQ(ws2_send(p2.client, "d", 1, 0), 1);
  ASSERT_EQ(ws2_connect(ws2_socket(WS_AF_INET, kStream, 0), &at, sizeof at), 0);
  ASSERT_TRUE(readable(p2.server));
  ASSERT_TRUE(readable(l));
  set = {3, {p1.server, p2.server, l}};
  EXPECT_EQ(ws2_select(0, &set, nullptr, nullptr, &zero), 2);
  ASSERT_EQ(set.fd_count, 2u);
  EXPECT_EQ(set.fd_array[0], p2.server);
  EXPECT_EQ(set.fd_array[1], l);

  WS_FD_SET reads = {1, {p1.server}}, writes = {2, {p1.client, p2.client}}, fails_set = {1, {p1.server}};
  EXPECT_EQ(ws2_select(0, &reads, &writes, &fails_set, &zero), 2);
  EXPECT_EQ(reads.fd_count + fails_set.fd_count, 0u);
  EXPECT_EQ(writes.fd_count, 2u);

  reads = {1, {p1.server}};
  WS_TIMEVAL brief = after_ms(30);
  auto start = Clock::now();
  EXPECT_EQ(ws2_select(0, &reads, nullptr, nullptr, &brief), 0);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(29));

  // Without a timeout it waits for the data.
  char buffer[4];
  ASSERT_EQ(ws2_recv(p2.server, buffer, 1, 0), 1);
  std::thread later([&] { ws2_send(p2.client, "e", 1, 0); });
  reads = {1, {p2.server}};
  EXPECT_EQ(ws2_select(0, &reads, nullptr, nullptr, nullptr), 1);
  later.join();

  // Urgent data is a failed-set event; SIOCATMARK says whether any waits.
  ULONG mark = 0;
  ASSERT_EQ(ws2_send(p2.client, "u", 1, 1 /* MSG_OOB */), 1);
  fails_set = {1, {p2.server}};
  WS_TIMEVAL wait = after_ms(5000);
  EXPECT_EQ(ws2_select(0, nullptr, nullptr, &fails_set, &wait), 1);
  EXPECT_EQ(ioctlsocket(p2.server, static_cast<LONG>(WS_SIOCATMARK), &mark), 0);
  EXPECT_EQ(mark, 0u);
  EXPECT_EQ(ws2_recv(p2.server, buffer, 1, 1), 1);
  EXPECT_EQ(buffer[0], 'u');
  EXPECT_EQ(ioctlsocket(p2.server, static_cast<LONG>(WS_SIOCATMARK), &mark), 0);
  EXPECT_EQ(mark, 1u);

  ASSERT_EQ(closesocket(p1.client), 0);
  EXPECT_TRUE(readable(p1.server));  // the peer's close

  WS_FD_SET empty = {0, {}};
  EXPECT_EQ(fails(ws2_select(0, nullptr, nullptr, nullptr, &zero)), WSAEINVAL);
  EXPECT_EQ(fails(ws2_select(0, &empty, &empty, nullptr, &zero)), WSAEINVAL);
  set = {2, {p2.server, 1}};
  EXPECT_EQ(fails(ws2_select(0, &set, nullptr, nullptr, &zero)), WSAENOTSOCK);
  EXPECT_EQ(set.fd_count, 2u);
}

TEST_F(Net, SelectTakesDescriptorsBeyondTheHostSetSize) {
  rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
  if (old.rlim_max < 1200) GTEST_SKIP() << "descriptor limit too low";
  rlimit raised = {1200, old.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
  std::vector<int> filler;
  for (int fd = 0; fd >= 0 && fd < 1100; filler.push_back(fd)) fd = open("/dev/null", O_RDONLY);
  Pair p = connected();
  EXPECT_GT(host_fd(p.server), 1024);
  ASSERT_EQ(ws2_send(p.client, "h", 1, 0), 1);
  EXPECT_TRUE(readable(p.server));
  for (int fd : filler) close(fd);
  setrlimit(RLIMIT_NOFILE, &old);
}

TEST_F(Net, Datagrams) {
  SOCKET a = bound(kDgram), b = bound(kDgram);
  WS_SOCKADDR to = name_of(b), from;
  int size = sizeof from;
  char buffer[16] = {};
  ASSERT_EQ(ws2_sendto(a, "ping", 4, 0, &to, sizeof to), 4);
  EXPECT_EQ(ws2_recvfrom(b, buffer, sizeof buffer, 0, &from, &size), 4);
  EXPECT_STREQ(buffer, "ping");
  EXPECT_EQ(size, 16);
  EXPECT_TRUE(same(from, name_of(a)));

  // A datagram larger than the buffer is an error, not a whole message.
  ASSERT_EQ(ws2_sendto(a, "0123456789", 10, 0, &to, sizeof to), 10);
  EXPECT_EQ(fails(ws2_recvfrom(b, buffer, 4, 0, nullptr, nullptr)), WSAEMSGSIZE);
  EXPECT_EQ(memcmp(buffer, "0123", 4), 0);

  // No room for the sender: refused, and the datagram is still there.
  ASSERT_EQ(ws2_sendto(a, "x", 1, 0, &to, sizeof to), 1);
  size = 8;
  EXPECT_EQ(fails(ws2_recvfrom(b, buffer, sizeof buffer, 0, &from, &size)), WSAEFAULT);
  size = sizeof from;
  EXPECT_EQ(ws2_recvfrom(b, buffer, sizeof buffer, 0, &from, &size), 1);
  EXPECT_EQ(fails(ws2_sendto(a, "x", 1, 0, &to, 8)), WSAEFAULT);
}

TEST_F(Net, Ipv6AddressesCarryTheGuestFamily) {
  SOCKET a = ws2_socket(WS_AF_INET6, kDgram, 0);
  if (a == INVALID_SOCKET) GTEST_SKIP() << "no IPv6 here";
  char address[28] = {WS_AF_INET6, 0};
  address[23] = 1;  // ::1, any port
  if (ws2_bind(a, reinterpret_cast<WS_SOCKADDR*>(address), sizeof address) != 0) GTEST_SKIP() << "no ::1 here";
  int size = sizeof address;
  ASSERT_EQ(ws2_getsockname(a, reinterpret_cast<WS_SOCKADDR*>(address), &size), 0);
  EXPECT_EQ(size, 28);
  EXPECT_EQ(address[0], WS_AF_INET6);
  ASSERT_EQ(ws2_sendto(a, "six", 3, 0, reinterpret_cast<WS_SOCKADDR*>(address), sizeof address), 3);
  char buffer[4], from[28];
  size = 16;  // room for an IPv4 sender only
  EXPECT_EQ(fails(ws2_recvfrom(a, buffer, sizeof buffer, 0, reinterpret_cast<WS_SOCKADDR*>(from), &size)), WSAEFAULT);
  size = sizeof from;
  EXPECT_EQ(ws2_recvfrom(a, buffer, sizeof buffer, 0, reinterpret_cast<WS_SOCKADDR*>(from), &size), 3);
  EXPECT_EQ(memcmp(from, address, 28), 0);
}

TEST_F(Net, OptionsReachTheHostTranslated) {
  SOCKET s = ws2_socket(WS_AF_INET, kStream, 0);
  int fd = host_fd(s);
  auto host = [&](int level, int name, auto* value) {
    socklen_t size = sizeof *value;
    getsockopt(fd, level, name, value, &size);
    return *value;
  };
  int on = 0;
  ASSERT_EQ(set_int(s, WS_SOL_SOCKET, WS_SO_REUSEADDR, 1), 0);
  EXPECT_EQ(host(SOL_SOCKET, SO_REUSEADDR, &on), 1);
  ASSERT_EQ(set_int(s, WS_IPPROTO_TCP, WS_TCP_NODELAY, 1), 0);
  EXPECT_EQ(host(IPPROTO_TCP, TCP_NODELAY, &(on = 0)), 1);
  EXPECT_NE(get_int(s, WS_IPPROTO_TCP, WS_TCP_NODELAY), 0);
  ASSERT_EQ(set_int(s, WS_SOL_SOCKET, WS_SO_RCVBUF, 32768), 0);
  EXPECT_EQ(get_int(s, WS_SOL_SOCKET, WS_SO_RCVBUF), 32768);

  ASSERT_EQ(set_int(s, WS_SOL_SOCKET, WS_SO_RCVTIMEO, 1500), 0);
  timeval tv = {};
  host(SOL_SOCKET, SO_RCVTIMEO, &tv);
  EXPECT_EQ(tv.tv_sec, 1);
  EXPECT_EQ(tv.tv_usec, 500000);
  EXPECT_EQ(get_int(s, WS_SOL_SOCKET, WS_SO_RCVTIMEO), 1500);

  WS_LINGER l = {1, 7};
  ASSERT_EQ(ws2_setsockopt(s, WS_SOL_SOCKET, WS_SO_LINGER, reinterpret_cast<char*>(&l), sizeof l), 0);
  linger hl = {};
  host(SOL_SOCKET, SO_LINGER, &hl);
  EXPECT_EQ(hl.l_onoff, 1);
  EXPECT_EQ(hl.l_linger, 7);
  EXPECT_EQ(get_int(s, WS_SOL_SOCKET, WS_SO_DONTLINGER), 0);
  ASSERT_EQ(set_int(s, WS_SOL_SOCKET, WS_SO_DONTLINGER, 1), 0);
  EXPECT_EQ(host(SOL_SOCKET, SO_LINGER, &hl).l_onoff, 0);
  ASSERT_EQ(set_int(s, WS_SOL_SOCKET, WS_SO_DONTLINGER, 0), 0);
  int size = sizeof l;
  ASSERT_EQ(ws2_getsockopt(s, WS_SOL_SOCKET, WS_SO_LINGER, reinterpret_cast<char*>(&l), &size), 0);
  EXPECT_EQ(l.l_onoff, 1);
  EXPECT_EQ(l.l_linger, 7);  // lingering again keeps its time

  char value[16];
  size = sizeof value;
  EXPECT_EQ(ws2_getsockopt(s, WS_SOL_SOCKET, WS_SO_TYPE, value, &size), 0);
  EXPECT_EQ(size, 4);
  size = 3;
  EXPECT_EQ(fails(ws2_getsockopt(s, WS_SOL_SOCKET, WS_SO_TYPE, value, &size)), WSAEFAULT);
  EXPECT_EQ(fails(ws2_setsockopt(s, WS_SOL_SOCKET, WS_SO_REUSEADDR, value, 2)), WSAEFAULT);
  EXPECT_EQ(fails(set_int(s, WS_SOL_SOCKET, 0x7777, 1)), WSAENOPROTOOPT);
  EXPECT_EQ(fails(set_int(s, 0x1234, WS_SO_REUSEADDR, 1)), WSAEINVAL);

  // The receive timeout ends a blocked receive as Winsock says.
  Pair p = connected();
  ASSERT_EQ(set_int(p.server, WS_SOL_SOCKET, WS_SO_RCVTIMEO, 50), 0);
  auto start = Clock::now();
  EXPECT_EQ(fails(ws2_recv(p.server, value, sizeof value, 0)), WSAETIMEDOUT);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(40));
}

TEST_F(Net, ClosingWakesBlockedCalls) {
  Pair p = connected();
  char buffer[4];
  EXPECT_EQ(error_when_closed([&] { ws2_recv(p.server, buffer, sizeof buffer, 0); },
                              [&] { EXPECT_EQ(closesocket(p.server), 0); }, [&] { ws2_send(p.client, "x", 1, 0); }),
            WSAEINTR);

  WS_SOCKADDR at;
  SOCKET l = listener(&at);
  EXPECT_EQ(error_when_closed([&] { EXPECT_EQ(ws2_accept(l, nullptr, nullptr), INVALID_SOCKET); },
                              [&] { EXPECT_EQ(closesocket(l), 0); },
                              [&] { ws2_connect(ws2_socket(WS_AF_INET, kStream, 0), &at, sizeof at); }),
            WSAEINTR);

  Pair q = connected();
  auto select_on_client = [&] {
    WS_FD_SET set = {1, {q.client}};
    ws2_select(0, &set, nullptr, nullptr, nullptr);
  };
  EXPECT_NE(error_when_closed(
                select_on_client, [&] { EXPECT_EQ(closesocket(q.client), 0); }, [&] { ws2_send(q.server, "x", 1, 0); }),
            kStillBlocked);
}

TEST_F(Net, HostNames) {
  WS_HOSTENT* local = ws2_gethostbyname("localhost");
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(local->h_addrtype, WS_AF_INET);
  EXPECT_EQ(local->h_length, 4);
  EXPECT_EQ(local->h_aliases[0], nullptr);
  ASSERT_NE(local->h_addr_list[0], nullptr);
  EXPECT_EQ(static_cast<uint8_t>(local->h_addr_list[0][0]), 127);

  WS_HOSTENT* numeric = ws2_gethostbyname("127.0.0.1");
  ASSERT_NE(numeric, nullptr);
  EXPECT_STREQ(numeric->h_name, "127.0.0.1");
  EXPECT_EQ(memcmp(numeric->h_addr_list[0], "\x7f\0\0\x01", 4), 0);
  EXPECT_EQ(numeric->h_addr_list[1], nullptr);
  // Another thread's look-ups leave this thread's record alone.
  std::thread([] { EXPECT_NE(ws2_gethostbyname("10.1.2.3"), nullptr); }).join();
  EXPECT_STREQ(numeric->h_name, "127.0.0.1");

  uint32_t address = ws2_inet_addr("127.0.0.1");
  WS_HOSTENT* named = ws2_gethostbyaddr(reinterpret_cast<char*>(&address), 4, WS_AF_INET);
  ASSERT_NE(named, nullptr);
  EXPECT_NE(named->h_name[0], 0);
  EXPECT_EQ(memcmp(named->h_addr_list[0], &address, 4), 0);

  char mine[256], host[256] = {};
  ASSERT_EQ(ws2_gethostname(mine, sizeof mine), 0);
  gethostname(host, sizeof host - 1);
  EXPECT_STREQ(mine, host);
  EXPECT_EQ(fails(ws2_gethostname(mine, static_cast<int>(strlen(host)))), WSAEFAULT);  // no room for the end
}

TEST(WinsockAddresses, DottedTextAndByteOrder) {
  EXPECT_EQ(ws2_inet_addr("127.0.0.1"), 0x0100007Fu);
  EXPECT_EQ(ws2_inet_addr("0x7f.1"), 0x0100007Fu);
  EXPECT_EQ(ws2_inet_addr("10.0.258"), 0x0201000Au);
  EXPECT_EQ(ws2_inet_addr("010.1.1.1"), 0x01010108u);
  for (const char* bad : {"", "256.1.1.1", "1.2.3.4.5", "1.2.3.4 x", " 1.2.3.4", "1..2", "1.2.3.", "08", "0x",
                          "1.2.65536", "4294967296", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(ws2_inet_addr(bad), 0xFFFFFFFFu) << (bad ? bad : "null");
  }
  char* mine = ws2_inet_ntoa(0x04030201u);
  std::thread([] { ws2_inet_ntoa(0x0100007Fu); }).join();
  EXPECT_STREQ(mine, "1.2.3.4");
  EXPECT_EQ(ws2_htons(0x1234), 0x3412);
  EXPECT_EQ(ws2_htonl(0x12345678u), 0x78563412u);
}
