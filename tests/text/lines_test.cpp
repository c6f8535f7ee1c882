#include "plinthar/text/lines.hpp"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::text {
namespace {

struct LinesCase {
  const char* name;
  std::string text;
  std::vector<std::string_view> expected;
};

TEST(SplitLines, SplitsAtEveryLineBoundary) {
  const std::vector<LinesCase> cases = {
      {"empty", "", {}},
      {"final boundary adds no line", "a\nb\n", {"a", "b"}},
      {"blank lines kept", "a\n\nb", {"a", "", "b"}},
      {"crlf is one boundary", "a\r\nb", {"a", "b"}},
      {"lone cr", "a\rb", {"a", "b"}},
      {"vt ff and separators",
       "a\vb\fc\x1c"
       "d\x1d"
       "e\x1e"
       "f",
       {"a", "b", "c", "d", "e", "f"}},
      {"unit separator is not a boundary",
       "a\x1f"
       "b",
       {"a\x1f"
        "b"}},
      {"nel and unicode separators",
       "a\xc2\x85"
       "b\xe2\x80\xa8"
       "c\xe2\x80\xa9"
       "d",
       {"a", "b", "c", "d"}},
      {"only a boundary", "\n", {""}},
  };
  for (const auto& c : cases) EXPECT_EQ(split_lines(c.text), c.expected) << c.name;
}

// One byte at a time, the plain way: the reference for the word-at-a-time split.
std::vector<std::string_view> reference_split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t length = 0;
    const std::string_view rest = text.substr(pos);
    if (rest.starts_with("\r\n") || rest.starts_with("\xe2\x80\xa8") ||
        rest.starts_with("\xe2\x80\xa9") || rest.starts_with("\xc2\x85")) {
      length = rest.starts_with("\r\n") || rest.starts_with("\xc2\x85") ? 2 : 3;
    } else if (std::string_view("\n\r\v\f\x1c\x1d\x1e").find(rest[0]) != std::string_view::npos) {
      length = 1;
    }
    if (length == 0) {
      ++pos;
      continue;
    }
    lines.push_back(text.substr(start, pos - start));
    pos += length;
    start = pos;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// Boundaries and look-alikes (tab, U+001F, other two- and three-byte characters) at
// every alignment, so that the eight-byte stretches start and end everywhere.
TEST(SplitLines, MatchesAByteByByteSplitOnRandomText) {
  const std::vector<std::string> pieces = {"a",
                                           "bcdefgh",
                                           "ijklmnopqrs",
                                           "\n",
                                           "\r",
                                           "\r\n",
                                           "\t",
                                           "\v",
                                           "\f",
                                           "\x1c",
                                           "\x1e",
                                           "\x1f",
                                           "\x7f",
                                           "\xc2\x85",
                                           "\xc2\xa0",
                                           "\xe2\x80\xa8",
                                           "\xe2\x80\xa9",
                                           "\xe2\x80\x99",
                                           "\xe3\x80\x80",
                                           " "};
  std::mt19937 rng(5);
  std::uniform_int_distribution<std::size_t> count(0, 24);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (std::size_t n = count(rng); n > 0; --n) text += pieces[pick(rng)];
    const auto expected = reference_split_lines(text);
    ASSERT_EQ(split_lines(text), expected) << "text: \"" << text << "\"";
    for (std::size_t keep : {0u, 1u, 5u}) {
      const std::vector<std::string_view> prefix(
          expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(
                                                   std::min<std::size_t>(keep, expected.size())));
      ASSERT_EQ(first_lines(text, keep), prefix) << "text: \"" << text << "\" keep " << keep;
    }
  }
}

TEST(LineIndex, CountsLineFeedsBeforeAnOffset) {
  const LineIndex index("ab\ncd\n\nef");
  EXPECT_EQ(index.line_of(0), 0u);
  EXPECT_EQ(index.line_of(2), 0u);  // the "\n" itself is still on line 0
  EXPECT_EQ(index.line_of(3), 1u);
  EXPECT_EQ(index.line_of(6), 2u);
  EXPECT_EQ(index.line_of(7), 3u);
  EXPECT_EQ(index.line_of(100), 3u);
}

}  // namespace
}  // namespace plinthar::text
