// send, recv, sendto and recvfrom. Sending never raises SIGPIPE: a broken
// connection is an error code, not the end of the process. A datagram
// larger than the buffer fails with WSAEMSGSIZE (the buffer holds its
// start) instead of passing for a whole one.
#include <cerrno>

#include "net.h"
#include "wce/kernel.h"

static_assert(MSG_OOB == 1 && MSG_PEEK == 2 && MSG_DONTROUTE == 4, "these flags are numbered alike");

namespace {

enum : int { WS_MSG_WAITALL = 0x8 };  // the host's MSG_WAITALL is another bit
constexpr int kSendFlags = MSG_OOB | MSG_DONTROUTE;
constexpr int kReceiveFlags = MSG_OOB | MSG_PEEK | MSG_DONTROUTE | WS_MSG_WAITALL;

// The host flags for guest flags, or -1 when the guest asks for more than
// `allowed` (the rest would mean other things to the host).
int host_flags(int flags, int allowed) {
  if (flags & ~allowed) return -1;
  int host = flags & (MSG_OOB | MSG_PEEK | MSG_DONTROUTE);
  if (flags & WS_MSG_WAITALL) host |= MSG_WAITALL;
  return host | MSG_NOSIGNAL;
}

bool bad_buffer(const char* buffer, int length) { return length < 0 || (!buffer && length > 0); }

// Timeouts set with SO_SNDTIMEO / SO_RCVTIMEO end a blocking call with
// EAGAIN on the host and with WSAETIMEDOUT on Winsock.
DWORD would_block(const Socket* sock) { return sock->nonblocking ? WSAEWOULDBLOCK : WSAETIMEDOUT; }

DWORD send_error(const Socket* sock, int error) {
  if (net_interrupted(sock)) return WSAEINTR;
  if (error == EAGAIN) return would_block(sock);
  if (error == EPIPE) {
    // The host says "broken pipe" for a stream that was shut down here,
    // was never connected, or was dropped by the peer.
    if (sock->send_shut) return WSAESHUTDOWN;
    int state = sock->state;
    if (state == NET_IDLE || state == NET_LISTENING || state == NET_CONNECT_FAILED) return WSAENOTCONN;
    return WSAECONNRESET;
  }
  return net_error_from_errno(error);
}

int transmit(Socket* sock, const char* buffer, int length, int flags, const sockaddr* to, socklen_t to_size) {
  int host = host_flags(flags, kSendFlags);
  if (host < 0) return net_fail(WSAEOPNOTSUPP);
  if (bad_buffer(buffer, length)) return net_fail(WSAEFAULT);
  ssize_t sent;
  do {
    sent = sendto(sock->fd, buffer, static_cast<size_t>(length), host, to, to_size);
  } while (sent < 0 && errno == EINTR && !net_interrupted(sock));
  if (sent < 0) {
    DWORD code = send_error(sock, errno);
    if (code == WSAECONNRESET && sock->type == SOCK_STREAM) sock->reset = true;
    return net_fail(code);
  }
  return static_cast<int>(sent);
}

int receive(Socket* sock, char* buffer, int length, int flags, sockaddr_storage* from, socklen_t* from_size) {
  int host = host_flags(flags, kReceiveFlags);
  if (host < 0) return net_fail(WSAEOPNOTSUPP);
  if (bad_buffer(buffer, length)) return net_fail(WSAEFAULT);
  iovec part = {buffer, static_cast<size_t>(length)};
  msghdr message = {};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  ssize_t got;
  do {
    message.msg_name = from;
    message.msg_namelen = from ? sizeof *from : 0;
    got = recvmsg(sock->fd, &message, host);
  } while (got < 0 && errno == EINTR && !net_interrupted(sock));
  // closesocket's shutdown makes a blocked call return 0 or fail.
  if (got <= 0 && net_interrupted(sock)) return net_fail(WSAEINTR);
  if (sock->type == SOCK_STREAM) {
    if (got < 0 && errno == ECONNRESET) sock->reset = true;
    // After the host reported the reset once it reads as an orderly end.
    if (got == 0 && sock->reset) return net_fail(WSAECONNRESET);
  }
  if (got < 0) {
    if (errno == EAGAIN) return net_fail(would_block(sock));
    // An ICMP "port unreachable" for an earlier datagram: Winsock's word.
    if (errno == ECONNREFUSED && sock->type != SOCK_STREAM) return net_fail(WSAECONNRESET);
    return net_fail_errno();
  }
  if (from_size) *from_size = message.msg_namelen;
  if ((message.msg_flags & MSG_TRUNC) && sock->type != SOCK_STREAM) return net_fail(WSAEMSGSIZE);
  return static_cast<int>(got);
}

}  // namespace

extern "C" int ws2_send(SOCKET s, const char* buffer, int length, int flags) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  int rc = transmit(sock, buffer, length, flags, nullptr, 0);
  net_put(sock);
  return rc;
}

extern "C" int ws2_sendto(SOCKET s, const char* buffer, int length, int flags, const WS_SOCKADDR* to, int to_length) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  int rc = SOCKET_ERROR;
  sockaddr_storage host;
  socklen_t size = 0;
  // A connected stream ignores the address, as on Winsock.
  if (to && sock->type != SOCK_STREAM) size = net_address_in(to, to_length, &host);
  if (size || !to || sock->type == SOCK_STREAM) {
    rc = transmit(sock, buffer, length, flags, size ? reinterpret_cast<sockaddr*>(&host) : nullptr, size);
  }
  net_put(sock);
  return rc;
}

extern "C" int ws2_recv(SOCKET s, char* buffer, int length, int flags) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  int rc = receive(sock, buffer, length, flags, nullptr, nullptr);
  net_put(sock);
  return rc;
}

extern "C" int ws2_recvfrom(SOCKET s, char* buffer, int length, int flags, WS_SOCKADDR* from, int* from_length) {
  Socket* sock = net_get(s);
  if (!sock) return SOCKET_ERROR;
  int rc;
  // A stream's sender is its peer; Winsock leaves `from` alone there.
  bool wants_sender = from && sock->type != SOCK_STREAM;
  if (wants_sender && (!from_length || *from_length < net_address_size(sock->family))) {
    // Refused before receiving, so the datagram is not lost.
    rc = net_fail(WSAEFAULT);
  } else {
    sockaddr_storage sender;
    socklen_t size = 0;
    rc = receive(sock, buffer, length, flags, wants_sender ? &sender : nullptr, wants_sender ? &size : nullptr);
    bool delivered = rc != SOCKET_ERROR || GetLastError() == WSAEMSGSIZE;
    if (delivered && wants_sender && size) net_address_out(sender, size, from, from_length);
  }
  net_put(sock);
  return rc;
}
