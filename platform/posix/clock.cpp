#include "platform/clock.h"

#include <algorithm>
#include <ctime>

namespace tavo::platform {

namespace {

// The local time of a moment in seconds since 1970, with its milliseconds.
rtl::TDateTime LocalTime(time_t ASeconds, int32_t AMilliseconds) {
  tm local{};
  // localtime_r, not localtime: the listing parser may ask from any thread.
  if (localtime_r(&ASeconds, &local) == nullptr) return 0;
  rtl::TDateTime date = 0, time = 0;
  if (!rtl::TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date) ||
      !rtl::TryEncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), AMilliseconds,
                          time))
    return 0;
  return rtl::ComposeDateTime(date, time);
}

}  // namespace

rtl::TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return LocalTime(ts.tv_sec, static_cast<int32_t>(ts.tv_nsec / 1000000));
}

rtl::TDateTime UtcToLocal(rtl::TDateTime AUtc) {
  rtl::TDateTimeParts parts;
  if (!rtl::DecodeDateTime(AUtc, parts)) return 0;
  tm utc{};
  utc.tm_year = parts.Year - 1900;
  utc.tm_mon = parts.Month - 1;
  utc.tm_mday = parts.Day;
  utc.tm_hour = parts.Hour;
  utc.tm_min = parts.Minute;
  utc.tm_sec = parts.Second;
  const time_t seconds = timegm(&utc);
  if (seconds == static_cast<time_t>(-1) && parts.Year != 1969) return 0;
  return LocalTime(seconds, parts.MilliSecond);
}

}  // namespace tavo::platform
