#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace tavo::platform {
namespace {

rtl::TDateTime Local(time_t t) {
  tm l{};
#ifdef _WIN32
  localtime_s(&l, &t);
#else
  localtime_r(&t, &l);
#endif
  return rtl::ComposeDateTime(rtl::EncodeDate(l.tm_year + 1900, l.tm_mon + 1, l.tm_mday),
                              rtl::EncodeTime(l.tm_hour, l.tm_min, l.tm_sec % 60, 0));
}

TEST(Clock, NowIsTheLocalDateAndTime) {
  const time_t before = time(nullptr);
  const rtl::TDateTime now = Now();
  const time_t after = time(nullptr);
  EXPECT_GE(now, Local(before));
  EXPECT_LT(now, Local(after) + 1.0 / 86400);
}

}  // namespace
}  // namespace tavo::platform
