#include "plinthar/query/graph/graph_loading.hpp"

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
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

}  // namespace
}  // namespace plinthar::query
