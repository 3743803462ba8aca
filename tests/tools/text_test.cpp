#include "tools/tavo-ftp/text.h"

#include <gtest/gtest.h>

#include <string>

namespace tavo::tool {
namespace {

TEST(Printable, ControlCharactersAndBrokenUtf8AreEscapedLettersStay) {
  const struct {
    std::string in, out;
  } rows[] = {
      {"Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac \xf0\x9f\x98\x80 \xc2\xa0", "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac \xf0\x9f\x98\x80 \xc2\xa0"},
      {std::string("\x1b[2J\0\t\x7f csi \xc2\x9b", 14), "\\x1b[2J\\x00\\x09\\x7f csi \\xc2\\x9b"},
      {"latin-1 \xfc \x9b, overlong \xc0\x9b, surrogate \xed\xa0\x80, cut \xe2\x82",
       "latin-1 \\xfc \\x9b, overlong \\xc0\\x9b, surrogate \\xed\\xa0\\x80, cut \\xe2\\x82"},
  };
  for (const auto& r : rows) EXPECT_EQ(Printable(r.in), r.out) << r.in;
}

}  // namespace
}  // namespace tavo::tool
