#include "plinthar/query/commands/graph_source.hpp"

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/index/graph_index.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/file_io.hpp"
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
    return graph_for_ranking({graph_file_, root_, false}, false, want_stats);
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

// A reader works from the descriptor it opened: a graph file replaced meanwhile neither
// mixes into what it reads nor gets an index of what was read before.
TEST_F(GraphSource, AGraphReplacedWhileReadIsNeitherMixedInNorIndexed) {
  load();
  dir_.write("proj/more.py", "import re\n");
  const auto old_file = open_graph_file(graph_file_);
  auto old_index = index::GraphIndex::open(index_file_, old_file->fd->get());
  ASSERT_TRUE(old_index);
  const fs::path replacement = dir_ / "replacement.json";
  dir_.write("replacement.json", text::to_pretty(scanner::scan(root_, {}, {graph_file_})));
  fs::rename(replacement, graph_file_);
  const LoadedGraph read = read_for_ranking({*old_file, std::move(old_index)}, true);
  EXPECT_EQ(read.records().nodes.size(), 2u);
  EXPECT_EQ(read.term_stats()->file_count(), 2u);
  const auto now = open_graph_file(graph_file_);
  const auto index = index::GraphIndex::open(index_file_, now->fd->get());
  EXPECT_FALSE(index) << "an index of the old graph stands beside the new one";
  EXPECT_EQ(load(true).term_stats()->file_count(), 3u);
}

// The project of an installed crv may ship a graph recording another root; a refresh
// scans the project, never the root the graph names.
TEST_F(GraphSource, AFixedRootIsScannedWhateverTheGraphRecords) {
  dir_.write("elsewhere/secret.py", "TOKEN = 1\n");
  const auto foreign = text::to_pretty(scanner::scan(text::resolve_path(dir_ / "elsewhere")));
  for (const bool with_index : {false, true}) {
    dir_.write("proj/tools/crv/data/info_graph.json", foreign);
    fs::remove(index_file_);
    if (with_index) graph_for_ranking({graph_file_, dir_ / "elsewhere", false}, true, false);
    const LoadedGraph graph = graph_for_ranking({graph_file_, root_, true}, true, false);
    ASSERT_EQ(graph.records().nodes.size(), 2u) << with_index;
    EXPECT_EQ(graph.records().nodes[0].id.text, "app.py");
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
