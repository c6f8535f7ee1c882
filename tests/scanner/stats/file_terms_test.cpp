#include "plinthar/scanner/stats/file_terms.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/scanner/stats/term_stats_builder.hpp"

namespace plinthar::scanner {
namespace {

using text::Json;

Json file(const std::string& id, const std::string& content) {
  return {{"id", id},     {"kind", "file"},
          {"path", id},   {"content", content},
          {"size", 1234}, {"keywords", Json::array({"OrderTotal", "refund"})}};
}

Json symbol(const std::string& path, const std::string& name) {
  return {{"id", path + "::" + name}, {"kind", "symbol"}, {"path", path}, {"name", name}};
}

// Files counted on a scan's threads and added up give the bytes of adding their nodes
// one by one: for files of the shape a scan gives, and for node lists of other shapes
// (kept whole and added node by node), among them a repeated id whose symbols count for
// both files of that id.
TEST(FileTerms, AddUpToTheStatisticsOfTheNodesOneByOne) {
  const std::vector<std::vector<std::vector<Json>>> graphs = {
      {{file("api/orders.py", "def cancel_order(): pass"), symbol("api/orders.py", "cancel_order")},
       {file("README.md", "# Orders\nversion = '1.0'")}},
      {{file("a.py", "x"), symbol("elsewhere.py", "stray")},    // a symbol of another file
       {symbol("a.py", "before_any_file"), file("b.py", "y")},  // not a file node first
       {file("a.py", "again"), symbol("a.py", "twice")}},       // a repeated id
  };
  for (std::size_t g = 0; g < graphs.size(); ++g) {
    TermStatsBuilder by_node;
    TermStatsBuilder by_file;
    text::WordSplitter splitter;
    for (const auto& nodes : graphs[g]) {
      for (const Json& node : nodes) by_node.add_node(stats_node_of(node));
      by_file.add_file_terms(count_file_terms(nodes, splitter));
    }
    by_node.add_edge("a.py", ".b", "imports");
    by_file.add_edge("a.py", ".b", "imports");
    EXPECT_EQ(by_file.finish(), by_node.finish()) << "graph " << g;
  }
}

}  // namespace
}  // namespace plinthar::scanner
