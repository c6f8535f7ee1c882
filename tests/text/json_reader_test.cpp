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
  EXPECT_THROW(parse_json(R"(["\ud800"])"), Error);
}

// A file whose name is not UTF-8 and a text holding a NUL made one graph that crv could
// not read back: the NUL escape stopped the bytes' escapes from being read.
TEST(ParseJson, NulEscapesBesideEscapedBytesReadBack) {
  using namespace std::string_literals;
  const Json expected = {"\0"s, "\xff"s, "\0\xc3\xa9\xe9"s, "\0\0"s, "\0\xc2\x80"s};
  EXPECT_EQ(parse_json(R"(["\u0000", "\udcff", "\u0000\u00e9\udce9", "\u0000\u0000",)"
                       R"( "\u0000\u0080"])"),
            expected);
  EXPECT_EQ(parse_json(to_compact(expected)), expected);
  const std::string name = "caf\xe9.md";
  const Json node = {{"id", name}, {"content", "a\0b\0\xc3\xa9"s}};
  EXPECT_EQ(parse_json(to_pretty(node)), node);
}

std::string nested_lists(std::size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

TEST(NestsDeeperThan, CountsOpenBracketsOutsideStrings) {
  const struct {
    const char* name;
    std::string text;
    std::size_t depth;  // the deepest nesting
  } cases[] = {
      {"scalar", "3", 0},
      {"empty map", "{}", 1},
      {"siblings", "[[], {}, [[]]]", 3},
      {"brackets in strings", R"(["[[[", "\"{{{", "\\"])", 1},
      {"escaped quote keeps the string open", R"(["\"[[["])", 1},
      {"unbalanced closers", "]]]}[", 1},
      {"unclosed", "[[[", 3},
      {"deep", nested_lists(5000), 5000},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(c.depth == 0 || nests_deeper_than(c.text, c.depth - 1)) << c.name;
    EXPECT_FALSE(nests_deeper_than(c.text, c.depth)) << c.name;
  }
}

// Deeper text would run the recursive writers and copies out of stack.
TEST(ParseJson, RefusesTextNestedDeeperThanTheLimit) {
  const std::string at_limit = "{\"a\": " + nested_lists(MAX_JSON_DEPTH - 1) + "}";
  const Json value = parse_json(at_limit);
  EXPECT_EQ(to_compact(value).size(), at_limit.size());
  EXPECT_THROW(parse_json("{\"a\": " + nested_lists(MAX_JSON_DEPTH) + "}"), Error);
  EXPECT_THROW(parse_json(nested_lists(1000000)), Error);
  EXPECT_FALSE(try_parse_json(nested_lists(MAX_JSON_DEPTH + 1)));
  // The lone-surrogate path recurses too.
  EXPECT_TRUE(try_parse_json("[" + nested_lists(MAX_JSON_DEPTH - 2) + R"(, "\udcff"])"));
}

}  // namespace
}  // namespace plinthar::text
