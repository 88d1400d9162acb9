/* The few Win32 functions guest programs use, declared here rather than
   taken from mingw's headers. All are imported (called through the import
   slots) and stdcall, except wsprintfA. */
#ifndef GUEST_WIN32_H
#define GUEST_WIN32_H

#define WINAPI __attribute__((stdcall))
#define WIN_IMPORT __attribute__((dllimport))

typedef void* HANDLE;
typedef void* HINSTANCE;
typedef unsigned long DWORD;
typedef int BOOL;

WIN_IMPORT void WINAPI ExitProcess(unsigned code);
WIN_IMPORT DWORD WINAPI GetVersion(void);
WIN_IMPORT DWORD WINAPI GetTickCount(void);
WIN_IMPORT unsigned WINAPI GetProfileIntA(const char* app, const char* key, int fallback);
WIN_IMPORT HANDLE WINAPI HeapCreate(DWORD options, DWORD initial, DWORD maximum);
WIN_IMPORT void* WINAPI HeapAlloc(HANDLE heap, DWORD flags, DWORD bytes);
WIN_IMPORT BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, void* block);
WIN_IMPORT void WINAPI OutputDebugStringA(const char* text);
WIN_IMPORT int __cdecl wsprintfA(char* out, const char* format, ...);

typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(void* parameter);
#define INFINITE 0xFFFFFFFFu
WIN_IMPORT HANDLE WINAPI CreateThread(void* attributes, DWORD stack_size, LPTHREAD_START_ROUTINE start,
                                      void* parameter, DWORD flags, DWORD* thread_id);
WIN_IMPORT DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds);
WIN_IMPORT DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL wait_all,
                                               DWORD milliseconds);
WIN_IMPORT BOOL WINAPI CloseHandle(HANDLE object);
WIN_IMPORT void WINAPI Sleep(DWORD milliseconds);

/* Files. */
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_BEGIN 0
#define FILE_END 2
#define INVALID_HANDLE_VALUE ((HANDLE)-1)
typedef struct {
  DWORD low, high;
} FILETIME;
typedef struct {
  DWORD attributes;
  FILETIME created, accessed, written;
  DWORD size_high, size_low, reserved0, reserved1;
  char name[260];
  char alternate[14];
} WIN32_FIND_DATAA;
WIN_IMPORT HANDLE WINAPI CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                                     DWORD disposition, DWORD flags, HANDLE template_file);
WIN_IMPORT BOOL WINAPI ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* done, void* overlapped);
WIN_IMPORT BOOL WINAPI WriteFile(HANDLE file, const void* buffer, DWORD bytes, DWORD* done, void* overlapped);
WIN_IMPORT DWORD WINAPI SetFilePointer(HANDLE file, long distance, long* distance_high, DWORD method);
WIN_IMPORT DWORD WINAPI GetFileSize(HANDLE file, DWORD* size_high);
WIN_IMPORT BOOL WINAPI SetEndOfFile(HANDLE file);
WIN_IMPORT BOOL WINAPI CreateDirectoryA(const char* name, void* security);
WIN_IMPORT BOOL WINAPI DeleteFileA(const char* name);
WIN_IMPORT DWORD WINAPI GetFileAttributesA(const char* name);
WIN_IMPORT HANDLE WINAPI FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found);
WIN_IMPORT BOOL WINAPI FindNextFileA(HANDLE find, WIN32_FIND_DATAA* found);
WIN_IMPORT BOOL WINAPI FindClose(HANDLE find);
WIN_IMPORT DWORD WINAPI GetLastError(void);
WIN_IMPORT void WINAPI SetLastError(DWORD code);

/* Memory. */
WIN_IMPORT void* WINAPI HeapReAlloc(HANDLE heap, DWORD flags, void* block, DWORD bytes);
WIN_IMPORT DWORD WINAPI HeapSize(HANDLE heap, DWORD flags, const void* block);
WIN_IMPORT BOOL WINAPI HeapDestroy(HANDLE heap);
WIN_IMPORT HANDLE WINAPI GlobalAlloc(unsigned flags, DWORD bytes);
WIN_IMPORT void* WINAPI GlobalLock(HANDLE memory);
WIN_IMPORT HANDLE WINAPI GlobalFree(HANDLE memory);

/* Synchronisation and thread-local storage. */
typedef struct {
  DWORD words[6];
} CRITICAL_SECTION;
WIN_IMPORT HANDLE WINAPI CreateEventA(void* security, BOOL manual_reset, BOOL initial, const char* name);
WIN_IMPORT BOOL WINAPI SetEvent(HANDLE event);
WIN_IMPORT void WINAPI InitializeCriticalSection(CRITICAL_SECTION* section);
WIN_IMPORT void WINAPI EnterCriticalSection(CRITICAL_SECTION* section);
WIN_IMPORT void WINAPI LeaveCriticalSection(CRITICAL_SECTION* section);
WIN_IMPORT void WINAPI DeleteCriticalSection(CRITICAL_SECTION* section);
WIN_IMPORT DWORD WINAPI TlsAlloc(void);
WIN_IMPORT void* WINAPI TlsGetValue(DWORD index);
WIN_IMPORT BOOL WINAPI TlsSetValue(DWORD index, void* value);

/* Time. */
typedef struct {
  unsigned short year, month, day_of_week, day, hour, minute, second, milliseconds;
} SYSTEMTIME;
WIN_IMPORT BOOL WINAPI QueryPerformanceCounter(long long* count);
WIN_IMPORT BOOL WINAPI QueryPerformanceFrequency(long long* frequency);
WIN_IMPORT void WINAPI GetLocalTime(SYSTEMTIME* time);

/* Registry. */
typedef void* HKEY;
#define HKEY_CURRENT_USER ((HKEY)0x80000001u)
#define REG_DWORD 4
WIN_IMPORT long WINAPI RegCreateKeyA(HKEY key, const char* subkey, HKEY* result);
WIN_IMPORT long WINAPI RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type,
                                      const void* data, DWORD size);
WIN_IMPORT long WINAPI RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, void* data,
                                        DWORD* size);
WIN_IMPORT long WINAPI RegCloseKey(HKEY key);

/* Strings and code pages. */
WIN_IMPORT int WINAPI lstrlenA(const char* text);
WIN_IMPORT int WINAPI MultiByteToWideChar(unsigned code_page, DWORD flags, const char* text, int length,
                                          unsigned short* wide, int wide_length);
WIN_IMPORT int WINAPI WideCharToMultiByte(unsigned code_page, DWORD flags, const unsigned short* wide,
                                          int wide_length, char* text, int length, const char* fallback,
                                          BOOL* used_fallback);
WIN_IMPORT int WINAPI CompareStringA(DWORD locale, DWORD flags, const char* a, int a_length, const char* b,
                                     int b_length);

/* Modules and the process. */
typedef int(WINAPI* FARPROC)();
WIN_IMPORT HINSTANCE WINAPI LoadLibraryA(const char* name);
WIN_IMPORT FARPROC WINAPI GetProcAddress(HINSTANCE module, const char* name);
WIN_IMPORT DWORD WINAPI GetModuleFileNameA(HINSTANCE module, char* name, DWORD size);
WIN_IMPORT char* WINAPI GetCommandLineA(void);

/* Graphics. */
typedef void* HDC;
typedef void* HGDIOBJ;
typedef struct {
  unsigned long size;
  long width, height;
  unsigned short planes, bits;
  unsigned long compression, image_size;
  long x_ppm, y_ppm;
  unsigned long used, important;
  unsigned char colours[256][4]; /* blue, green, red, reserved */
} DIB_INFO;
#define SRCCOPY 0x00CC0020
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062
WIN_IMPORT HDC WINAPI GetDC(void* window);
WIN_IMPORT int WINAPI ReleaseDC(void* window, HDC dc);
WIN_IMPORT HDC WINAPI CreateCompatibleDC(HDC dc);
WIN_IMPORT BOOL WINAPI DeleteDC(HDC dc);
WIN_IMPORT HGDIOBJ WINAPI CreateCompatibleBitmap(HDC dc, int width, int height);
WIN_IMPORT HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
WIN_IMPORT BOOL WINAPI DeleteObject(HGDIOBJ object);
WIN_IMPORT BOOL WINAPI PatBlt(HDC dc, int x, int y, int width, int height, unsigned long rop);
WIN_IMPORT BOOL WINAPI BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy,
                              unsigned long rop);
WIN_IMPORT int WINAPI StretchDIBits(HDC dc, int x, int y, int width, int height, int sx, int sy, int swidth,
                                    int sheight, const void* bits, const DIB_INFO* info, unsigned usage,
                                    unsigned long rop);
WIN_IMPORT int WINAPI GetDeviceCaps(HDC dc, int index);

/* Waveform-audio output. */
typedef void* HWAVEOUT;
typedef struct {
  unsigned short tag, channels;
  unsigned long rate, bytes_per_second;
  unsigned short block, bits, extra;
} __attribute__((packed)) WAVEFORMATEX;
_Static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX");
typedef struct WAVEHDR {
  char* data;
  unsigned long length, recorded, user, flags, loops;
  struct WAVEHDR* next;
  unsigned long reserved;
} WAVEHDR;
_Static_assert(sizeof(WAVEHDR) == 32, "WAVEHDR");
#define WAVE_MAPPER 0xFFFFFFFFu
#define CALLBACK_FUNCTION 0x00030000u
#define WOM_OPEN 0x3BB
#define WOM_CLOSE 0x3BC
#define WOM_DONE 0x3BD
#define WHDR_DONE 1u
WIN_IMPORT unsigned WINAPI waveOutOpen(HWAVEOUT* device, unsigned id, const WAVEFORMATEX* format,
                                       unsigned long callback, unsigned long instance, unsigned long flags);
WIN_IMPORT unsigned WINAPI waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, unsigned size);
WIN_IMPORT unsigned WINAPI waveOutUnprepareHeader(HWAVEOUT device, WAVEHDR* header, unsigned size);
WIN_IMPORT unsigned WINAPI waveOutWrite(HWAVEOUT device, WAVEHDR* header, unsigned size);
WIN_IMPORT unsigned WINAPI waveOutReset(HWAVEOUT device);
WIN_IMPORT unsigned WINAPI waveOutClose(HWAVEOUT device);

#endif
