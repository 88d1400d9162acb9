// The device's clocks, wall-clock time and time zone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "wce/kernel.h"
#include "wce/time.h"

TEST(Clock, TheCounterRunsAtOneMegahertzWithTheTickCount) {
  LARGE_INTEGER frequency, before, after;
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency.QuadPart, 1000000);
  ASSERT_TRUE(QueryPerformanceCounter(&before));
  DWORD tick = GetTickCount();
  Sleep(20);
  ASSERT_TRUE(QueryPerformanceCounter(&after));
  EXPECT_GE(after.QuadPart - before.QuadPart, 20000);
  EXPECT_GE(tick, static_cast<DWORD>(before.QuadPart / 1000));
  EXPECT_LE(tick, static_cast<DWORD>(after.QuadPart / 1000));
  EXPECT_GE(GetTickCount() - tick, 20u);
}

TEST(Clock, SystemTimeIsUtcNow) {
  SYSTEMTIME st;
  time_t before = time(nullptr);
  GetSystemTime(&st);
  time_t after = time(nullptr);
  tm t = {};
  t.tm_year = st.wYear - 1900;
  t.tm_mon = st.wMonth - 1;
  t.tm_mday = st.wDay;
  t.tm_hour = st.wHour;
  t.tm_min = st.wMinute;
  t.tm_sec = st.wSecond;
  time_t told = timegm(&t);
  EXPECT_GE(told, before);
  EXPECT_LE(told, after);
  tm check;
  gmtime_r(&told, &check);
  EXPECT_EQ(st.wDayOfWeek, check.tm_wday);
  EXPECT_LT(st.wMilliseconds, 1000);
}

namespace {

struct ZoneSetting {
  explicit ZoneSetting(const char* zone) {
    const char* old = getenv("TZ");
    had = old != nullptr;
    if (had) saved = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneSetting() {
    if (had)
      setenv("TZ", saved.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  bool had;
  std::string saved;
};

}  // namespace

TEST(Clock, LocalTimeFollowsTheZone) {
  ZoneSetting zone("XXX-5:30");
  SYSTEMTIME utc, local;
  GetSystemTime(&utc);
  GetLocalTime(&local);
  int minutes_utc = utc.wHour * 60 + utc.wMinute;
  int minutes_local = local.wHour * 60 + local.wMinute;
  int difference = ((minutes_local - minutes_utc) % 1440 + 1440) % 1440;
  // 5:30 ahead, give or take a minute that turned between the calls.
  EXPECT_GE(difference, 329);
  EXPECT_LE(difference, 331);
}

TEST(TimeZone, AZoneWithoutDaylightSavingIsUnknownWithItsBias) {
  ZoneSetting zone("ABC+3");
  TIME_ZONE_INFORMATION info;
  EXPECT_EQ(GetTimeZoneInformation(&info), TIME_ZONE_ID_UNKNOWN);
  EXPECT_EQ(info.Bias, 180);
  EXPECT_EQ(std::u16string(info.StandardName), u"ABC");
  EXPECT_EQ(info.StandardDate.wMonth, 0);
  EXPECT_EQ(info.DaylightDate.wMonth, 0);
  EXPECT_EQ(info.DaylightBias, 0);
}

TEST(TimeZone, CentralEuropeanRulesBecomeLastSundayDates) {
  ZoneSetting zone("CET-1CEST,M3.5.0,M10.5.0/3");
  TIME_ZONE_INFORMATION info;
  DWORD id = GetTimeZoneInformation(&info);
  EXPECT_TRUE(id == TIME_ZONE_ID_STANDARD || id == TIME_ZONE_ID_DAYLIGHT);
  EXPECT_EQ(info.Bias, -60);
  EXPECT_EQ(info.StandardBias, 0);
  EXPECT_EQ(info.DaylightBias, -60);
  EXPECT_EQ(std::u16string(info.StandardName), u"CET");
  EXPECT_EQ(std::u16string(info.DaylightName), u"CEST");
  // Daylight time from the last Sunday of March at 2:00 standard time,
  // standard time from the last Sunday of October at 3:00 daylight time.
  EXPECT_EQ(info.DaylightDate.wMonth, 3);
  EXPECT_EQ(info.DaylightDate.wDayOfWeek, 0);
  EXPECT_EQ(info.DaylightDate.wDay, 5);
  EXPECT_EQ(info.DaylightDate.wHour, 2);
  EXPECT_EQ(info.DaylightDate.wYear, 0);
  EXPECT_EQ(info.StandardDate.wMonth, 10);
  EXPECT_EQ(info.StandardDate.wDayOfWeek, 0);
  EXPECT_EQ(info.StandardDate.wDay, 5);
  EXPECT_EQ(info.StandardDate.wHour, 3);
}

TEST(TimeZone, SouthernRulesAndSecondWeekdays) {
  // Daylight time from the second Sunday of October, back on the first
  // Sunday of April (the southern hemisphere's order).
  ZoneSetting zone("SST-10SDT,M10.2.0,M4.1.0/3");
  TIME_ZONE_INFORMATION info;
  GetTimeZoneInformation(&info);
  EXPECT_EQ(info.Bias, -600);
  EXPECT_EQ(info.DaylightDate.wMonth, 10);
  EXPECT_EQ(info.DaylightDate.wDay, 2);
  EXPECT_EQ(info.StandardDate.wMonth, 4);
  EXPECT_EQ(info.StandardDate.wDay, 1);
  EXPECT_EQ(info.StandardDate.wHour, 3);
}
