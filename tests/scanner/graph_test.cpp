#include "plinthar/scanner/graph.hpp"

#include <filesystem>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/scanner/extract/body_hash.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"
#include "plinthar/text/short_hash.hpp"
#include "test_util.hpp"

namespace plinthar::scanner {

namespace {
namespace fs = std::filesystem;

std::vector<std::string> keys_of(const text::Json& map) {
  std::vector<std::string> keys;
  for (auto it = map.begin(); it != map.end(); ++it) keys.push_back(it.key());
  return keys;
}

TEST(AsDict, FileAndSymbolNodesHaveTheirOwnMembers) {
  Node file;
  file.kind = "file";
  EXPECT_EQ(keys_of(as_dict(file)),
            (std::vector<std::string>{"id", "kind", "path", "ext", "size", "keywords", "content",
                                      "summary", "file_hash"}));
  Node symbol;
  symbol.kind = "symbol";
  symbol.exported = true;
  const text::Json map = as_dict(symbol);
  EXPECT_EQ(keys_of(map), (std::vector<std::string>{"id", "kind", "path", "ext", "size", "keywords",
                                                    "symbol_type", "name", "line_start", "line_end",
                                                    "body_hash", "confidence", "exported"}));
  EXPECT_EQ(map["exported"], true);
}

TEST(DedupeEdges, KeepsFirstOccurrenceInOrder) {
  const std::vector<Edge> edges = {
      {"a", "b", "imports"}, {"a", "c", "imports"}, {"a", "b", "imports"}, {"a", "b", "requires"}};
  EXPECT_EQ(
      dedupe_edges(edges),
      (std::vector<Edge>{{"a", "b", "imports"}, {"a", "c", "imports"}, {"a", "b", "requires"}}));
}

// The moving forms must give what the copying forms give, value for value.
TEST(AsDict, MovingFormGivesTheSameMap) {
  Node file;
  file.id = file.path = "src/a_long_enough_name_to_live_on_the_heap.py";
  file.kind = "file";
  file.ext = ".py";
  file.size = 123;
  file.keywords = {"alpha", "a_keyword_longer_than_the_small_string_buffer"};
  file.content = std::string(5000, 'x');
  file.summary = "Handles things.";
  file.file_hash = "0123abcd";
  Node symbol;
  symbol.id = "src/a.py::handler";
  symbol.kind = "symbol";
  symbol.path = "src/a.py";
  symbol.ext = ".py";
  symbol.size = 4;
  symbol.keywords = {"handler"};
  symbol.symbol_type = "api_route";
  symbol.name = "handler";
  symbol.line_start = 3;
  symbol.line_end = 6;
  symbol.body_hash = "feedbeef";
  symbol.confidence = "high";
  symbol.exported = true;
  for (const Node& node : {file, symbol}) {
    const text::Json copied = as_dict(node);
    Node taken = node;
    EXPECT_EQ(text::to_pretty(as_dict(std::move(taken))), text::to_pretty(copied)) << node.kind;
  }
}

TEST(ToJson, MovingEdgeGivesTheSameMap) {
  const Edge edge{"src/a.py", "package.module_with_a_long_name", "imports"};
  Edge taken = edge;
  EXPECT_EQ(text::to_pretty(to_json(std::move(taken))), text::to_pretty(to_json(edge)));
}

TEST(DedupeEdges, MovingFormKeepsTheSameEdges) {
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> pick(0, 2);
  const char* const rels[] = {"imports", "requires", "references"};
  for (int round = 0; round < 500; ++round) {
    std::vector<Edge> edges;
    for (int n = round % 20; n > 0; --n) {
      edges.push_back({std::string(1, static_cast<char>('a' + pick(rng))),
                       std::string(1, static_cast<char>('x' + pick(rng))), rels[pick(rng)]});
    }
    const std::vector<Edge> expected = dedupe_edges(edges);
    EXPECT_EQ(dedupe_edges(std::move(edges)), expected);
  }
}

TEST(Rel, InsideOutsideAndThroughLinks) {
  testing::TempDir dir;
  dir.write("proj/src/a.py", "");
  dir.write("lib/x.py", "");
  fs::create_directory_symlink(dir / "proj/src", dir / "proj/link");
  const fs::path root = dir / "proj";
  EXPECT_EQ(rel(root / "src/a.py", root), "src/a.py");
  EXPECT_EQ(rel(root, root), ".");
  EXPECT_EQ(rel(dir / "lib/x.py", root), "../lib/x.py");
  EXPECT_EQ(rel(root / "link/a.py", root), "src/a.py");  // resolved through the link
  EXPECT_EQ(rel(root / "missing/b.py", root), "missing/b.py");
  EXPECT_EQ(rel(root / "src/a.py", dir / "proj/link"), "a.py");  // root given through a link
}

TEST(ShortHash, IsTheMd5Prefix) {
  EXPECT_EQ(text::short_hash(""), "d41d8cd9");
  EXPECT_EQ(text::short_hash("hello"), "5d41402a");
}

TEST(BodyHash, JoinsTheInclusiveRangeWithLineFeeds) {
  const std::vector<std::string_view> lines = {"a", "b", "c"};
  EXPECT_EQ(_body_hash(lines, 0, 1), text::short_hash("a\nb"));
  EXPECT_EQ(_body_hash(lines, 1, 1), text::short_hash("b"));
  EXPECT_EQ(_body_hash(lines, 1, 99), text::short_hash("b\nc"));
  EXPECT_EQ(_body_hash(lines, 5, 9), text::short_hash(""));
  EXPECT_EQ(_body_hash(lines, 2, 1), text::short_hash(""));
}

}  // namespace
}  // namespace plinthar::scanner
