#include "rtl/strings.h"

#include <gtest/gtest.h>

#include "rtl/exception.h"

using tavo::rtl::TStringList;

TEST(StringListTest, EditsAndBounds) {
  TStringList l;
  EXPECT_EQ(l.Add("b"), 0);
  l.Insert(0, "a");
  l.Insert(2, "c");
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(l[1], "b");
  EXPECT_EQ(l.IndexOf("c"), 2);
  EXPECT_EQ(l.IndexOf("C"), -1);
  l.Delete(1);
  EXPECT_EQ(l.Text(), "a\r\nc\r\n");
  EXPECT_THROW(l.Strings(2), tavo::rtl::EListError);
  EXPECT_THROW(l.Insert(4, "x"), tavo::rtl::EListError);
  EXPECT_THROW(l.Delete(-1), tavo::rtl::EListError);
}

TEST(StringListTest, SetTextSplitsAtEveryLineEnd) {
  TStringList l;
  l.SetText("one\r\ntwo\nthree\rfour\r\n\r\nsix");
  ASSERT_EQ(l.Count(), 6);
  EXPECT_EQ(l[3], "four");
  EXPECT_EQ(l[4], "");
  EXPECT_EQ(l[5], "six");
  l.SetText("");
  EXPECT_EQ(l.Count(), 0);
}
