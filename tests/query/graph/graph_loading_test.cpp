#include "plinthar/query/graph/graph_loading.hpp"

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/query/graph/term_stats_loading.hpp"
#include "plinthar/scanner/index/graph_index.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/json_writer.hpp"
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

class GraphLoading : public ::testing::Test {
 protected:
  GraphLoading() : root_(dir_ / "proj"), graph_file_(root_ / "tools/crv/data/info_graph.json") {
    dir_.write("proj/app.py", "import os\n");
    dir_.write("proj/tools/crv/data/notes.md", "# Notes\n");
  }
  testing::TempDir dir_;
  fs::path root_;
  fs::path graph_file_;
};

TEST_F(GraphLoading, FirstUseScansTheRootAndWritesThePrettyFileThenReadsIt) {
  const LoadedGraph graph = load_graph(graph_file_, root_);
  const std::string written = testing::read_text(graph_file_);
  EXPECT_EQ(written, text::to_pretty(scanner::scan(root_, {}, {graph_file_})));
  EXPECT_EQ(graph.records().nodes.size(), 2u);

  dir_.write("proj/later.py", "import sys\n");
  EXPECT_EQ(load_graph(graph_file_, root_).records().nodes.size(), 2u);
  EXPECT_EQ(testing::read_text(graph_file_), written);
}

// A malformed node or edge used to give only the type error; the message now names the
// file and where the member stands, and keeps the type error at its end.
TEST_F(GraphLoading, MalformedMembersAreReportedWithTheirPlace) {
  const struct {
    std::string graph;
    std::string place;
  } cases[] = {
      {R"({"nodes": [{"id": "a.py"}, {"id": "b.py", "keywords": ["x", 1]}]})",
       R"(node 1 ("b.py"): member "keywords": Expected str, got int)"},
      {R"({"nodes": [{"id": 7, "keywords": "x"}]})",
       R"(node 0: member "keywords": Expected list, got str)"},
      {R"({"nodes": [{}, {}, {"id": "c\"d", "summary": [1]}]})",
       R"(node 2 ("c\"d"): member "summary": Expected str, got list)"},
      {R"({"nodes": [{"id": "a"}, 5]})", "node 1: graph node is not an object"},
      {R"({"nodes": [], "edges": [{"from": "a"}, []]})", "edge 1: graph edge is not an object"},
  };
  for (const auto& bad : cases) {
    dir_.write("proj/tools/crv/data/info_graph.json", bad.graph);
    fs::remove(scanner::index_path_for(graph_file_));
    try {
      load_graph(graph_file_, root_);
      ADD_FAILURE() << bad.graph << " loaded";
    } catch (const Error& error) {
      EXPECT_EQ(error.what(), "cannot parse " + graph_file_.string() + ": " + bad.place);
    }
  }
}

// Term statistics are built from the graph file when the index holds none; a file that
// no longer holds a graph then gave "cannot parse PATH" and no reason.
TEST_F(GraphLoading, TermStatisticsOfAFileThatIsNoLongerAGraphGiveTheReason) {
  dir_.write("proj/tools/crv/data/info_graph.json", R"({"nodes": [{"id": "a.py"}]})");
  const LoadedGraph graph = load_graph(graph_file_, root_);
  for (const auto& [text, reason] :
       {std::pair<std::string, std::string>{"[1]", "Expected dict, got list"},
        {"{\"nodes\": ", "parse error"}}) {
    dir_.write("proj/tools/crv/data/info_graph.json", text);
    try {
      load_term_stats(graph, graph_file_);
      ADD_FAILURE() << text << " read";
    } catch (const Error& error) {
      EXPECT_TRUE(std::string(error.what())
                      .starts_with("cannot parse " + graph_file_.string() + ": " + reason))
          << error.what();
    }
  }
}

}  // namespace
}  // namespace plinthar::query
