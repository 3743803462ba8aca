#include "platform/clock.h"

#include <algorithm>
#include <ctime>

namespace tavo::platform {

rtl::TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  // localtime_r, not localtime: the listing parser may ask from any thread.
  if (localtime_r(&ts.tv_sec, &local) == nullptr) return 0;
  rtl::TDateTime date = 0, time = 0;
  if (!rtl::TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date) ||
      !rtl::TryEncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                          static_cast<int32_t>(ts.tv_nsec / 1000000), time))
    return 0;
  return rtl::ComposeDateTime(date, time);
}

}  // namespace tavo::platform
