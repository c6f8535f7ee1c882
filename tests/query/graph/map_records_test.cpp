#include "plinthar/query/graph/map_records.hpp"

#include <string>

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::query {
namespace {

std::string error_of(std::string_view bytes) {
  try {
    parse_graph(bytes, "data/info_graph.json");
  } catch (const Error& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(ParseGraph, RejectsWhatIsNotAGraphMap) {
  EXPECT_EQ(error_of("[1, 2]"), "Expected dict, got list");
  EXPECT_EQ(error_of("\"x\""), "Expected dict, got str");
  EXPECT_EQ(error_of("3"), "Expected dict, got int");
  EXPECT_EQ(error_of("2.5"), "Expected dict, got float");
  EXPECT_EQ(error_of("null"), "Expected dict, got NoneType");
  EXPECT_EQ(error_of("{\"a\": \"\xff\"}"), "data/info_graph.json is not valid UTF-8");
  EXPECT_TRUE(error_of("{\"a\": ").starts_with("cannot parse data/info_graph.json: parse error"));
  EXPECT_EQ(parse_graph("{\"b\": 1, \"a\": 2}", "g").dump(), "{\"b\":1,\"a\":2}");
}

// Hand-made graphs keep what they hold: members of other types than the scanner writes
// read as empty for the statistics, and a root that is not text is no root.
TEST(WalkGraphMap, FeedsTheStatisticsAndTheRootLeniently) {
  const Json graph = text::parse_json(
      R"({"root": "/p", "nodes": [{"id": "a.py", "kind": "file", "size": "12", "content": 3},)"
      R"( 7], "edges": [{"from": "a.py", "to": "b", "rel": "imports"}, "x"]})");
  scanner::TermStatsBuilder built;
  std::optional<std::string> root;
  index::GraphRecords records;
  walk_graph_map(graph, {nullptr, &built, &root});
  EXPECT_EQ(root, "/p");
  scanner::TermStatsBuilder expected;
  expected.add_node({"a.py", "file", "", "", "", 12, {}});
  expected.add_node({});
  expected.add_edge("a.py", "b", "imports");
  expected.add_edge("", "", "");
  EXPECT_EQ(built.finish(), expected.finish());
  std::optional<std::string> no_root;
  walk_graph_map(text::parse_json(R"({"root": 5})"), {nullptr, nullptr, &no_root});
  EXPECT_FALSE(no_root);
}

}  // namespace
}  // namespace plinthar::query
