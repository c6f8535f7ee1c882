#include "plinthar/text/escapes.hpp"

#include <gtest/gtest.h>

namespace plinthar::text {
namespace {

TEST(OneLine, EscapesEveryLineBreakAndControlCharacter) {
  struct Row {
    const char* name;
    std::string in;
    std::string out;
  };
  const Row rows[] = {
      {"plain", "src/a.py", "src/a.py"},
      {"line feed", "a\nb", "a\\nb"},
      {"carriage return", "a\r\nb", "a\\r\\nb"},
      {"tab", "a\tb", "a\\tb"},
      {"nul and other C0", std::string("a\0b\x1e", 4), "a\\u0000b\\u001e"},
      {"vertical tab and form feed", "\v\f", "\\u000b\\u000c"},
      {"delete", "a\x7f", "a\\u007f"},
      {"next line U+0085",
       "a\xc2\x85"
       "b",
       "a\\u0085b"},
      {"line separator U+2028",
       "a\xe2\x80\xa8"
       "b",
       "a\\u2028b"},
      {"paragraph separator U+2029", "a\xe2\x80\xa9", "a\\u2029"},
      {"other non-ASCII kept", "h\xc3\xa9llo \xf0\x9f\x98\x80", "h\xc3\xa9llo \xf0\x9f\x98\x80"},
      {"backslash and quotes kept", "a\\n \"b\"", "a\\n \"b\""},
      {"invalid bytes as the JSON form escapes them", "a\xff\x85z", "a\\udcff\\udc85z"},
      {"cut character, surrogate, overlong", "caf\xc3 \xed\xa0\x80 \xc0\xaf",
       "caf\\udcc3 \\udced\\udca0\\udc80 \\udcc0\\udcaf"},
  };
  for (const Row& row : rows) EXPECT_EQ(one_line(row.in), row.out) << row.name;
}

}  // namespace
}  // namespace plinthar::text
