// The fixed socket list: 64 entries at most, unordered removal, strict indexes.

#include <gtest/gtest.h>

#include "net/stack/socket_list.h"

namespace tavo::net::test {
namespace {

void ExpectSetSizeExceeded(const std::function<void()>& AAction) {
  try {
    AAction();
    FAIL() << "no exception";
  } catch (const EIdStackSetSizeExceeded& e) {
    EXPECT_STREQ(e.what(), "Mengengröße überschritten.");
  }
}

TEST(SocketList, RegisteredClassIsTheFixedList) {
  auto list = TIdSocketList::CreateSocketList();
  EXPECT_NE(dynamic_cast<TIdSocketListWindows*>(list.get()), nullptr);
  EXPECT_EQ(list->Count(), 0);
}

TEST(SocketList, ItemsOutsideTheCountRaise) {
  TIdSocketListWindows list;
  ExpectSetSizeExceeded([&] { list.Items(0); });
  list.Add(7);
  list.Add(9);
  EXPECT_EQ(list.Items(0), 7);
  EXPECT_EQ(list.Items(1), 9);
  ExpectSetSizeExceeded([&] { list.Items(2); });
  ExpectSetSizeExceeded([&] { list.Items(-1); });
}

TEST(SocketList, HoldsAtMostSixtyFourSockets) {
  TIdSocketListWindows list;
  for (int i = 0; i < 64; ++i) list.Add(100 + i);
  EXPECT_EQ(list.Count(), 64);
  ExpectSetSizeExceeded([&] { list.Add(500); });
  EXPECT_EQ(list.Count(), 64);
  EXPECT_EQ(list.Items(63), 163);
}

TEST(SocketList, RemoveMovesTheLastIntoTheGapAndIgnoresAbsentSockets) {
  TIdSocketListWindows list;
  list.Add(3);
  list.Add(4);
  list.Add(5);
  list.Add(4);
  list.Remove(42);
  EXPECT_EQ(list.Count(), 4);
  list.Remove(4);  // the first 4 goes; the last entry takes its place
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Items(0), 3);
  EXPECT_EQ(list.Items(1), 4);
  EXPECT_EQ(list.Items(2), 5);
  list.Remove(3);
  list.Remove(4);
  list.Remove(5);
  EXPECT_EQ(list.Count(), 0);
  list.Remove(5);
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace tavo::net::test
