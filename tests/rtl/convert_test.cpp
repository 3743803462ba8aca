#include "rtl/convert.h"

#include <gtest/gtest.h>

#include "rtl/exception.h"

using tavo::rtl::StrToInt;
using tavo::rtl::TryStrToInt;
using tavo::rtl::TryStrToInt64;

TEST(ConvertTest, AcceptsBlanksSignsAndHexPrefixes) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("  42"), 42);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("-12"), -12);
  EXPECT_EQ(StrToInt("$ff"), 255);
  EXPECT_EQ(StrToInt("0x7f"), 127);
  EXPECT_EQ(StrToInt("0X7F"), 127);
  EXPECT_EQ(StrToInt("-$10"), -16);
  EXPECT_EQ(StrToInt("007"), 7);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
}

TEST(ConvertTest, RejectsEverythingElse) {
  int32_t v = 99;
  for (const char* bad : {"", " ", "+", "-", "$", "0x", "12 ", "1a", "a1", "1.0", "\t1", "--1",
                          "2147483648", "-2147483649", "$100000000", "0x-1", "1 2"}) {
    EXPECT_FALSE(TryStrToInt(bad, v)) << '"' << bad << '"';
  }
  EXPECT_EQ(v, 99) << "a failed conversion leaves the target alone";
  EXPECT_THROW(StrToInt("x"), tavo::rtl::EConvertError);
  try {
    StrToInt("12a");
    FAIL();
  } catch (const tavo::rtl::EConvertError& e) {
    EXPECT_STREQ(e.what(), "'12a' is not a valid integer value");
  }
}

TEST(ConvertTest, SixtyFourBitRange) {
  int64_t v = 0;
  ASSERT_TRUE(TryStrToInt64("9223372036854775807", v));
  EXPECT_EQ(v, INT64_MAX);
  ASSERT_TRUE(TryStrToInt64("4294967296", v));
  EXPECT_EQ(v, 4294967296LL);
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", v));
  EXPECT_EQ(tavo::rtl::StrToIntDef("oops", -5), -5);
}
