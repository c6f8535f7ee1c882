#include "plinthar/scanner/scan.hpp"

#include <string>

#include <gtest/gtest.h>

#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"
#include "plinthar/text/short_hash.hpp"
#include "test_util.hpp"

namespace plinthar::scanner {

namespace {

const text::Json* find_node(const text::Json& graph, const std::string& id) {
  for (const text::Json& node : graph["nodes"]) {
    if (node["id"] == id) return &node;
  }
  return nullptr;
}

TEST(AppendSymbolNodes, MovingFormGivesTheSameNodesAndEdges) {
  const std::vector<SymbolRecord> records = _extract_symbols_for_file(
      "def handle_order_request():\n    pass\n\nclass Order:\n    x = 1\n", "shop/orders.py",
      ".py");
  ASSERT_EQ(records.size(), 2u);
  std::vector<Node> copied_nodes;
  std::vector<Edge> copied_edges;
  _append_symbol_nodes(copied_nodes, copied_edges, records, "shop/orders.py", ".py");
  std::vector<Node> moved_nodes;
  std::vector<Edge> moved_edges;
  std::vector<SymbolRecord> taken = records;
  _append_symbol_nodes(moved_nodes, moved_edges, std::move(taken), "shop/orders.py", ".py");
  ASSERT_EQ(moved_nodes.size(), copied_nodes.size());
  for (std::size_t i = 0; i < copied_nodes.size(); ++i) {
    EXPECT_EQ(text::to_pretty(as_dict(moved_nodes[i])), text::to_pretty(as_dict(copied_nodes[i])));
  }
  EXPECT_EQ(moved_edges, copied_edges);
  EXPECT_EQ(copied_edges[0],
            (Edge{"shop/orders.py", "shop/orders.py::handle_order_request", "contains"}));
}

TEST(Scan, SizeLimitIsInclusive) {
  testing::TempDir dir;
  dir.write("exact.md", std::string(MAX_FILE_BYTES, 'a'));
  dir.write("over.md", std::string(MAX_FILE_BYTES + 1, 'a'));
  const text::Json graph = scan(dir.path());
  EXPECT_EQ(graph["file_count"], 1);
  ASSERT_NE(find_node(graph, "exact.md"), nullptr);
  EXPECT_EQ((*find_node(graph, "exact.md"))["size"], MAX_FILE_BYTES);
  EXPECT_EQ((*find_node(graph, "exact.md"))["content"].get<std::string>().size(),
            MAX_CONTENT_CHARS);
}

TEST(Scan, ContentCountsCodePointsAndDecodingNormalises) {
  testing::TempDir dir;
  std::string text;
  for (std::size_t i = 0; i < MAX_CONTENT_CHARS + 10; ++i) text += "\xc3\xa9";
  dir.write("wide.md", text);
  dir.write("crlf.py", "x = 1\r\ny = 2\r\n");
  dir.write("lf.py", "x = 1\ny = 2\n");
  dir.write("bad.md",
            "ab\xff"
            "cd");
  const text::Json graph = scan(dir.path());
  const std::string content = (*find_node(graph, "wide.md"))["content"];
  EXPECT_EQ(content.size(), 2 * MAX_CONTENT_CHARS);
  EXPECT_EQ((*find_node(graph, "crlf.py"))["file_hash"], (*find_node(graph, "lf.py"))["file_hash"]);
  EXPECT_EQ((*find_node(graph, "crlf.py"))["content"], "x = 1\ny = 2\n");
  EXPECT_EQ((*find_node(graph, "crlf.py"))["size"], 14);  // bytes on disk
  EXPECT_EQ((*find_node(graph, "bad.md"))["content"], "abcd");
  EXPECT_EQ((*find_node(graph, "bad.md"))["file_hash"], text::short_hash("abcd"));
}

TEST(Scan, GraphMapMembersAndCounts) {
  testing::TempDir dir;
  dir.write("a.go", "package a\n");
  const text::Json graph = scan(dir.path());
  std::vector<std::string> keys;
  for (auto it = graph.begin(); it != graph.end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"root", "node_count", "edge_count", "file_count",
                                            "symbol_count", "nodes", "edges"}));
  EXPECT_EQ(graph["root"], dir.path().string());
  EXPECT_EQ(graph["node_count"], 1);
  EXPECT_EQ(graph["file_count"], 1);
  EXPECT_EQ(graph["symbol_count"], 0);
}

TEST(Scan, MissingRootGivesAnEmptyGraph) {
  testing::TempDir dir;
  const text::Json graph = scan(dir / "nope");
  EXPECT_EQ(graph["node_count"], 0);
  EXPECT_EQ(text::to_pretty(graph["nodes"]), "[]");
  EXPECT_EQ(text::to_pretty(graph["edges"]), "[]");
}

TEST(Scan, ReusesStoredMembersWhenTheHashIsUnchanged) {
  testing::TempDir dir;
  dir.write("same.md", "hello\n");
  dir.write("edited.md", "new text\n");
  ExistingNodes existing;
  existing["same.md"] = text::Json::parse(R"({"id": "same.md", "kind": "file", "keywords": ["kept"],
      "content": "stored content", "summary": "stored summary", "file_hash": ")" +
                                          text::short_hash("hello\n") + R"("})");
  existing["edited.md"] =
      text::Json::parse(R"({"id": "edited.md", "kind": "file", "keywords": ["old"],
      "content": "old", "summary": "old", "file_hash": "00000000"})");
  const text::Json graph = scan(dir.path(), existing);
  const text::Json& same = *find_node(graph, "same.md");
  EXPECT_EQ(same["keywords"], text::Json::array({"kept"}));
  EXPECT_EQ(same["content"], "stored content");
  EXPECT_EQ(same["summary"], "stored summary");
  EXPECT_EQ(same["path"], "same.md");  // absent member falls back to the file id
  EXPECT_EQ(same["size"], 6);
  const text::Json& edited = *find_node(graph, "edited.md");
  EXPECT_EQ(edited["content"], "new text\n");
  EXPECT_EQ(edited["file_hash"], text::short_hash("new text\n"));
}

TEST(Scan, LeavesOutExcludedFiles) {
  testing::TempDir dir;
  dir.write("a.md", "a");
  const auto out = dir.write("data/info_graph.json", "{}");
  const text::Json graph = scan(dir.path(), {}, {out});
  EXPECT_EQ(graph["file_count"], 1);
  EXPECT_EQ(find_node(graph, "data/info_graph.json"), nullptr);
}

}  // namespace
}  // namespace plinthar::scanner
