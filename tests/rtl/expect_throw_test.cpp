// The tests' helper for looking at an expected exception must fail a test whenever nothing or
// an exception of another class is thrown, or the checks that rely on it would pass unseen.

#include "tests/support/expect_throw.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace tavo::testsupport {
namespace {

TEST(ExpectThrow, TheExpectedClassOrOneDerivedFromItReachesTheCheck) {
  int checks = 0;
  EXPECT_TRUE(ExpectThrowWith<std::range_error>([] { throw std::range_error("r"); },
                                                [&](const std::range_error&) { ++checks; }));
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(ThrownMessage<std::runtime_error>([] { throw std::range_error("derived"); }),
            "derived");
}

TEST(ExpectThrow, NothingOrAnotherClassThrownIsAFailure) {
  EXPECT_NONFATAL_FAILURE(ThrownMessage<std::range_error>([] {}), "nothing was thrown");
  EXPECT_NONFATAL_FAILURE(ThrownMessage<std::range_error>([] { throw std::logic_error("l"); }),
                          "another class than expected");
  EXPECT_NONFATAL_FAILURE(ThrownMessage<std::range_error>([] { throw 7; }), "no std::exception");
}

}  // namespace
}  // namespace tavo::testsupport
