#include "plinthar/text/json_writer.hpp"

#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/text/json.hpp"

namespace plinthar::text {
namespace {

struct StringCase {
  const char* name;
  std::string text;
  std::string expected;
};

TEST(JsonString, EscapesToPureAscii) {
  const std::vector<StringCase> cases = {
      {"plain and slash", "a/b c~", "\"a/b c~\""},
      {"quote and backslash", "say \"hi\" \\", "\"say \\\"hi\\\" \\\\\""},
      {"short escapes", "\n\r\t\b\f", "\"\\n\\r\\t\\b\\f\""},
      {"other controls", std::string("\x00\x01\x1f", 3), "\"\\u0000\\u0001\\u001f\""},
      {"del", "\x7f", "\"\\u007f\""},
      {"latin", "\xc3\xa9", "\"\\u00e9\""},
      {"bmp lower-case hex", "\xe2\x80\xa8\xef\xbf\xbd", "\"\\u2028\\ufffd\""},
      {"above bmp as surrogate pair", "\xf0\x9f\x98\x80", "\"\\ud83d\\ude00\""},
      {"invalid byte kept as escape", "a\xff", "\"a\\udcff\""},
  };
  for (const auto& c : cases) {
    std::string out;
    write_json_string(c.text, out);
    EXPECT_EQ(out, c.expected) << c.name;
  }
}

// Long strings go eight bytes at a time; strings under eight bytes go one byte at a
// time. A random string must come out as its pieces (each under eight bytes, none
// joining with the next into a new character) escaped one by one.
TEST(JsonString, LongStringsEscapeLikeTheirPieces) {
  const std::vector<std::string> pieces = {"a",
                                           "bcdefgh",
                                           "\"",
                                           "\\",
                                           "\n",
                                           "\x01",
                                           "\x1f",
                                           "\x7f",
                                           " ",
                                           "~",
                                           "/",
                                           "\xc3\xa9",
                                           "\xe2\x82\xac",
                                           "\xf0\x9f\x98\x80",
                                           "\xff",
                                           "\x80",
                                           "!#",
                                           "[]{}",
                                           "\x20\x21",
                                           "\t"};
  std::mt19937 rng(4);
  std::uniform_int_distribution<std::size_t> count(0, 40);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    std::string expected = "\"";
    for (std::size_t n = count(rng); n > 0; --n) {
      const std::string& piece = pieces[pick(rng)];
      text += piece;
      std::string escaped;
      write_json_string(piece, escaped);
      expected += escaped.substr(1, escaped.size() - 2);
    }
    expected += "\"";
    std::string out;
    write_json_string(text, out);
    ASSERT_EQ(out, expected) << "text: \"" << text << "\"";
  }
}

TEST(JsonForms, PrettyLayout) {
  Json value = Json::object();
  value["b"] = 1;
  value["a"] = Json::array({true, "x"});
  value["empty_list"] = Json::array();
  value["empty_map"] = Json::object();
  value["nested"] = Json::object({{"k", -3}});
  EXPECT_EQ(to_pretty(value),
            "{\n"
            "  \"b\": 1,\n"
            "  \"a\": [\n"
            "    true,\n"
            "    \"x\"\n"
            "  ],\n"
            "  \"empty_list\": [],\n"
            "  \"empty_map\": {},\n"
            "  \"nested\": {\n"
            "    \"k\": -3\n"
            "  }\n"
            "}");
  EXPECT_EQ(to_pretty(Json::object()), "{}");
}

TEST(JsonForms, CompactLayout) {
  Json value = Json::object();
  value["id::x"] = Json::object({{"line_start", 4}, {"path", "a\xc3\xa9.py"}});
  value["list"] = Json::array({1, 2});
  EXPECT_EQ(to_compact(value),
            "{\"id::x\": {\"line_start\": 4, \"path\": \"a\\u00e9.py\"}, \"list\": [1, 2]}");
  EXPECT_EQ(to_compact(Json::object()), "{}");
}

TEST(JsonForms, NullAndNumbersRoundTrip) {
  const std::string text =
      R"({"n": null, "f": 1.5, "i": 12345678901234, "u": 18446744073709551615, "z": 0.0})";
  EXPECT_EQ(to_compact(Json::parse(text)),
            R"({"n": null, "f": 1.5, "i": 12345678901234, "u": 18446744073709551615, "z": 0.0})");
}

struct FloatCase {
  double value;
  const char* expected;
};

TEST(JsonFloat, ShortestRoundTripLayout) {
  const std::vector<FloatCase> cases = {
      {1.0, "1.0"},
      {-2.5, "-2.5"},
      {0.1, "0.1"},
      {100.0, "100.0"},
      {1e15, "1000000000000000.0"},
      {1e16, "1e+16"},
      {1.5e300, "1.5e+300"},
      {0.0001, "0.0001"},
      {0.00001, "1e-05"},
      {1.25e-7, "1.25e-07"},
      {123456.789, "123456.789"},
      {std::numeric_limits<double>::infinity(), "Infinity"},
  };
  for (const auto& c : cases) {
    std::string out;
    write_json_float(c.value, out);
    EXPECT_EQ(out, c.expected) << c.value;
  }
}

}  // namespace
}  // namespace plinthar::text

namespace plinthar::text {
namespace {

TEST(JsonForms, ChunkedPrettyFormEqualsTheWholeText) {
  Json value =
      Json::parse(R"({"nodes": [{"id": "a", "content": "x\ny"}, {"id": "b"}], "edges": []})");
  for (std::size_t chunk : {1u, 7u, 1u << 20}) {
    std::string joined;
    std::size_t pieces = 0;
    write_pretty(
        value,
        [&](std::string_view piece) {
          joined += piece;
          ++pieces;
        },
        chunk);
    EXPECT_EQ(joined, to_pretty(value)) << chunk;
    EXPECT_EQ(pieces > 1, chunk < 10) << chunk;
  }
}

}  // namespace
}  // namespace plinthar::text
