// Zentrix: the ANSI forms of device functions that exist only in wide form.
// Each converts its 8-bit strings with the device's multibyte code page,
// calls the wide function and converts 8-bit output back; results and the
// last error are the wide function's.
#pragma once

#include "wce/locale.h"
#include "wce/registry.h"
#include "wce/types.h"
#include "wce/window.h"

// The three file times are kept as raw word pairs (low, high): the
// record is only ever filled by copying the wide record's leading bytes.
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  DWORD ftCreationTime[2];
  DWORD ftLastAccessTime[2];
  DWORD ftLastWriteTime[2];
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};
static_assert(sizeof(WIN32_FIND_DATAA) == 320, "WIN32_FIND_DATAA layout");
static_assert(offsetof(WIN32_FIND_DATAA, dwReserved0) == 36, "WIN32_FIND_DATAA layout");
static_assert(offsetof(WIN32_FIND_DATAA, cFileName) == 44, "WIN32_FIND_DATAA layout");
static_assert(offsetof(WIN32_FIND_DATAA, cAlternateFileName) == 304, "WIN32_FIND_DATAA layout");

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HANDLE hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};
static_assert(sizeof(WNDCLASSA) == 40, "WNDCLASSA layout");
static_assert(offsetof(WNDCLASSA, lpszMenuName) == 32, "WNDCLASSA layout");

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA layout");

#define ZENTRIX_API extern "C" __attribute__((visibility("default")))

ZENTRIX_API int CompareStringA(LCID Locale, DWORD dwCmpFlags, LPCSTR lpString1, int cchCount1, LPCSTR lpString2,
                               int cchCount2);
ZENTRIX_API BOOL CreateDirectoryA(LPCSTR lpPathName, SECURITY_ATTRIBUTES* lpSecurityAttributes);
ZENTRIX_API HANDLE CreateEventA(SECURITY_ATTRIBUTES* lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                                LPCSTR lpName);
ZENTRIX_API HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                               SECURITY_ATTRIBUTES* lpSecurityAttributes, DWORD dwCreationDisposition,
                               DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
ZENTRIX_API HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                                 int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                 HINSTANCE hInstance, LPVOID lpParam);
ZENTRIX_API LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
ZENTRIX_API BOOL DeleteFileA(LPCSTR lpFileName);
ZENTRIX_API LRESULT DispatchMessageA(const MSG* lpMsg);
ZENTRIX_API HANDLE FindFirstFileA(LPCSTR lpFileName, WIN32_FIND_DATAA* lpFindFileData);
ZENTRIX_API BOOL FindNextFileA(HANDLE hFindFile, WIN32_FIND_DATAA* lpFindFileData);
ZENTRIX_API LPSTR GetCommandLineA(void);
ZENTRIX_API DWORD GetFileAttributesA(LPCSTR lpFileName);
ZENTRIX_API int GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData);
ZENTRIX_API BOOL GetMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
ZENTRIX_API DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
ZENTRIX_API HMODULE GetModuleHandleA(LPCSTR lpModuleName);
ZENTRIX_API BOOL GetStringTypeA(LCID Locale, DWORD dwInfoType, LPCSTR lpSrcStr, int cchSrc, WORD* lpCharType);
ZENTRIX_API DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);
ZENTRIX_API BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation);
ZENTRIX_API int LCMapStringA(LCID Locale, DWORD dwMapFlags, LPCSTR lpSrcStr, int cchSrc, LPSTR lpDestStr,
                             int cchDest);
ZENTRIX_API HCURSOR LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName);
ZENTRIX_API HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);
ZENTRIX_API HMENU LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName);
ZENTRIX_API int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);
ZENTRIX_API int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
ZENTRIX_API BOOL PeekMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
ZENTRIX_API BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
ZENTRIX_API LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
ZENTRIX_API LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                  LPDWORD lpcbData);
ZENTRIX_API LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                DWORD cbData);
ZENTRIX_API WORD RegisterClassA(const WNDCLASSA* lpWndClass);
ZENTRIX_API LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
ZENTRIX_API LPSTR lstrcatA(LPSTR lpString1, LPCSTR lpString2);
ZENTRIX_API LPSTR lstrcpyA(LPSTR lpString1, LPCSTR lpString2);
ZENTRIX_API int lstrlenA(LPCSTR lpString);
