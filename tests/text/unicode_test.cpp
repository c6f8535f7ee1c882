#include "plinthar/text/unicode.hpp"

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

namespace plinthar::text {
namespace {

TEST(CaseMapping, UsesFullUnicodeMappings) {
  EXPECT_EQ(to_lower("HeLLo_World"), "hello_world");
  EXPECT_EQ(to_lower("\xc3\x89T\xc3\x89"), "\xc3\xa9t\xc3\xa9");  // ÉTÉ -> été
  EXPECT_EQ(to_lower("\xc4\xb0"), "i\xcc\x87");                   // İ -> i + dot above
  EXPECT_EQ(to_lower("\xce\x9f\xce\xa3"), "\xce\xbf\xcf\x82");    // ΟΣ -> ος (final sigma)
  EXPECT_EQ(to_upper("stra\xc3\x9f"
                     "e"),
            "STRASSE");  // ß -> SS
}

TEST(Lowered, EqualsFullLowerCasingAndCopiesOnlyWhenNeeded) {
  std::string buffer;
  for (const std::string text :
       {"", "already/lower_case.py", "Mixed/Case.TSX", "ÉCOLE/Straße", "İstanbul", "a\xc3\xa9"}) {
    const std::string_view result = lowered(text, buffer);
    EXPECT_EQ(result, to_lower(text)) << text;
    const bool ascii_lower = std::none_of(text.begin(), text.end(), [](char c) {
      return (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
    });
    if (ascii_lower) {
      EXPECT_EQ(result.data(), text.data()) << text;
    }
  }
}

}  // namespace
}  // namespace plinthar::text
