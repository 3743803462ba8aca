#include "tools/tavo-ftp/text.h"

#include <gtest/gtest.h>

#include <string>

namespace tavo::tool {
namespace {

TEST(Printable, ControlCharactersAndBrokenUtf8AreEscapedLettersStay) {
  const struct {
    std::string in;
    std::string out;
  } rows[] = {
      {"plain name.txt", "plain name.txt"},
      {"Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac \xf0\x9f\x98\x80", "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"a\x1b[2Jb", "a\\x1b[2Jb"},
      {std::string("nul\0tab\tdel\x7f", 12), "nul\\x00tab\\x09del\\x7f"},
      {"csi \xc2\x9b" "31m, nbsp \xc2\xa0", "csi \\xc2\\x9b31m, nbsp \xc2\xa0"},  // U+009B, U+00A0
      {"latin-1 \xfc and \x9b", "latin-1 \\xfc and \\x9b"},
      {"overlong \xc0\x9b, surrogate \xed\xa0\x80", "overlong \\xc0\\x9b, surrogate \\xed\\xa0\\x80"},
      {"cut \xe2\x82", "cut \\xe2\\x82"},
  };
  for (const auto& r : rows) EXPECT_EQ(Printable(r.in), r.out) << r.in;
}

}  // namespace
}  // namespace tavo::tool
