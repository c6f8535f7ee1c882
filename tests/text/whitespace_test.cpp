#include "plinthar/text/whitespace.hpp"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::text {
namespace {

TEST(WhiteSpace, TrimsAndSplitsAtUnicodeWhiteSpace) {
  EXPECT_TRUE(is_space(U'\u3000'));
  EXPECT_TRUE(is_space(U'\u00a0'));
  EXPECT_TRUE(is_space(0x1F));
  EXPECT_FALSE(is_space(U'\u200b'));  // zero-width space is not white space
  EXPECT_EQ(trim("\xe3\x80\x80 a b\t\n"), "a b");
  EXPECT_EQ(trim_left("  x "), "x ");
  EXPECT_EQ(trim(" \t "), "");
  const std::vector<std::string_view> expected = {"a", "b", "c"};
  EXPECT_EQ(split_whitespace("  a\xc2\xa0"
                             "b\n\tc  "),
            expected);
  EXPECT_TRUE(split_whitespace(" \n ").empty());
}

TEST(WhiteSpace, TrimKeepsEverythingBetweenTheOuterNonSpaceCharacters) {
  // Pieces mixing ASCII and multi-byte white space with multi-byte letters.
  const std::string pieces[] = {" ", "\t",       "\xe3\x80\x80",     "\xc2\xa0",
                                "a", "\xc3\xa9", "\xf0\x9f\x98\x80", "\xe2\x80\x8b"};
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::string> chosen;
    for (int i = static_cast<int>(random() % 8); i > 0; --i) {
      chosen.push_back(pieces[random() % std::size(pieces)]);
    }
    std::string text;
    for (const auto& piece : chosen) text += piece;
    std::size_t first = 0;
    std::size_t last = chosen.size();
    const auto blank = [&](std::size_t i) { return i < 4; };
    while (first < last && blank(std::find(std::begin(pieces), std::end(pieces), chosen[first]) -
                                 std::begin(pieces))) {
      ++first;
    }
    while (last > first && blank(std::find(std::begin(pieces), std::end(pieces), chosen[last - 1]) -
                                 std::begin(pieces))) {
      --last;
    }
    std::string expected;
    for (std::size_t i = first; i < last; ++i) expected += chosen[i];
    EXPECT_EQ(trim(text), expected) << "round " << round;
  }
}

}  // namespace
}  // namespace plinthar::text
