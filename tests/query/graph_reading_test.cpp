#include "plinthar/query/graph_reading.hpp"

#include <cctype>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/scanner/error.hpp"
#include "plinthar/scanner/scan.hpp"
#include "scanned_sample.hpp"
#include "test_util.hpp"

namespace plinthar::query {
namespace {

simdjson::padded_string padded(std::string_view text) {
  return simdjson::padded_string(text.data(), text.size());
}

// A dump that also names each number's kind, since == treats 1 and 1u as equal.
std::string typed_dump(const Json& value) {
  switch (value.type()) {
    case Json::value_t::number_unsigned:
      return "u" + value.dump();
    case Json::value_t::number_integer:
      return "i" + value.dump();
    case Json::value_t::number_float:
      return "f" + value.dump();
    case Json::value_t::array: {
      std::string text = "[";
      for (const Json& element : value) text += typed_dump(element) + ",";
      return text + "]";
    }
    case Json::value_t::object: {
      std::string text = "{";
      for (auto it = value.begin(); it != value.end(); ++it) {
        text += scanner::to_compact(Json(it.key())) + ":" + typed_dump(*it) + ",";
      }
      return text + "}";
    }
    default:
      return scanner::to_compact(value);
  }
}

// The typed dump of a loader's result, or its error message.
template <typename Load>
std::string outcome(Load load) {
  try {
    return typed_dump(load());
  } catch (const Error& error) {
    return std::string("error: ") + error.what();
  }
}

// Written independently of the code under test: every node object loses "content".
Json without_contents(Json graph) {
  if (graph.contains("nodes") && graph["nodes"].is_array()) {
    for (Json& node : graph["nodes"]) {
      if (node.is_object()) node.erase("content");
    }
  }
  return graph;
}

using testing_samples::scanned_tree_text;

struct Case {
  std::string name;
  std::string text;
  bool fast;  // whether the fast reader answers itself
};

std::vector<Case> cases() {
  std::vector<Case> rows = {
      {"scanner output", scanned_tree_text(), true},
      {"nulls and bools", R"({"a": null, "b": true, "c": false, "nodes": []})", true},
      {"white space around", " \n\t{\"a\" : [ 1 , 2 ] }\r\n ", true},
      {"empty map", "{}", true},
      {"floats",
       R"({"f": [1.5, -0.0, 0.0, 1e5, 2.5E-3, 1E+2, 1.7976931348623157e308, 5e-324, 0.1,
           123456789012345678901234567890.5, 0.12345678901234567890123, 1e-320]})",
       true},
      {"float underflow", R"({"f": 1.5e-400})", false},
      {"integers",
       R"({"i": [0, -0, 1, -1, 9223372036854775807, 9223372036854775808,
           18446744073709551615, -9223372036854775808]})",
       true},
      {"integers beyond 64 bits", R"({"i": [18446744073709551616, -9223372036854775809]})", true},
      {"float overflow", R"({"f": 1e400})", false},
      {"nested values",
       R"({"a": {"b": [[], {}, [{"c": [1, {"d": null}]}]]},
           "nodes": [{"id": "x", "meta": {"content": "kept"}, "list": [{"content": "kept"}]}]})",
       true},
      {"duplicate keys",
       R"({"b": 1, "a": 2, "b": {"x": 3}, "nodes": [{"id": "x", "content": "c", "id": "y",
           "content": "d"}], "nodes": [{"id": "z", "content": "e"}]})",
       true},
      {"non-ASCII and escapes",
       R"({"s": "héllo ✓ 😀", "e": "q\"b\\s\/n\nt\tr\rb\bf\f u\u00e9\u2713\ud83d\ude00 \u0000 end",
           "k\u00e9y": 1, "nodes": [{"id": "a", "content": "x\ny \"q\" \u00E9 \ud83d\ude00"}]})",
       true},
      {"escaped content key", R"({"nodes": [{"cont\u0065nt": "x", "id": "a"}]})", true},
      {"non-string contents",
       R"({"nodes": [{"id": 1, "content": [1, {"a": null}]}, "not an object", {"content": 2.5}]})",
       true},
      {"nodes not a list", R"({"nodes": {"content": "x"}, "edges": []})", true},
      {"lone surrogate in a name", R"({"nodes": [{"id": "caf\udce9.py", "content": "x"}]})", false},
      {"lone surrogate in content", R"({"nodes": [{"id": "a", "content": "b\udcff"}]})", false},
      {"lone high surrogate", R"({"s": "\ud800x"})", false},
      {"NUL escape beside a lone surrogate",
       R"({"nodes": [{"id": "a\u0000", "content": "\udcff"}]})", false},
      {"bad escape in content", R"({"nodes": [{"content": "a\x"}]})", false},
      {"bad hex escape in content", R"({"nodes": [{"content": "a\u12G4"}]})", false},
      {"bad list in content", R"({"nodes": [{"content": [1,,2]}]})", false},
      {"bad atom in content", R"({"nodes": [{"content": nul}]})", false},
      {"invalid UTF-8", "{\"a\": \"\xff\"}", false},
      {"invalid UTF-8 in content", "{\"nodes\": [{\"content\": \"\xc3\x28\"}]}", false},
      {"truncated", R"({"a": [1, 2)", false},
      {"trailing comma", R"({"a": 1,})", false},
      {"missing colon", R"({"a" 1})", false},
      {"missing comma", R"({"a": [1 2]})", false},
      {"leading zero", R"({"a": 01})", false},
      {"lone minus", R"({"a": -})", false},
      {"bad atoms", R"({"a": nul, "b": truex})", false},
      {"text after a string", R"({"a": "x"y})", false},
      {"raw tab in a string", "{\"a\": \"x\ty\"}", false},
      {"trailing text", R"({"a": 1} x)", false},
      {"trailing brace", R"({"a": 1}})", false},
      {"second document", R"({"a": 1} {"b": 2})", false},
      {"empty text", "", false},
      {"byte order mark", "\xEF\xBB\xBF{\"a\": 1}", false},
      {"top-level list", "[1, 2]", false},
      {"top-level string", "\"x\"", false},
      {"top-level null", "null", false},
  };
  for (const char* number : {"1.", ".5", "1e", "1e+", "+1", "-01", "0x1", "1.5x", "1.e5", "1e5.5",
                             "Infinity", "NaN", "--1"}) {
    rows.push_back(
        {std::string("bad number ") + number, std::string("{\"a\": [0, ") + number + "]}", false});
  }
  return rows;
}

class GraphReadingCase : public ::testing::TestWithParam<Case> {};

TEST_P(GraphReadingCase, MatchesTheNlohmannPath) {
  const Case& c = GetParam();
  const auto text = padded(c.text);
  const std::string slow = outcome([&] { return parse_graph(c.text, "data/g.json"); });
  EXPECT_EQ(outcome([&] { return read_graph_text(text, "data/g.json", GraphMembers::all); }), slow);
  EXPECT_EQ(parse_graph_fast(text, GraphMembers::all).has_value(), c.fast);

  const std::string slow_without =
      outcome([&] { return without_contents(parse_graph(c.text, "data/g.json")); });
  EXPECT_EQ(
      outcome([&] { return read_graph_text(text, "data/g.json", GraphMembers::without_content); }),
      slow_without);
  EXPECT_EQ(parse_graph_fast(text, GraphMembers::without_content).has_value(), c.fast);
}

INSTANTIATE_TEST_SUITE_P(Texts, GraphReadingCase, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& row) {
                           std::string name;
                           for (const char ch : row.param.name) {
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace plinthar::query
