// The device's clocks. The tick count and the performance counter share
// one origin: the host's monotonic clock at their first use stands for the
// device's uptime at that moment, which is the host's uptime unless the
// setting DEVICE_UPTIME_MS (milliseconds) says otherwise; a large value
// lets a test see the tick count wrap. Wall-clock time and the time zone
// are the host's (TZ).
#include <time.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "wce/kernel.h"
#include "wce/time.h"
#include "wce/wstr.h"

namespace {

constexpr int64_t kCounterFrequency = 1000000;

int64_t monotonic_ns() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Origin {
  int64_t host_ns;    // monotonic clock at the first use
  int64_t device_us;  // the device's uptime then
};

const Origin& origin() {
  static const Origin o = [] {
    Origin value;
    value.host_ns = monotonic_ns();
    value.device_us = value.host_ns / 1000;
    if (const char* setting = getenv("DEVICE_UPTIME_MS"); setting && *setting)
      value.device_us = static_cast<int64_t>(strtoull(setting, nullptr, 0)) * 1000;
    return value;
  }();
  return o;
}

// Microseconds since the device started.
int64_t uptime_us() {
  const Origin& o = origin();
  return o.device_us + (monotonic_ns() - o.host_ns) / 1000;
}

void to_systemtime(const tm& t, long nanoseconds, SYSTEMTIME* out) {
  out->wYear = static_cast<WORD>(t.tm_year + 1900);
  out->wMonth = static_cast<WORD>(t.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(t.tm_wday);
  out->wDay = static_cast<WORD>(t.tm_mday);
  out->wHour = static_cast<WORD>(t.tm_hour);
  out->wMinute = static_cast<WORD>(t.tm_min);
  out->wSecond = static_cast<WORD>(t.tm_sec > 59 ? 59 : t.tm_sec);
  out->wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
}

// Time zones: the local offset (seconds east of UTC) and daylight flag at
// an instant.
struct LocalState {
  long offset;
  bool daylight;
};
LocalState local_state(time_t at) {
  tm t;
  localtime_r(&at, &t);
  return {t.tm_gmtoff, t.tm_isdst > 0};
}

// The instant in (low, high] at which the daylight flag changes, given
// that it differs between the two ends.
time_t transition(time_t low, time_t high) {
  bool start = local_state(low).daylight;
  while (high - low > 1) {
    time_t mid = low + (high - low) / 2;
    if (local_state(mid).daylight == start)
      low = mid;
    else
      high = mid;
  }
  return high;
}

// A transition as Windows writes it: month, weekday, its n-th occurrence
// in the month (5 for the last), and the wall-clock time before the change.
void rule_date(time_t at, long offset_before, SYSTEMTIME* out) {
  time_t wall = at + offset_before;
  tm t;
  gmtime_r(&wall, &t);
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int year = t.tm_year + 1900;
  int days = kDays[t.tm_mon] + (t.tm_mon == 1 && (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)));
  memset(out, 0, sizeof *out);
  out->wMonth = static_cast<WORD>(t.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(t.tm_wday);
  out->wDay = static_cast<WORD>(t.tm_mday + 7 > days ? 5 : (t.tm_mday - 1) / 7 + 1);
  out->wHour = static_cast<WORD>(t.tm_hour);
  out->wMinute = static_cast<WORD>(t.tm_min);
  out->wSecond = static_cast<WORD>(t.tm_sec);
}

void put_name(WCHAR* field, const char* name) {
  std::u16string wide = utf8_to_wstr(name ? name : "");
  wstr_copy_n(field, 32, wide);
}

}  // namespace

extern "C" DWORD GetTickCount(void) { return static_cast<DWORD>(uptime_us() / 1000); }

extern "C" BOOL QueryPerformanceCounter(LARGE_INTEGER* counter) {
  if (!counter) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  counter->QuadPart = uptime_us();
  return TRUE;
}

extern "C" BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (!frequency) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  frequency->QuadPart = kCounterFrequency;
  return TRUE;
}

extern "C" void GetSystemTime(SYSTEMTIME* out) {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  tm t;
  gmtime_r(&ts.tv_sec, &t);
  to_systemtime(t, ts.tv_nsec, out);
}

extern "C" void GetLocalTime(SYSTEMTIME* out) {
  tzset();
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  tm t;
  localtime_r(&ts.tv_sec, &t);
  to_systemtime(t, ts.tv_nsec, out);
}

extern "C" DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return TIME_ZONE_ID_INVALID;
  }
  tzset();
  memset(info, 0, sizeof *info);
  time_t now = time(nullptr);
  tm today;
  localtime_r(&now, &today);
  // The year's start and end, and the daylight transitions between them
  // (found by the day, then to the second).
  tm first = {};
  first.tm_year = today.tm_year;
  first.tm_mday = 1;
  first.tm_isdst = -1;
  time_t year_start = mktime(&first);
  time_t year_end = year_start + 366 * 86400;
  time_t to_daylight = 0, to_standard = 0;
  long standard_offset = local_state(now).offset, daylight_offset = standard_offset;
  bool was = local_state(year_start).daylight;
  for (time_t day = year_start + 86400; day <= year_end; day += 86400) {
    LocalState s = local_state(day);
    if (s.daylight == was) continue;
    time_t at = transition(day - 86400, day);
    if (s.daylight) {
      to_daylight = at;
      daylight_offset = s.offset;
    } else {
      to_standard = at;
      standard_offset = s.offset;
    }
    was = s.daylight;
  }
  if (!to_daylight || !to_standard) {
    // No daylight saving time this year.
    standard_offset = local_state(now).offset;
    info->Bias = static_cast<LONG>(-standard_offset / 60);
    put_name(info->StandardName, tzname[0]);
    put_name(info->DaylightName, tzname[1]);
    return TIME_ZONE_ID_UNKNOWN;
  }
  info->Bias = static_cast<LONG>(-standard_offset / 60);
  info->StandardBias = 0;
  info->DaylightBias = static_cast<LONG>(-(daylight_offset - standard_offset) / 60);
  put_name(info->StandardName, tzname[0]);
  put_name(info->DaylightName, tzname[1]);
  rule_date(to_standard, daylight_offset, &info->StandardDate);
  rule_date(to_daylight, standard_offset, &info->DaylightDate);
  return today.tm_isdst > 0 ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}
