/* Sockets seen by a real guest program: a TCP connection between two guest
   threads, a datagram, a non-blocking receive, select, look-ups, and the
   functions the device does not provide. Each check writes a line to
   \sockcheck.txt in the device root; the exit code counts the failures. */
#include <string.h>
#include <win32.h>

#define SOCKET unsigned
#define INVALID_SOCKET (~0u)
typedef struct {
  unsigned short version, high_version;
  char description[257], status[129];
  unsigned short max_sockets, max_datagram;
  char* vendor;
} WSADATA;
typedef struct {
  unsigned short family, port;
  unsigned address;
  char zero[8];
} SOCKADDR_IN;
typedef struct {
  unsigned count;
  SOCKET sockets[64];
} FD_SET;
typedef struct {
  long seconds, microseconds;
} TIMEVAL;
typedef struct {
  char* name;
  char** aliases;
  short type, length;
  char** addresses;
} HOSTENT;
#define WSAAPI __attribute__((stdcall))
WIN_IMPORT int WSAAPI WSAStartup(unsigned short version, WSADATA* data);
WIN_IMPORT int WSAAPI WSACleanup(void);
WIN_IMPORT int WSAAPI WSAGetLastError(void);
WIN_IMPORT SOCKET WSAAPI socket(int family, int type, int protocol);
WIN_IMPORT int WSAAPI bind(SOCKET s, const SOCKADDR_IN* address, int length);
WIN_IMPORT int WSAAPI listen(SOCKET s, int backlog);
WIN_IMPORT SOCKET WSAAPI accept(SOCKET s, SOCKADDR_IN* address, int* length);
WIN_IMPORT int WSAAPI connect(SOCKET s, const SOCKADDR_IN* address, int length);
WIN_IMPORT int WSAAPI closesocket(SOCKET s);
WIN_IMPORT int WSAAPI getsockname(SOCKET s, SOCKADDR_IN* address, int* length);
WIN_IMPORT int WSAAPI send(SOCKET s, const char* data, int length, int flags);
WIN_IMPORT int WSAAPI recv(SOCKET s, char* data, int length, int flags);
WIN_IMPORT int WSAAPI sendto(SOCKET s, const char* data, int length, int flags, const SOCKADDR_IN* to, int to_length);
WIN_IMPORT int WSAAPI recvfrom(SOCKET s, char* data, int length, int flags, SOCKADDR_IN* from, int* from_length);
WIN_IMPORT int WSAAPI select(int ignored, FD_SET* readable, FD_SET* writable, FD_SET* failed, const TIMEVAL* wait);
WIN_IMPORT int WSAAPI ioctlsocket(SOCKET s, long command, unsigned long* argument);
WIN_IMPORT int WSAAPI setsockopt(SOCKET s, int level, int name, const char* value, int length);
WIN_IMPORT unsigned short WSAAPI htons(unsigned short value);
WIN_IMPORT unsigned WSAAPI inet_addr(const char* text);
WIN_IMPORT char* WSAAPI inet_ntoa(unsigned address);
WIN_IMPORT HOSTENT* WSAAPI gethostbyname(const char* name);
WIN_IMPORT void* WSAAPI getservbyname(const char* name, const char* protocol);

static HANDLE report;
static int failures;

static void check(const char* name, int ok, int detail) {
  char text[200];
  DWORD done;
  if (ok) {
    wsprintfA(text, "%s ok\r\n", name);
  } else {
    wsprintfA(text, "%s FAIL: %d (last error %d)\r\n", name, detail, WSAGetLastError());
    failures++;
  }
  WriteFile(report, text, (DWORD)strlen(text), &done, 0);
}

#define STREAM_BYTES 65536
static SOCKADDR_IN server_address;

/* The client thread: connects, sends the pattern in uneven pieces, closes. */
static DWORD WINAPI client(void* unused) {
  static char data[STREAM_BYTES];
  for (int i = 0; i < STREAM_BYTES; i++) data[i] = (char)(i * 13 + i / 256);
  SOCKET s = socket(2, 1, 0);
  if (s == INVALID_SOCKET || connect(s, &server_address, sizeof server_address) != 0) return 1;
  int sent = 0;
  while (sent < STREAM_BYTES) {
    int piece = STREAM_BYTES - sent < 1000 + sent % 777 ? STREAM_BYTES - sent : 1000 + sent % 777;
    int n = send(s, data + sent, piece, 0);
    if (n <= 0) return 2;
    sent += n;
  }
  closesocket(s);
  return 0;
}

static void stream(void) {
  SOCKET listener = socket(2, 1, 0);
  server_address.family = 2;
  server_address.address = inet_addr("127.0.0.1");
  int length = sizeof server_address;
  check("listen", listener != INVALID_SOCKET && bind(listener, &server_address, sizeof server_address) == 0 &&
                      listen(listener, 1) == 0 && getsockname(listener, &server_address, &length) == 0 &&
                      server_address.port != 0,
        0);
  /* Nothing is pending yet: select with no wait finds nothing. */
  FD_SET pending = {1, {listener}};
  TIMEVAL none = {0, 0};
  check("select-empty", select(0, &pending, 0, 0, &none) == 0 && pending.count == 0, 0);
  HANDLE thread = CreateThread(0, 0, client, 0, 0, 0);
  SOCKET server = accept(listener, 0, 0);
  check("accept", server != INVALID_SOCKET, 0);
  static char back[STREAM_BYTES + 16];
  int total = 0, n;
  while ((n = recv(server, back + total, sizeof back - total, 0)) > 0) total += n;
  int same = total == STREAM_BYTES;
  for (int i = 0; same && i < STREAM_BYTES; i++) same = back[i] == (char)(i * 13 + i / 256);
  check("stream", n == 0 && same, total);
  check("client", WaitForSingleObject(thread, 20000) == 0, 0);
  CloseHandle(thread);
  closesocket(server);
  closesocket(listener);
}

static void datagram(void) {
  SOCKET a = socket(2, 2, 0), b = socket(2, 2, 0);
  SOCKADDR_IN to = {2, 0, inet_addr("127.0.0.1")}, from;
  int length = sizeof to;
  bind(b, &to, sizeof to);
  getsockname(b, &to, &length);
  char buffer[32] = {0};
  int from_length = sizeof from;
  int sent = sendto(a, "datagram", 8, 0, &to, sizeof to);
  int got = recvfrom(b, buffer, sizeof buffer, 0, &from, &from_length);
  check("datagram", sent == 8 && got == 8 && memcmp(buffer, "datagram", 8) == 0 && from.family == 2, got);
  /* Non-blocking: nothing more to read. */
  unsigned long on = 1;
  int r = ioctlsocket(b, (long)0x8004667E, &on) == 0 ? recvfrom(b, buffer, sizeof buffer, 0, 0, 0) : 0;
  check("wouldblock", r == -1 && WSAGetLastError() == 10035, r);
  closesocket(a);
  closesocket(b);
}

static void lookups(void) {
  check("htons", htons(0x1234) == 0x3412, htons(0x1234));
  check("ntoa", strcmp(inet_ntoa(inet_addr("10.1.2.3")), "10.1.2.3") == 0, 0);
  HOSTENT* host = gethostbyname("127.0.0.1");
  check("hostbyname", host && host->length == 4 && host->addresses[0] &&
                          *(unsigned*)host->addresses[0] == inet_addr("127.0.0.1"),
        0);
  check("servbyname", getservbyname("http", "tcp") == 0, 0);
  check("notsock", closesocket(12345) == -1 && WSAGetLastError() == 10038, 0);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  report = CreateFileA("sockcheck.txt", GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
  if (report == INVALID_HANDLE_VALUE) ExitProcess(200);
  WSADATA data;
  check("startup", WSAStartup(0x0101, &data) == 0 && data.version == 0x0101, data.version);
  stream();
  datagram();
  lookups();
  check("cleanup", WSACleanup() == 0, 0);
  CloseHandle(report);
  ExitProcess(failures);
  return 0;
}
