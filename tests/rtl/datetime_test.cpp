#include "rtl/datetime.h"

#include <gtest/gtest.h>

#include <limits>

#include "rtl/exception.h"

namespace tavo::rtl {
namespace {

TEST(DateTime, EncodesDaysSinceThirtiethOfDecember1899) {
  struct Case {
    int32_t y, m, d;
    TDateTime days = 0;
  };
  for (const Case& c : {Case{1899, 12, 30, 0},
                        {1900, 1, 1, 2},
                        {2024, 2, 29, 45351},
                        {1, 1, 1, -693593},
                        {9999, 12, 31, 2958465}})
    EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.days) << c.y << '-' << c.m << '-' << c.d;
  EXPECT_EQ(EncodeTime(18, 0, 0, 0), 0.75);

  TDateTime v = 7;
  for (const Case& c : {Case{0, 1, 1},
                        {10000, 1, 1},
                        {2023, 2, 29},
                        {1900, 2, 29},
                        {2024, 4, 31},
                        {2024, 13, 1},
                        {2024, 0, 1},
                        {2024, 1, 0}})
    EXPECT_FALSE(TryEncodeDate(c.y, c.m, c.d, v)) << c.y << '-' << c.m << '-' << c.d;
  for (const Case& c : {Case{24, 0, 0}, {0, 60, 0}, {0, 0, 60}, {-1, 0, 0}})
    EXPECT_FALSE(TryEncodeTime(c.y, c.m, c.d, 0, v)) << c.y << ':' << c.m << ':' << c.d;
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, v));
  EXPECT_EQ(v, 7) << "a refused value leaves the target alone";
  try {
    EncodeDate(2024, 2, 30);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Invalid argument to date encode");
  }
  try {
    EncodeTime(24, 0, 0, 0);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Invalid argument to time encode");
  }
}

TEST(DateTime, DecodesToTheMillisecondOnBothSidesOfDayZero) {
  for (const TDateTimeParts& p :
       {TDateTimeParts{2024, 1, 5, 10, 30, 0, 999}, TDateTimeParts{9999, 12, 31, 23, 59, 59, 999},
        TDateTimeParts{1899, 12, 30, 0, 0, 0, 0}, TDateTimeParts{1899, 12, 29, 6, 0, 0, 0},
        TDateTimeParts{1, 1, 1, 12, 0, 0, 1}}) {
    const TDateTime v = ComposeDateTime(EncodeDate(p.Year, p.Month, p.Day),
                                        EncodeTime(p.Hour, p.Minute, p.Second, p.MilliSecond));
    TDateTimeParts back;
    EXPECT_TRUE(DecodeDateTime(v, back));
    EXPECT_EQ(back, p);
  }
  EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0)), -1.25);

  const double inf = std::numeric_limits<double>::infinity();
  for (TDateTime v :
       {std::numeric_limits<double>::quiet_NaN(), inf, -inf, 1e300, 2958466.0, -693594.0}) {
    TDateTimeParts p{5, 5, 5, 5, 5, 5, 5};
    EXPECT_FALSE(DecodeDateTime(v, p)) << v;
    EXPECT_EQ(p, TDateTimeParts{});
  }
}

}  // namespace
}  // namespace tavo::rtl
