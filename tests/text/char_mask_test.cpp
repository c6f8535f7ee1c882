#include "plinthar/text/char_mask.hpp"

#include <random>
#include <string>

#include <gtest/gtest.h>

namespace plinthar::text {
namespace {

TEST(CharMask, NeverRulesOutARealMatch) {
  std::mt19937 random(3);
  const std::string alphabet = "ab/_.\x7f\xc3\xa9 Z0";
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    std::string part;
    for (int i = static_cast<int>(random() % 12); i > 0; --i)
      text += alphabet[random() % alphabet.size()];
    for (int i = static_cast<int>(random() % 4); i > 0; --i)
      part += alphabet[random() % alphabet.size()];
    const bool found = text.find(part) != std::string::npos;
    ASSERT_EQ(MaskedText(text).contains(MaskedText(part)), found) << text << " / " << part;
  }
}

}  // namespace
}  // namespace plinthar::text
