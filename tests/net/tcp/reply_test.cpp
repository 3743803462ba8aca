#include "net/tcp/reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/exception.h"
#include "tests/support/expect_throw.h"

namespace tavo::net {
namespace {

rtl::TStringList Lines(const std::vector<std::string>& v) {
  rtl::TStringList l;
  for (const auto& s : v) l.Add(s);
  return l;
}

class TOtherSettings : public rtl::TPersistent {
 public:
  std::string ClassName() const override { return "TOtherSettings"; }
};

TEST(RFCReply, NewReplyIsClearAndClearEmptiesEverything) {
  TIdRFCReply r;
  EXPECT_EQ(r.NumericCode(), 0);
  EXPECT_EQ(r.TextCode(), "");
  EXPECT_EQ(r.Text().Count(), 0);

  r.SetNumericCode(550);
  r.Text().Add("No such file.");
  r.Clear();
  EXPECT_EQ(r.NumericCode(), 0);
  EXPECT_EQ(r.TextCode(), "");
  EXPECT_EQ(r.Text().Count(), 0);
}

TEST(RFCReply, NumericCodeSetterUpdatesTextCodeOnlyForPositiveCodes) {
  TIdRFCReply r;
  r.SetNumericCode(230);
  EXPECT_EQ(r.TextCode(), "230");
  r.SetNumericCode(0);
  EXPECT_EQ(r.NumericCode(), 0);
  EXPECT_EQ(r.TextCode(), "230");
  r.SetNumericCode(-7);
  EXPECT_EQ(r.NumericCode(), -7);
  EXPECT_EQ(r.TextCode(), "230");
}

TEST(RFCReply, TextCodeSetterReadsDecimalOrGivesZero) {
  TIdRFCReply r;
  r.SetTextCode("331");
  EXPECT_EQ(r.NumericCode(), 331);
  r.SetTextCode("");
  EXPECT_EQ(r.TextCode(), "");
  EXPECT_EQ(r.NumericCode(), 331) << "an empty text code leaves the number alone";
  r.SetTextCode("abc");
  EXPECT_EQ(r.NumericCode(), 0);
  EXPECT_EQ(r.TextCode(), "abc");
  r.SetTextCode("$12");
  EXPECT_EQ(r.NumericCode(), 0) << "reply codes are decimal only";
  r.SetTextCode("0x1");
  EXPECT_EQ(r.NumericCode(), 0);
  r.SetTextCode("-12");
  EXPECT_EQ(r.NumericCode(), -12);
}

TEST(RFCReply, SetTextCopiesTheLines) {
  rtl::TStringList src = Lines({"a", "b"});
  TIdRFCReply r;
  r.SetText(src);
  src.Add("c");
  EXPECT_EQ(r.Text().Count(), 2);
  EXPECT_EQ(r.Text()[1], "b");
}

TEST(RFCReply, CopyTakesValuesDirectlyWithoutTheSettersRules) {
  TIdRFCReply a;
  a.SetTextCode("xyz");  // number 0 ...
  a.SetNumericCode(-3);  // ... then -3, text code stays "xyz": a state the setters never pair
  a.Text().Add("one");
  a.Text().Add("two");

  TIdRFCReply b;
  b.SetNumericCode(220);
  b.Text().Add("old");
  b.Assign(a);
  EXPECT_EQ(b.NumericCode(), -3);
  EXPECT_EQ(b.TextCode(), "xyz");
  ASSERT_EQ(b.Text().Count(), 2);
  EXPECT_EQ(b.Text()[0], "one");
  EXPECT_EQ(b.Text()[1], "two");

  b.Assign(b);  // copying onto itself keeps the reply
  EXPECT_EQ(b.Text().Count(), 2);
}

TEST(RFCReply, CopyBetweenUnfitClassesIsRefusedBothWays) {
  TIdRFCReply r;
  r.SetNumericCode(200);
  TOtherSettings other;
  try {
    other.Assign(r);
    FAIL() << "no error";
  } catch (const rtl::EConvertAssignError& e) {
    EXPECT_STREQ(e.what(), "TIdRFCReply kann nicht zu TOtherSettings zugewiesen werden");
  }
  try {
    r.Assign(other);
    FAIL() << "no error";
  } catch (const rtl::EConvertAssignError& e) {
    EXPECT_STREQ(e.what(), "TOtherSettings kann nicht zu TIdRFCReply zugewiesen werden");
  }
  EXPECT_EQ(r.NumericCode(), 200) << "a refused copy changes nothing";
}

TEST(RFCReply, ParseSingleLine) {
  TIdRFCReply r;
  r.ParseReplyLines(Lines({"230 Login ok."}));
  EXPECT_EQ(r.NumericCode(), 230);
  EXPECT_EQ(r.TextCode(), "230");
  ASSERT_EQ(r.Text().Count(), 1);
  EXPECT_EQ(r.Text()[0], "Login ok.");
}

TEST(RFCReply, ParseMultiLineDropsFourCharactersOfEveryLine) {
  TIdRFCReply r;
  r.ParseReplyLines(Lines({"220-first", "220-second", "220 last"}));
  EXPECT_EQ(r.NumericCode(), 220);
  EXPECT_EQ(r.TextCode(), "220");
  EXPECT_EQ(r.Text().Items(), (std::vector<std::string>{"first", "second", "last"}));

  r.ParseReplyLines(Lines({"220-Hello", "Welcome aboard", "220"}));
  EXPECT_EQ(r.Text().Items(), (std::vector<std::string>{"Hello", "ome aboard", ""}));
}

TEST(RFCReply, ParseOddFirstLines) {
  TIdRFCReply r;
  r.ParseReplyLines(Lines({"12 x"}));
  EXPECT_EQ(r.TextCode(), "12 x");
  EXPECT_EQ(r.NumericCode(), 0);
  EXPECT_EQ(r.Text()[0], "");

  r.ParseReplyLines(Lines({"abc-d"}));
  EXPECT_EQ(r.TextCode(), "abc");
  EXPECT_EQ(r.NumericCode(), 0);
  EXPECT_EQ(r.Text()[0], "d");

  // The hyphen is only dropped from a full four-character prefix.
  r.ParseReplyLines(Lines({" 12-x"}));
  EXPECT_EQ(r.TextCode(), "12-");
  EXPECT_EQ(r.NumericCode(), 0);
  EXPECT_EQ(r.Text()[0], "x");

  r.ParseReplyLines(Lines({"5"}));
  EXPECT_EQ(r.TextCode(), "5");
  EXPECT_EQ(r.NumericCode(), 5);
  EXPECT_EQ(r.Text()[0], "");
}

TEST(CommandLine, LineBreaksAnywhereAreRefusedWithTheirOwnMessage) {
  for (const std::string bad : {"RETR a\r\nDELE b", "RETR a\n", "\rRETR a", "\r\n"}) {
    EXPECT_EQ(testsupport::ThrownMessage<EIdCommandLineBreak>([&] { CheckCommandLine(bad); }),
              "Befehlszeile enthält einen Zeilenumbruch und wird nicht gesendet");
  }
  EXPECT_NO_THROW(CheckCommandLine(""));
  EXPECT_NO_THROW(CheckCommandLine("RETR name with blanks\t.dat"));
}

TEST(RFCReply, ParseEmptyListLeavesTheReplyClear) {
  TIdRFCReply r;
  r.ParseReplyLines(Lines({"500 x"}));
  r.ParseReplyLines(Lines({}));
  EXPECT_EQ(r.NumericCode(), 0);
  EXPECT_EQ(r.TextCode(), "");
  EXPECT_EQ(r.Text().Count(), 0);
}

}  // namespace
}  // namespace tavo::net
