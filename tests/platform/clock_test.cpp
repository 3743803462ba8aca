#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <ctime>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavo::platform {
namespace {

// The local date and time from the clock Now reads, to the millisecond it keeps: the system
// time (GetSystemTimeAsFileTime, as GetLocalTime) on Windows, CLOCK_REALTIME elsewhere.
// time() would not do: it is a coarser clock, a tick behind at a second's edge.
rtl::TDateTime SameClockNow() {
  int year, month, day, hour, minute, second, millisecond;
#ifdef _WIN32
  FILETIME utc{}, local{};
  SYSTEMTIME t{};
  ::GetSystemTimeAsFileTime(&utc);
  ::FileTimeToLocalFileTime(&utc, &local);
  ::FileTimeToSystemTime(&local, &t);
  year = t.wYear, month = t.wMonth, day = t.wDay;
  hour = t.wHour, minute = t.wMinute, second = t.wSecond, millisecond = t.wMilliseconds;
#else
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm l{};
  localtime_r(&ts.tv_sec, &l);
  year = l.tm_year + 1900, month = l.tm_mon + 1, day = l.tm_mday;
  hour = l.tm_hour, minute = l.tm_min, second = l.tm_sec, millisecond = static_cast<int>(ts.tv_nsec / 1000000);
#endif
  return rtl::ComposeDateTime(rtl::EncodeDate(year, month, day),
                              rtl::EncodeTime(hour, minute, second > 59 ? 59 : second, millisecond));
}

TEST(Clock, NowIsTheLocalDateAndTime) {
  // Taken between two readings of the same clock, Now lies between them. Only a local clock
  // turned back meanwhile (the end of summer time) could break the order; then measure again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const rtl::TDateTime before = SameClockNow();
    const rtl::TDateTime now = Now();
    const rtl::TDateTime after = SameClockNow();
    if (after < before) continue;
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
    return;
  }
  FAIL() << "the local clock went back three times in a row";
}

TEST(Clock, UtcToLocalFollowsTheZoneAndItsSummerTime) {
#ifdef _WIN32
  GTEST_SKIP() << "the zone comes from TZ here; Windows keeps its zone in its own settings";
#else
  const char* old = ::getenv("TZ");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
  const auto at = [](int y, int mo, int d, int h, int mi) {
    return rtl::ComposeDateTime(rtl::EncodeDate(y, mo, d), rtl::EncodeTime(h, mi, 0, 250));
  };
  EXPECT_EQ(UtcToLocal(at(2026, 1, 5, 10, 30)), at(2026, 1, 5, 11, 30));
  EXPECT_EQ(UtcToLocal(at(2026, 7, 5, 23, 30)), at(2026, 7, 6, 1, 30));
  EXPECT_EQ(UtcToLocal(std::numeric_limits<double>::quiet_NaN()), 0);
  if (old != nullptr) ::setenv("TZ", saved.c_str(), 1); else ::unsetenv("TZ");
  ::tzset();
#endif
}

}  // namespace
}  // namespace tavo::platform
