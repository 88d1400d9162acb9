// Core services of the device: modules, memory, threads, TLS, process,
// errors and the C runtime's 8-bit file functions on device paths.
#pragma once

#include <cstdarg>
#include <cstdio>

#include "wce/types.h"

// VirtualAlloc / VirtualFree / VirtualProtect
enum : DWORD {
  MEM_COMMIT = 0x1000,
  MEM_RESERVE = 0x2000,
  MEM_DECOMMIT = 0x4000,
  MEM_RELEASE = 0x8000,
  MEM_TOP_DOWN = 0x100000,
  PAGE_NOACCESS = 0x01,
  PAGE_READONLY = 0x02,
  PAGE_READWRITE = 0x04,
  PAGE_EXECUTE = 0x10,
  PAGE_EXECUTE_READ = 0x20,
  PAGE_EXECUTE_READWRITE = 0x40,
};

// Threads and waits
typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID);
enum : DWORD {
  CREATE_SUSPENDED = 0x4,
  INFINITE = 0xFFFFFFFF,
  WAIT_OBJECT_0 = 0,
  WAIT_TIMEOUT = 258,
  WAIT_FAILED = 0xFFFFFFFF,
  STILL_ACTIVE = 259,
  TLS_OUT_OF_INDEXES = 0xFFFFFFFF,
  TLS_MINIMUM_AVAILABLE = 64,
};

// Message boxes
enum : UINT {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_ICONHAND = 0x10,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONASTERISK = 0x40,
  MB_DEFBUTTON2 = 0x100,
  MB_DEFBUTTON3 = 0x200,
  IDOK = 1,
  IDCANCEL = 2,
  IDABORT = 3,
  IDRETRY = 4,
  IDIGNORE = 5,
  IDYES = 6,
  IDNO = 7,
};

// Tool-help module snapshots
enum : DWORD { TH32CS_SNAPMODULE = 0x8 };
struct MODULEENTRY32 {
  DWORD dwSize;
  DWORD th32ModuleID;
  DWORD th32ProcessID;
  DWORD GlblcntUsage;
  DWORD ProccntUsage;
  BYTE* modBaseAddr;
  DWORD modBaseSize;
  HMODULE hModule;
  WCHAR szModule[256];
  WCHAR szExePath[MAX_PATH];
  DWORD dwFlags;
};
static_assert(offsetof(MODULEENTRY32, szModule) == 32, "MODULEENTRY32 layout");

extern "C" {
// Errors
DWORD GetLastError(void);
void SetLastError(DWORD code);

// Modules
HMODULE LoadLibraryW(LPCWSTR name);
BOOL FreeLibrary(HMODULE module);
void* GetProcAddressW(HMODULE module, LPCWSTR name);
void* GetProcAddressA(HMODULE module, LPCSTR name);
HMODULE GetModuleHandleW(LPCWSTR name);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD process);
BOOL Module32First(HANDLE snapshot, MODULEENTRY32* entry);
BOOL Module32Next(HANDLE snapshot, MODULEENTRY32* entry);
BOOL CloseToolhelp32Snapshot(HANDLE snapshot);

// Memory
LPVOID VirtualAlloc(LPVOID address, DWORD size, DWORD type, DWORD protect);
BOOL VirtualFree(LPVOID address, DWORD size, DWORD type);
BOOL VirtualProtect(LPVOID address, DWORD size, DWORD protect, DWORD* old);

// Threads, TLS and handles
HANDLE CreateThread(void* attributes, DWORD stack, LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                    DWORD* id);
DWORD ResumeThread(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, DWORD* code);
DWORD GetCurrentThreadId(void);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL CloseHandle(HANDLE object);
DWORD TlsAlloc(void);
BOOL TlsFree(DWORD index);
LPVOID TlsGetValue(DWORD index);
BOOL TlsSetValue(DWORD index, LPVOID value);
void Sleep(DWORD milliseconds);

// Process
HANDLE GetCurrentProcess(void);
BOOL TerminateProcess(HANDLE process, UINT exitCode);
LPWSTR GetCommandLineW(void);

// Files
BOOL DeleteFileW(LPCWSTR name);

// Boxes and sounds
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
BOOL MessageBeep(UINT type);

// The device C runtime's 8-bit file functions. Names resolve on the
// device (no current folder: a bare name lies in the root). They carry a
// prefix so that they do not shadow the host C library inside this process.
FILE* ce_fopen(const char* name, const char* mode);
int ce_fprintf(FILE* file, const char* format, ...) __attribute__((format(printf, 2, 3)));
int ce_vfprintf(FILE* file, const char* format, va_list args);
int ce_fclose(FILE* file);
}
