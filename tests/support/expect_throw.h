#pragma once
// Expecting an exception and then looking at it: EXPECT_THROW says only that a class was
// thrown, while many tests also hold its message or its reply code to a value. These run the
// action, hand the caught exception to the test's own checks, and report at the test's line
// when nothing or an exception of another class was thrown (the test then goes on, as after
// any EXPECT_*).

#include <gtest/gtest.h>

#include <exception>
#include <source_location>
#include <string>
#include <typeinfo>
#include <utility>

namespace tavo::testsupport {

// Class and message of an exception that was not the one expected, for the failure message.
inline std::string DescribeThrown(const std::exception_ptr& thrown) {
  try {
    std::rethrow_exception(thrown);
  } catch (const std::exception& e) {
    return std::string(typeid(e).name()) + ": " + e.what();
  } catch (...) {
    return "something that is no std::exception";
  }
}

// Runs AAct, which must throw an E, and calls ACheck with it. True when an E was caught.
template <class E, class Act, class Check>
bool ExpectThrowWith(Act&& AAct, Check&& ACheck,
                     std::source_location AWhere = std::source_location::current()) {
  try {
    std::forward<Act>(AAct)();
  } catch (const E& e) {
    std::forward<Check>(ACheck)(e);
    return true;
  } catch (...) {
    ADD_FAILURE_AT(AWhere.file_name(), AWhere.line())
        << "threw another class than expected: " << DescribeThrown(std::current_exception());
    return false;
  }
  ADD_FAILURE_AT(AWhere.file_name(), AWhere.line()) << "nothing was thrown";
  return false;
}

// The message of the E that AAct throws; empty, after a failure, when it throws none.
template <class E, class Act>
std::string ThrownMessage(Act&& AAct,
                          std::source_location AWhere = std::source_location::current()) {
  std::string message;
  ExpectThrowWith<E>(
      std::forward<Act>(AAct), [&](const E& e) { message = e.what(); }, AWhere);
  return message;
}

}  // namespace tavo::testsupport
