// Time on the device: the tick count and performance counter (both from
// the host's monotonic clock, since the device's start plus the setting
// DEVICE_UPTIME_MS), wall-clock time and the host's time zone.
#pragma once

#include "wce/types.h"

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
static_assert(sizeof(FILETIME) == 8, "FILETIME layout");

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME layout");

struct TIME_ZONE_INFORMATION {
  LONG Bias;
  WCHAR StandardName[32];
  SYSTEMTIME StandardDate;
  LONG StandardBias;
  WCHAR DaylightName[32];
  SYSTEMTIME DaylightDate;
  LONG DaylightBias;
};
static_assert(sizeof(TIME_ZONE_INFORMATION) == 172, "TIME_ZONE_INFORMATION layout");
static_assert(offsetof(TIME_ZONE_INFORMATION, DaylightBias) == 168, "TIME_ZONE_INFORMATION layout");

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  int64_t QuadPart;
};
static_assert(sizeof(LARGE_INTEGER) == 8, "LARGE_INTEGER layout");

enum : DWORD {
  TIME_ZONE_ID_UNKNOWN = 0,
  TIME_ZONE_ID_STANDARD = 1,
  TIME_ZONE_ID_DAYLIGHT = 2,
  TIME_ZONE_ID_INVALID = 0xFFFFFFFF,
};

extern "C" {
// Milliseconds since the device started; wraps at 2^32.
DWORD GetTickCount(void);
// The counter runs at 1 MHz (QueryPerformanceFrequency), from the same
// origin as the tick count.
BOOL QueryPerformanceCounter(LARGE_INTEGER* counter);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
void GetSystemTime(SYSTEMTIME* time);
void GetLocalTime(SYSTEMTIME* time);
// The host's zone (TZ) for the current year: bias, names, and the rule
// dates in the Windows "n-th weekday of the month" form.
DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* info);
}
