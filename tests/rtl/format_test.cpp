#include "rtl/format.h"

#include <gtest/gtest.h>

#include "rtl/exception.h"

using tavo::rtl::Format;

TEST(FormatTest, SubstitutesTypedArguments) {
  EXPECT_EQ(Format("Socket-Fehler # %d\r\n%s", {10061, "Verbindung abgelehnt."}),
            "Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
  EXPECT_EQ(Format("%s", {""}), "");
  EXPECT_EQ(Format("100%% %x", {255}), "100% ff");
  EXPECT_EQ(Format("%d", {-3}), "-3");
}

TEST(FormatTest, ArgumentsAreCopiedNotInterpreted) {
  EXPECT_EQ(Format("Host %s.", {"a%sb%d"}), "Host a%sb%d.");
}

TEST(FormatTest, ExtraArgumentsAreIgnoredMissingOnesRaise) {
  EXPECT_EQ(Format("Verbunden.", {"x", 1}), "Verbunden.");
  EXPECT_THROW(Format("%s and %s", {"one"}), tavo::rtl::EConvertError);
  EXPECT_THROW(Format("%d", {"text"}), tavo::rtl::EConvertError);
  EXPECT_THROW(Format("50%", {}), tavo::rtl::EConvertError);
}
