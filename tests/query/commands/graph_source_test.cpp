#include "plinthar/query/commands/graph_source.hpp"

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/index/graph_index.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/json_writer.hpp"
#include "test_util.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;
namespace {

class GraphSource : public ::testing::Test {
 protected:
  GraphSource() : root_(dir_ / "proj"), graph_file_(root_ / "tools/crv/data/info_graph.json") {
    dir_.write("proj/app.py", "import os\n");
    dir_.write("proj/tools/crv/data/notes.md", "# Notes\n");
  }
  LoadedGraph load(bool want_stats = false) {
    return graph_for_ranking(graph_file_, root_, false, want_stats);
  }
  std::string error_of(bool want_stats) {
    try {
      load(want_stats);
    } catch (const Error& error) {
      return error.what();
    }
    return "(no error)";
  }

  testing::TempDir dir_;
  fs::path root_;
  fs::path graph_file_;
  fs::path index_file_ = index::graph_index_path(graph_file_);
};

TEST_F(GraphSource, FirstUseScansTheRootAndWritesThePrettyFileThenReadsIt) {
  const LoadedGraph graph = load();
  const std::string written = testing::read_text(graph_file_);
  EXPECT_EQ(written, text::to_pretty(scanner::scan(root_, {}, {graph_file_})));
  EXPECT_EQ(graph.records().nodes.size(), 2u);
  EXPECT_TRUE(graph.index());

  dir_.write("proj/later.py", "import sys\n");
  EXPECT_EQ(load().records().nodes.size(), 2u);
  EXPECT_EQ(testing::read_text(graph_file_), written);
}

// A graph read from its text leaves its index for the next call; statistics built for
// a ranking that needs them are added to it, and read from it afterwards.
TEST_F(GraphSource, WritesWhatTheNextCallWouldMakeAgain) {
  dir_.write("proj/tools/crv/data/info_graph.json",
             text::to_pretty(scanner::scan(root_, {}, {graph_file_})));
  EXPECT_FALSE(load().index());
  EXPECT_TRUE(fs::exists(index_file_));
  const LoadedGraph built = load(true);
  ASSERT_TRUE(built.index() && built.built_term_stats());
  const LoadedGraph read = load(true);
  ASSERT_TRUE(read.index() && read.term_stats());
  EXPECT_FALSE(read.built_term_stats());
  EXPECT_EQ(read.term_stats()->file_count(), 2u);
}

// A malformed node or edge used to give only the type error; the message now names the
// file and where the member stands, and keeps the type error at its end.
TEST_F(GraphSource, MalformedMembersAreReportedWithTheirPlace) {
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
    fs::remove(index_file_);
    for (const bool want_stats : {false, true}) {
      EXPECT_EQ(error_of(want_stats), "cannot parse " + graph_file_.string() + ": " + bad.place);
    }
  }
}

TEST_F(GraphSource, TextThatIsNoGraphMapGivesTheReason) {
  for (const auto& [text, reason] :
       {std::pair<std::string, std::string>{"[1]", "Expected dict, got list"},
        {"{\"nodes\": ", "cannot parse " + graph_file_.string() + ": parse error"}}) {
    dir_.write("proj/tools/crv/data/info_graph.json", text);
    for (const bool want_stats : {false, true}) {
      EXPECT_TRUE(error_of(want_stats).starts_with(reason)) << text << ": " << error_of(want_stats);
    }
  }
}

}  // namespace
}  // namespace plinthar::query
