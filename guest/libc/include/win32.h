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

#endif
