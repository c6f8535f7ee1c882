#include "plinthar/query/graph_loading.hpp"

#include <gtest/gtest.h>

#include "plinthar/query/json_text.hpp"
#include "plinthar/scanner/error.hpp"
#include "test_util.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;
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

TEST(ParseJson, BytesOfNonUtf8NamesReadBackFromTheirEscapes) {
  const std::string name = "caf\xe9/x\xff.py";
  const Json original = {{name, name}, {"list", {name}}};
  const Json back = parse_json(scanner::to_pretty(original));
  EXPECT_EQ(back, original);
  EXPECT_EQ(scanner::to_pretty(back), scanner::to_pretty(original));
  // A genuine NUL escape beside such an escape is not guessed at.
  EXPECT_THROW(parse_json(R"(["\u0000", "\udcff"])"), Json::exception);
  EXPECT_THROW(parse_json(R"(["\ud800"])"), Json::exception);
}

class GraphLoading : public ::testing::Test {
 protected:
  GraphLoading()
      : root_(dir_ / "proj"),
        locations_(compute_locations(dir_ / "proj/tools/crv",
                                     [this](std::string_view name) -> std::optional<std::string> {
                                       if (name == "CORVEL_PROJECT_ROOT") return root_.string();
                                       return std::nullopt;
                                     })) {
    dir_.write("proj/app.py", "import os\n");
    dir_.write("proj/tools/crv/data/notes.md", "# Notes\n");
  }
  testing::TempDir dir_;
  fs::path root_;
  Locations locations_;
};

TEST_F(GraphLoading, FirstUseScansTheDefaultRootAndWritesThePrettyFile) {
  const Json graph = load_graph(locations_);
  EXPECT_EQ(testing::read_text(locations_.graph_json), scanner::to_pretty(graph));
  EXPECT_EQ(graph["node_count"], 2);
  EXPECT_EQ(load_graph(locations_), graph);
}

TEST_F(GraphLoading, TheGraphFileInsideTheTreeNeverFeedsTheNextScan) {
  const Json first = load_graph(locations_);
  const Json second = scan_project(root_, locations_.graph_json, locations_);
  EXPECT_EQ(second, first);
  for (const Json& node : second["nodes"]) EXPECT_NE(node["id"], "tools/crv/data/info_graph.json");
}

}  // namespace
}  // namespace plinthar::query
