#include "plinthar/index/term_stats_patch.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/scanner/stats/file_terms.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::index {
namespace {

using text::Json;

// A file node and its symbols as a scan gives them.
std::vector<Json> scanned_file(const std::string& id, const std::string& content,
                               const std::vector<std::string>& symbols) {
  std::vector<Json> nodes{
      {{"id", id}, {"kind", "file"}, {"path", id}, {"content", content}, {"size", 10}}};
  for (const std::string& name : symbols) {
    nodes.push_back({{"id", id + "::" + name}, {"kind", "symbol"}, {"path", id}, {"name", name}});
  }
  return nodes;
}

struct Edge {
  std::string from, to, rel;
};

// The statistics of `files` and `edges` counted node by node.
std::string counted(const std::vector<std::vector<Json>>& files, const std::vector<Edge>& edges) {
  scanner::TermStatsBuilder builder;
  for (const auto& nodes : files) {
    for (const Json& node : nodes) builder.add_node(scanner::stats_node_of(node));
  }
  for (const Edge& edge : edges) builder.add_edge(edge.from, edge.to, edge.rel);
  return builder.finish();
}

TermCounts views_of(const scanner::FileTerms& terms) {
  TermCounts views;
  for (const auto& [term, count] : terms.terms) views.emplace_back(term, count);
  return views;
}

// Patching the statistics of one graph into those of another with the same files in the
// same order gives the bytes of counting the other one whole: terms gained, lost and
// kept, postings in the middle of a list, symbols gained (later files' nodes move) and
// lost.
TEST(TermStatsPatch, GivesTheBytesOfCountingTheChangedGraph) {
  const std::vector<Edge> edges = {{"a.py", ".b", "imports"}, {"c.md", "a.py", "mentions"}};
  const std::vector<std::vector<Json>> before = {
      scanned_file("a.py", "refund total order", {"refund"}),
      scanned_file("b.py", "order cart total", {"cart_total", "checkout"}),
      scanned_file("c.md", "see a.py for the refund", {})};
  struct Case {
    const char* name;
    std::size_t file;
    std::vector<Json> now;
  };
  const std::vector<Case> cases = {
      {"a term gained, one lost", 1, scanned_file("b.py", "order basket", {"cart_total"})},
      {"symbols gained", 0, scanned_file("a.py", "refund total order", {"refund", "x", "y"})},
      {"every term lost", 2, scanned_file("c.md", "", {})},
      {"the same text", 1, before[1]},
  };
  const std::string old_bytes = counted(before, edges);
  const auto old = TermStats::open(old_bytes);
  ASSERT_TRUE(old);
  text::WordSplitter splitter;
  for (const Case& row : cases) {
    std::vector<std::vector<Json>> after = before;
    after[row.file] = row.now;
    const auto then = scanner::count_file_terms(before[row.file], splitter);
    const auto now = scanner::count_file_terms(row.now, splitter);
    const ChangedFile changed{static_cast<std::uint32_t>(row.file),
                              now.size,
                              now.facts,
                              static_cast<std::int64_t>(row.now.size()) -
                                  static_cast<std::int64_t>(before[row.file].size()),
                              views_of(then),
                              views_of(now)};
    std::vector<std::uint32_t> from, target;
    for (std::size_t e = 0; e < old->edge_count(); ++e) {
      from.push_back(old->edge_from(e));
      target.push_back(old->edge_target(e));
    }
    const auto patched = patched_term_stats(*old, {changed}, from, target);
    ASSERT_TRUE(patched) << row.name;
    EXPECT_EQ(*patched, counted(after, edges)) << row.name;

    // Old terms that do not account for the file's lengths refuse the patch.
    ChangedFile short_of_one = changed;
    if (short_of_one.old_terms.empty()) continue;
    short_of_one.old_terms.pop_back();
    EXPECT_FALSE(patched_term_stats(*old, {short_of_one}, from, target)) << row.name;
  }
}

}  // namespace
}  // namespace plinthar::index
