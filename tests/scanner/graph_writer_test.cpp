#include "plinthar/scanner/graph_writer.hpp"

#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"
#include "test_util.hpp"

namespace plinthar::scanner {

namespace {

// The map as scan() lays it out, from the same parts.
text::Json graph_map(std::string_view root, const text::Json& nodes, std::int64_t symbol_count,
                     const std::vector<Edge>& edges) {
  text::Json graph = text::Json::object();
  graph["root"] = std::string(root);
  graph["node_count"] = nodes.size();
  graph["edge_count"] = edges.size();
  graph["file_count"] = static_cast<std::int64_t>(nodes.size()) - symbol_count;
  graph["symbol_count"] = symbol_count;
  graph["nodes"] = nodes;
  text::Json edge_list = text::Json::array();
  for (const Edge& edge : edges) edge_list.push_back(to_json(edge));
  graph["edges"] = std::move(edge_list);
  return graph;
}

// `prefix` followed by the digits of `number`.
std::string numbered(char prefix, int number) {
  std::string out(1, prefix);
  out += std::to_string(number);
  return out;
}

std::string written(const GraphText& text, std::string_view root, std::int64_t symbol_count,
                    const std::vector<Edge>& edges) {
  std::string out;
  text.write(root, symbol_count, edges, [&out](std::string_view piece) { out += piece; });
  return out;
}

TEST(GraphText, EmptyListsAsInThePrettyForm) {
  const GraphText text;
  EXPECT_EQ(written(text, "/r", 0, {}),
            text::to_pretty(graph_map("/r", text::Json::array(), 0, {})));
  const std::vector<Edge> edges = {{"a.py", "os", "imports"}};
  EXPECT_EQ(written(text, "/r", 0, edges),
            text::to_pretty(graph_map("/r", text::Json::array(), 0, edges)));
}

// Random nodes (nested values, empty members, non-ASCII text) and edges, enough of them
// to fill several chunks, must come out as the pretty form of the whole map, whether the
// full chunks stay in memory or go to a file.
TEST(GraphText, SameAsThePrettyFormOfTheWholeMap) {
  std::mt19937 rng(17);
  std::uniform_int_distribution<int> pick(0, 5);
  const std::vector<text::Json> values = {"",
                                          "caf\u00e9 \"quoted\"\n",
                                          42,
                                          -7,
                                          true,
                                          text::Json::array(),
                                          text::Json::array({"x", 1}),
                                          text::Json::object(),
                                          nullptr,
                                          std::string(3000, 'w')};
  std::uniform_int_distribution<std::size_t> value(0, values.size() - 1);
  const testing::TempDir spill_folder;
  for (const auto& [count, spilled] :
       {std::pair{1, false}, {2, true}, {3000, false}, {3000, true}}) {
    GraphText text = spilled ? GraphText(spill_folder.path()) : GraphText();
    text::Json nodes = text::Json::array();
    std::int64_t symbols = 0;
    for (int i = 0; i < count; ++i) {
      text::Json node = text::Json::object();
      node["id"] = numbered('n', i);
      node["kind"] = pick(rng) == 0 ? "symbol" : "file";
      if (node["kind"] == "symbol") ++symbols;
      for (int m = pick(rng); m > 0; --m) node[numbered('m', m)] = values[value(rng)];
      text.add_node(node);
      nodes.push_back(std::move(node));
    }
    std::vector<Edge> edges;
    for (int i = pick(rng) * count; i > 0; --i) {
      edges.push_back({numbered('n', i), "\u00fc/x.py", i % 2 == 0 ? "imports" : "contains"});
    }
    ASSERT_EQ(written(text, "proj/d\u00e9j\u00e0", symbols, edges),
              text::to_pretty(graph_map("proj/d\u00e9j\u00e0", nodes, symbols, edges)))
        << count << (spilled ? " spilled" : "");
  }
}

// The nodes handed out by scan_nodes, written as they come, give what scan() gives.
TEST(GraphText, StreamedScanEqualsTheScanMap) {
  testing::TempDir dir;
  dir.write("proj/app.py",
            "\"\"\"Orders service.\"\"\"\nimport os\nfrom a.b import c\n\n"
            "def handle_order():\n    return 1\n\nclass Order:\n    pass\n");
  dir.write("proj/web/page.tsx",
            "import x from './y';\nexport function Page() {\n  return 1;\n}\n");
  dir.write("proj/docs/readme.md", "See docs/setup.md and app.py\n");
  dir.write("proj/data.json", "{\"a\": 1}\n");
  const auto root = dir / "proj";
  GraphText text;
  const ScanTotals totals =
      scan_nodes(root, {}, {}, [&text](text::Json&& node) { text.add_node(node); });
  EXPECT_EQ(written(text, root.string(), totals.symbol_count, totals.edges),
            text::to_pretty(scan(root)));
  EXPECT_GT(totals.symbol_count, 0);
  EXPECT_FALSE(totals.edges.empty());
}

// The index is stamped with the identity of the bytes its writer wrote, taken from the
// writer's own descriptor: a graph file of the same size put in its place since is not
// taken for the one indexed.
TEST(WriteIndexBeside, StampsTheBytesWrittenNotWhatHasTheNameNow) {
  const testing::TempDir dir;
  const auto out = dir / "info_graph.json";
  const WrittenGraph written =
      write_graph_text(out, [](const text::TextSink& emit) { emit(R"({"nodes": []})"); });
  ASSERT_TRUE(written.status);
  EXPECT_EQ(written.size, 13u);
  dir.write("other.json", R"({"edges": []})");
  std::filesystem::rename(dir / "other.json", out);
  index::GraphRecords records;
  write_index_beside(out, records, written, {});
  const text::FileDescriptor now(::open(out.c_str(), O_RDONLY));
  EXPECT_FALSE(index::GraphIndex::open(dir / "info_graph.index", now.get()));
}

}  // namespace
}  // namespace plinthar::scanner
