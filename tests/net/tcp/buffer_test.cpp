#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/stack/exceptions.h"
#include "net/tcp/buffer.h"

namespace tavo::net {
namespace {

TEST(SimpleBuffer, TakeStringAndDiscardReportRemovedBytes) {
  std::vector<int32_t> removed;
  TIdSimpleBuffer buf([&](TIdSimpleBuffer*, int32_t n) { removed.push_back(n); });
  buf.WriteBuffer("hello world", 11);
  EXPECT_EQ(buf.TakeString(6), "hello ");
  EXPECT_EQ(buf.VisibleSize(), 5);
  buf.Discard(5);
  EXPECT_EQ(buf.VisibleSize(), 0);
  EXPECT_EQ(removed, (std::vector<int32_t>{6, 5}));
}

TEST(SimpleBuffer, TakingMoreThanHeldRaisesAndChangesNothing) {
  TIdSimpleBuffer buf;
  buf.WriteBuffer("abc", 3);
  try {
    buf.TakeString(4);
    FAIL() << "no exception";
  } catch (const EIdNotEnoughDataInBuffer& e) {
    EXPECT_STREQ(e.what(), "Nicht genügend Daten im Puffer.");
  }
  EXPECT_THROW(buf.Discard(4), EIdNotEnoughDataInBuffer);
  EXPECT_EQ(buf.TakeString(3), "abc");
}

TEST(ManagedBuffer, ConsumesLazilyAndCompactsAtThreshold) {
  int32_t reported = 0;
  int calls = 0;
  TIdManagedBuffer buf([&](TIdSimpleBuffer*, int32_t n) {
    reported += n;
    ++calls;
  });
  std::string data(40000, 'x');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
  buf.Append(data.data(), static_cast<int64_t>(data.size()));

  // Small pieces, never everything at once: the front is only skipped...
  std::string taken;
  while (buf.ConsumedCount() + 1000 < 32768) taken += buf.TakeString(1000);
  EXPECT_EQ(buf.ConsumedCount(), 32000);
  EXPECT_EQ(buf.StorageSize(), 40000);
  // ...until 32768 or more consumed bytes have piled up; then the rest moves to the front.
  taken += buf.TakeString(1000);
  EXPECT_EQ(buf.ConsumedCount(), 0);
  EXPECT_EQ(buf.StorageSize(), 40000 - 33000);
  EXPECT_EQ(buf.VisibleSize(), 7000);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buf.DataStart()), 3), data.substr(33000, 3));
  EXPECT_EQ(reported, 33000);
  EXPECT_EQ(calls, 33);

  taken += buf.TakeString(7000);
  EXPECT_EQ(taken, data);
  EXPECT_EQ(buf.StorageSize(), 0);
}

TEST(ManagedBuffer, CompactsExactlyWhenTheConsumedCountReachesTheThreshold) {
  TIdManagedBuffer buf;
  const std::string data(32768 + 10, 'z');
  buf.Append(data.data(), static_cast<int64_t>(data.size()));
  buf.Discard(32767);  // one byte short of the threshold: nothing moves
  EXPECT_EQ(buf.ConsumedCount(), 32767);
  EXPECT_EQ(buf.StorageSize(), 32778);
  buf.Discard(1);  // exactly the threshold
  EXPECT_EQ(buf.ConsumedCount(), 0);
  EXPECT_EQ(buf.StorageSize(), 10);
  EXPECT_EQ(buf.VisibleSize(), 10);
}

TEST(ManagedBuffer, PositionsAndAppendsAreRelativeToTheVisibleBytes) {
  TIdManagedBuffer buf;
  buf.Append("0123456789", 10);
  buf.Discard(4);
  EXPECT_EQ(buf.ConsumedCount(), 4);
  EXPECT_EQ(buf.Size(), 6);
  buf.SetPosition(0);
  char c[3] = {};
  EXPECT_EQ(buf.Read(c, 2), 2);
  EXPECT_EQ(std::string(c, 2), "45");
  buf.Append("ab", 2);
  EXPECT_EQ(buf.TakeString(8), "456789ab");
}

TEST(ManagedBuffer, EmptyingResetsWithoutReport) {
  int calls = 0;
  TIdManagedBuffer buf([&](TIdSimpleBuffer*, int32_t) { ++calls; });
  buf.Append("abcdef", 6);
  buf.Discard(2);
  buf.Clear();
  EXPECT_EQ(buf.VisibleSize(), 0);
  EXPECT_EQ(buf.ConsumedCount(), 0);
  EXPECT_EQ(calls, 1);
  EXPECT_THROW(buf.Discard(1), EIdNotEnoughDataInBuffer);
}

}  // namespace
}  // namespace tavo::net
