#include "plinthar/scanner/text.hpp"

#include <gtest/gtest.h>

namespace plinthar::scanner {
namespace {

TEST(DecodeText, DropsInvalidBytesAndNormalisesLineEnds) {
  EXPECT_EQ(decode_text("a\r\nb\rc\n"), "a\nb\nc\n");
}

}  // namespace
}  // namespace plinthar::scanner
