#include "plinthar/text/json_reader.hpp"

#include <string>

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::text {
namespace {

TEST(ParseJson, BytesOfNonUtf8NamesReadBackFromTheirEscapes) {
  const std::string name = "caf\xe9/x\xff.py";
  const Json original = {{name, name}, {"list", {name}}};
  const Json back = parse_json(to_pretty(original));
  EXPECT_EQ(back, original);
  EXPECT_EQ(to_pretty(back), to_pretty(original));
  // A genuine NUL escape beside such an escape is not guessed at.
  EXPECT_THROW(parse_json(R"(["\u0000", "\udcff"])"), Error);
  EXPECT_THROW(parse_json(R"(["\ud800"])"), Error);
}

}  // namespace
}  // namespace plinthar::text
