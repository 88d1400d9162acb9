/* The system's services seen by a real guest program: each check writes a
   line to \svccheck.txt in the device root ("name ok" or "name FAIL: ..."),
   and the exit code is the number of checks that failed. */
#include <string.h>
#include <stdio.h>
#include <win32.h>

static HANDLE report;
static int failures;

static void line(const char* text) {
  DWORD done;
  WriteFile(report, text, (DWORD)strlen(text), &done, 0);
}

static void check(const char* name, int ok, const char* detail) {
  char text[300];
  if (ok) {
    wsprintfA(text, "%s ok\r\n", name);
  } else {
    wsprintfA(text, "%s FAIL: %s\r\n", name, detail);
    failures++;
  }
  line(text);
}

static void files(void) {
  static char data[1000], back[1000];
  for (int i = 0; i < 1000; i++) data[i] = (char)(i * 7);
  CreateDirectoryA("svcdir", 0);
  HANDLE f = CreateFileA("svcdir\\a.txt", GENERIC_READ | GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
  check("create", f != INVALID_HANDLE_VALUE, "CreateFileA failed");
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD done = 0;
  check("write", WriteFile(f, data, 1000, &done, 0) && done == 1000, "WriteFile");
  check("seek", SetFilePointer(f, 10, 0, FILE_BEGIN) == 10, "SetFilePointer");
  check("read", ReadFile(f, back, 990, &done, 0) && done == 990 && memcmp(back, data + 10, 990) == 0, "ReadFile");
  check("size", GetFileSize(f, 0) == 1000, "GetFileSize");
  SetFilePointer(f, 500, 0, FILE_BEGIN);
  check("truncate", SetEndOfFile(f) && GetFileSize(f, 0) == 500, "SetEndOfFile");
  CloseHandle(f);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA("svcdir\\*.TXT", &found);
  int found_it = find != INVALID_HANDLE_VALUE && strcmp(found.name, "a.txt") == 0 && found.size_low == 500;
  int no_more = find != INVALID_HANDLE_VALUE && !FindNextFileA(find, &found) && GetLastError() == 18;
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  check("find", found_it && no_more, "FindFirstFileA/FindNextFileA");
  check("delete", DeleteFileA("svcdir\\a.txt") && GetFileAttributesA("svcdir\\a.txt") == 0xFFFFFFFFu &&
                      GetLastError() == 2,
        "DeleteFileA");
  check("missing", CreateFileA("svcdir\\none", GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0) == INVALID_HANDLE_VALUE &&
                       GetLastError() == 2,
        "opening a missing file");
}

static void memory(void) {
  HANDLE heap = HeapCreate(0, 4096, 0);
  char* blocks[64];
  int ok = heap != 0;
  for (int i = 0; ok && i < 64; i++) {
    blocks[i] = HeapAlloc(heap, 0, 16 + i * 10);
    ok = blocks[i] != 0;
    if (ok) memset(blocks[i], i, 16 + i * 10);
  }
  for (int i = 0; ok && i < 64; i += 2) {
    blocks[i] = HeapReAlloc(heap, 0, blocks[i], 2000);
    ok = blocks[i] && blocks[i][15] == (char)i && HeapSize(heap, 0, blocks[i]) >= 2000;
  }
  for (int i = 0; ok && i < 64; i++) ok = HeapFree(heap, 0, blocks[i]);
  check("heap", ok && HeapDestroy(heap), "heap blocks");
  HANDLE g = GlobalAlloc(0x40, 100); /* zero-initialised */
  char* p = GlobalLock(g);
  check("global", p && p[99] == 0 && GlobalFree(g) == 0, "GlobalAlloc");
}

static CRITICAL_SECTION section;
static volatile unsigned counter;
static DWORD tls;

static DWORD WINAPI worker(void* parameter) {
  TlsSetValue(tls, parameter);
  for (int i = 0; i < 20000; i++) {
    EnterCriticalSection(&section);
    counter++;
    LeaveCriticalSection(&section);
  }
  return TlsGetValue(tls) == parameter ? 7 : 8;
}

static void threads(void) {
  InitializeCriticalSection(&section);
  tls = TlsAlloc();
  TlsSetValue(tls, (void*)1);
  HANDLE t[2];
  t[0] = CreateThread(0, 0, worker, (void*)2, 0, 0);
  t[1] = CreateThread(0, 0, worker, (void*)3, 0, 0);
  DWORD r = WaitForMultipleObjects(2, t, 1, 20000);
  check("threads", r < 2 && counter == 40000, "two threads under a critical section");
  check("tls", TlsGetValue(tls) == (void*)1, "the main thread's TLS value");
  CloseHandle(t[0]);
  CloseHandle(t[1]);
  DeleteCriticalSection(&section);
  HANDLE event = CreateEventA(0, 0, 0, 0);
  check("event", event && WaitForSingleObject(event, 0) == 0x102 && SetEvent(event) &&
                     WaitForSingleObject(event, 0) == 0 && WaitForSingleObject(event, 0) == 0x102,
        "auto-reset event");
  CloseHandle(event);
}

static void clocks(void) {
  DWORD t0 = GetTickCount();
  long long c0, c1, f;
  QueryPerformanceCounter(&c0);
  Sleep(20);
  QueryPerformanceCounter(&c1);
  check("clock", GetTickCount() - t0 < 0x80000000u && QueryPerformanceFrequency(&f) && f > 0 && c1 > c0,
        "tick count and performance counter");
  SYSTEMTIME now;
  GetLocalTime(&now);
  check("date", now.year >= 2000 && now.month >= 1 && now.month <= 12 && now.day >= 1, "GetLocalTime");
}

static void registry(void) {
  HKEY key;
  DWORD value = 1234, back = 0, size = sizeof back, type = 0;
  int ok = RegCreateKeyA(HKEY_CURRENT_USER, "Software\\SvcCheck", &key) == 0 &&
           RegSetValueExA(key, "count", 0, REG_DWORD, &value, sizeof value) == 0;
  if (ok) RegCloseKey(key);
  ok = ok && RegCreateKeyA(HKEY_CURRENT_USER, "Software\\SvcCheck", &key) == 0 &&
       RegQueryValueExA(key, "count", 0, &type, &back, &size) == 0 && type == REG_DWORD && back == 1234;
  RegCloseKey(key);
  check("registry", ok, "a DWORD value written and read back");
}

static void strings(void) {
  char text[100];
  wsprintfA(text, "%d|%5s|%04X|%c|%u", -42, "ab", 0xBEEF, 'z', 4000000000u);
  check("format", strcmp(text, "-42|   ab|BEEF|z|4000000000") == 0, text);
  check("length", lstrlenA("hello") == 5, "lstrlenA");
  const char latin[] = "caf\xE9";
  unsigned short wide[10];
  char narrow[10];
  int n = MultiByteToWideChar(0, 0, latin, -1, wide, 10);
  int m = WideCharToMultiByte(0, 0, wide, -1, narrow, 10, 0, 0);
  check("codepage", n == 5 && wide[3] == 0xE9 && m == 5 && strcmp(narrow, latin) == 0, "1252 round trip");
  check("compare", CompareStringA(0x400, 1, "ABC", -1, "abd", -1) == 1, "CompareStringA ignoring case");
}

static void modules(void) {
  char path[260];
  DWORD n = GetModuleFileNameA(0, path, sizeof path);
  check("module", n > 0 && strstr(path, "SvcCheck") != 0, path);
  HINSTANCE dll = LoadLibraryA("TRDLL.dll");
  FARPROC add = dll ? GetProcAddress(dll, "TrAdd") : 0;
  int sum = add ? ((int(WINAPI*)(int, int))add)(40, 2) : 0;
  check("library", sum == 42, "LoadLibraryA and GetProcAddress of TRDLL");
  check("cmdline", strstr(GetCommandLineA(), "alpha beta") != 0, GetCommandLineA());
  SetLastError(1234);
  check("lasterror", GetLastError() == 1234, "SetLastError");
}

/* Doubles through the x87: sums and products of exact values, conversions. */
static void floats(void) {
  volatile double a = 1.5, b = -2.25;
  double s = 0;
  for (int i = 0; i < 100; i++) s += a * i + b;
  int whole = (int)s;
  check("float", whole == 7200 && (a < b) == 0 && (int)(a * 4) == 6 && (unsigned)(-b * 4) == 9, "x87 results");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  report = CreateFileA("svccheck.txt", GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
  if (report == INVALID_HANDLE_VALUE) ExitProcess(200);
  files();
  memory();
  threads();
  clocks();
  registry();
  strings();
  modules();
  floats();
  CloseHandle(report);
  ExitProcess(failures);
  return 0;
}
