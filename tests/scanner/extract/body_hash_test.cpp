#include "plinthar/scanner/extract/body_hash.hpp"

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "plinthar/scanner/extract/symbols_py.hpp"
#include "plinthar/text/lines.hpp"

namespace plinthar::scanner {

namespace {

TEST(BodyHasher, AgreesWithJoiningTheLines) {
  // Texts mixing plain line feeds with other boundaries ("\f", U+2028), where the lines
  // are not one "\n" apart in the text and must be joined.
  const std::string pieces[] = {"a", "bc", "", "\n", "\n", "\f", "\xe2\x80\xa8", " "};
  std::mt19937 random(11);
  for (int round = 0; round < 500; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) text += pieces[random() % std::size(pieces)];
    const auto lines = text::split_lines(text);
    BodyHasher hasher(lines);
    for (int start = -1; start <= static_cast<int>(lines.size()) + 1; ++start) {
      for (int end = start - 1; end <= static_cast<int>(lines.size()) + 1; ++end) {
        EXPECT_EQ(hasher.hash(start, end), _body_hash(lines, start, end))
            << "text of round " << round << ", lines " << start << ".." << end;
      }
    }
  }
}

TEST(BodyHasher, StopsWhenTheBudgetIsSpent) {
  const std::vector<std::string_view> lines = {"12345", "67890"};
  BodyHasher hasher(lines, 8);
  EXPECT_TRUE(hasher.hash(0, 0));   // 5 bytes
  EXPECT_FALSE(hasher.hash(0, 1));  // 11 more would exceed the budget
  EXPECT_FALSE(hasher.hash(1, 1));  // 5 more would too
  EXPECT_TRUE(hasher.hash(1, 0));   // an empty body costs nothing
}

TEST(BodyHasher, HostileFileKeepsTheSymbolsThatFitTheBudget) {
  // "def" alone on its line never closes a block, so every block runs to the end.
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "def\nf" + std::to_string(i) + "():\n";
  const auto symbols = extract_symbols_py(text, "m.py");
  ASSERT_FALSE(symbols.empty());
  EXPECT_LT(symbols.size(), 20000u);
  EXPECT_EQ(symbols.front().name, "f0");
  EXPECT_EQ(symbols.front().line_end, 39999);
}

}  // namespace
}  // namespace plinthar::scanner
