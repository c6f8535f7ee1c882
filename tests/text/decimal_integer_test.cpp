#include "plinthar/text/decimal_integer.hpp"

#include <cstdint>
#include <optional>

#include <gtest/gtest.h>

namespace plinthar::text {
namespace {

TEST(DecimalInteger, ParsesSignedDecimalTextOnly) {
  struct Row {
    const char* text;
    std::optional<std::int64_t> value;
  };
  const Row rows[] = {
      {"42", 42},
      {" -7\n", -7},
      {"+3", 3},
      {"007", 7},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"0x10", std::nullopt},
      {"1.0", std::nullopt},
      {"1 2", std::nullopt},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"9223372036854775808", std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(parse_decimal_integer(row.text), row.value) << row.text;
  EXPECT_EQ(parse_decimal_integer("99999999999999999999", OutOfRange::SATURATE), INT64_MAX);
  EXPECT_EQ(parse_decimal_integer("-99999999999999999999", OutOfRange::SATURATE), INT64_MIN);
}

}  // namespace
}  // namespace plinthar::text
