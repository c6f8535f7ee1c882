#include "plinthar/query/graph/loaded_graph.hpp"

#include <string>

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/text/file_status.hpp"
#include "test_util.hpp"

namespace plinthar::query {
namespace {

namespace fs = std::filesystem;

class LoadedGraphTest : public ::testing::Test {
 protected:
  LoadedGraphTest() {
    dir_.write("proj/api/orders.py", "from .db import session\n\ndef create_order():\n    pass\n");
    dir_.write("proj/api/db.py", "session = None\n");
    scanner::write_graph_file(dir_ / "proj", graph_, {}, {});
  }

  OpenGraphFile open() const { return *open_graph_file(graph_); }
  std::optional<index::GraphIndex> index_of(const OpenGraphFile& file) const {
    return index::GraphIndex::open(index::graph_index_path(graph_), file.fd->get());
  }

  testing::TempDir dir_;
  fs::path graph_ = dir_ / "info_graph.json";
};

TEST_F(LoadedGraphTest, RecordsFromTheIndexAndStatisticsBuiltFromTheText) {
  const OpenGraphFile file = open();
  const LoadedGraph graph = read_graph(file, index_of(file), true);
  ASSERT_TRUE(graph.index());
  EXPECT_EQ(graph.records().nodes.size(), 3u);  // two files and a symbol
  ASSERT_TRUE(graph.term_stats() && graph.built_term_stats());
  EXPECT_EQ(graph.term_stats()->file_count(), 2u);
  EXPECT_FALSE(graph.text_identity());  // the index stands: nothing to write but the statistics
  EXPECT_EQ(graph.records().node_value(0)["id"], "api/db.py");
}

TEST_F(LoadedGraphTest, RecordsFromTheTextCarryTheIdentityOfWhatWasRead) {
  const OpenGraphFile file = open();
  const LoadedGraph graph = read_graph(file, std::nullopt, false);
  EXPECT_FALSE(graph.index());
  EXPECT_FALSE(graph.term_stats());
  ASSERT_TRUE(graph.text_identity());
  EXPECT_EQ(graph.text_identity()->file, *text::file_status(file.fd->get()));
  // A hand-made graph the walker cannot vouch for is read by the general parser: its
  // records know no spans, so no index can be written for it.
  dir_.write("info_graph.json", R"({"nodes": [{"id": "a.py", "kind": "file", "size": "3"}]})");
  const LoadedGraph general = read_graph(open(), std::nullopt, true);
  EXPECT_FALSE(general.text_identity());
  EXPECT_EQ(general.records().nodes.size(), 1u);
  EXPECT_EQ(general.term_stats()->size(0), 3);
}

TEST_F(LoadedGraphTest, TheRootAsRecordedAndNoFileAsNothing) {
  EXPECT_EQ(recorded_root(open()), text::resolve_path(dir_ / "proj"));
  EXPECT_FALSE(open_graph_file(dir_ / "missing.json"));
}

}  // namespace
}  // namespace plinthar::query
