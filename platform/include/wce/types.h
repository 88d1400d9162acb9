// Basic Win32 types of the device, in their 32-bit layouts.
// WCHAR is 16 bits wide (char16_t), never the host's 32-bit wchar_t.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int32_t BOOL;
typedef uint16_t WORD;
typedef int16_t SHORT;
typedef uint8_t BYTE;
typedef char16_t WCHAR;
typedef char CHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void* HANDLE;
typedef DWORD* LPDWORD;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uintptr_t UINT_PTR;

struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HWND__;
typedef HWND__* HWND;
struct HMENU__;
typedef HMENU__* HMENU;
struct HCURSOR__;
typedef HCURSOR__* HCURSOR;
typedef HCURSOR HICON;

static_assert(sizeof(WCHAR) == 2, "device strings are 16-bit");
static_assert(sizeof(void*) == 4, "the device is a 32-bit machine");

#define WINAPI
#define CALLBACK
#define TRUE 1
#define FALSE 0
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define MAX_PATH 260

// Error codes a caller can see through GetLastError.
enum : DWORD {
  ERROR_SUCCESS = 0,
  ERROR_FILE_NOT_FOUND = 2,
  ERROR_PATH_NOT_FOUND = 3,
  ERROR_TOO_MANY_OPEN_FILES = 4,
  ERROR_ACCESS_DENIED = 5,
  ERROR_INVALID_HANDLE = 6,
  ERROR_NOT_ENOUGH_MEMORY = 8,
  ERROR_INVALID_DATA = 13,
  ERROR_OUTOFMEMORY = 14,
  ERROR_NO_MORE_FILES = 18,
  ERROR_SHARING_VIOLATION = 32,
  ERROR_NOT_SUPPORTED = 50,
  ERROR_FILE_EXISTS = 80,
  ERROR_INVALID_PARAMETER = 87,
  ERROR_INSUFFICIENT_BUFFER = 122,
  ERROR_INVALID_NAME = 123,
  ERROR_MOD_NOT_FOUND = 126,
  ERROR_PROC_NOT_FOUND = 127,
  ERROR_ALREADY_EXISTS = 183,
  ERROR_BAD_EXE_FORMAT = 193,
  ERROR_INVALID_ADDRESS = 487,
  ERROR_NO_MORE_ITEMS = 259,
  ERROR_INVALID_WINDOW_HANDLE = 1400,
  ERROR_CANNOT_FIND_WND_CLASS = 1407,
  ERROR_CLASS_ALREADY_EXISTS = 1410,
};

// Structured exceptions, in the x86 Win32 layout.
enum : DWORD {
  EXCEPTION_ACCESS_VIOLATION = 0xC0000005,
  EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001D,
  EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094,
  EXCEPTION_INT_OVERFLOW = 0xC0000095,
  EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090,
  EXCEPTION_DATATYPE_MISALIGNMENT = 0x80000002,
  EXCEPTION_IN_PAGE_ERROR = 0xC0000006,
  EXCEPTION_PRIV_INSTRUCTION = 0xC0000096,
  EXCEPTION_STACK_OVERFLOW = 0xC00000FD,
};
#define EXCEPTION_MAXIMUM_PARAMETERS 15

struct EXCEPTION_RECORD {
  DWORD ExceptionCode;
  DWORD ExceptionFlags;
  EXCEPTION_RECORD* ExceptionRecord;
  void* ExceptionAddress;
  DWORD NumberParameters;
  ULONG ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};
static_assert(sizeof(EXCEPTION_RECORD) == 80, "x86 EXCEPTION_RECORD");
static_assert(offsetof(EXCEPTION_RECORD, ExceptionInformation) == 20, "x86 EXCEPTION_RECORD");

struct CONTEXT;
struct EXCEPTION_POINTERS {
  EXCEPTION_RECORD* ExceptionRecord;
  CONTEXT* ContextRecord;
};

struct POINT {
  LONG x, y;
};
struct RECT {
  LONG left, top, right, bottom;
};
static_assert(sizeof(RECT) == 16, "RECT layout");

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
static_assert(sizeof(MSG) == 28, "MSG layout");
