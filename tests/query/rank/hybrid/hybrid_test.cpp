#include "plinthar/query/rank/hybrid/hybrid.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/query/graph/map_records.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"

namespace plinthar::query {
namespace {

// A graph map of files (id, content) with one import from the first to the second, and
// its records and statistics.
class HybridRanking : public ::testing::Test {
 protected:
  HybridRanking() {
    graph_ = Json::parse(R"json({"nodes": [
      {"id": "api/orders.py", "kind": "file", "path": "api/orders.py", "ext": ".py", "size": 100,
       "keywords": [], "content": "from .ledger import post\ndef refund(order): post(order)"},
      {"id": "api/ledger.py", "kind": "file", "path": "api/ledger.py", "ext": ".py", "size": 100,
       "keywords": [], "content": "def post(entry): pass"},
      {"id": "api/mail.py", "kind": "file", "path": "api/mail.py", "ext": ".py", "size": 100,
       "keywords": [], "content": "def send(message): pass"},
      {"id": "package.json", "kind": "file", "path": "package.json", "ext": ".json", "size": 100,
       "keywords": [], "content": "{\n  \"version\": \"1.0.0\"\n}"},
      {"id": "api/orders.py::refund", "kind": "symbol", "path": "api/orders.py",
       "ext": ".py", "size": 1, "keywords": [], "name": "refund"}],
      "edges": [
      {"from": "api/orders.py", "to": ".ledger", "rel": "imports"},
      {"from": "api/orders.py", "to": "api/orders.py::refund", "rel": "contains"},
      {"from": "api/mail.py", "to": "smtplib", "rel": "imports"}]})json");
    records_ = records_of(graph_);
    index::prepare_records(records_);
    records_.node_value = [this](std::size_t i) { return graph_["nodes"][i]; };
    records_.edge_value = [this](std::size_t i) { return graph_["edges"][i]; };
    scanner::TermStatsBuilder builder;
    for (const Json& node : graph_["nodes"]) builder.add_node(scanner::stats_node_of(node));
    for (const Json& edge : graph_["edges"]) {
      builder.add_edge(edge["from"].get<std::string>(), edge["to"].get<std::string>(),
                       edge["rel"].get<std::string>());
    }
    bytes_ = builder.finish();
  }

  RetrieveResult retrieve(std::string_view query, std::int64_t top_files = 20,
                          std::int64_t top_edges = 40) const {
    return retrieve_hybrid(records_, *index::TermStats::open(bytes_), query, top_files, top_edges,
                           "no-capability-index.md");
  }

  static std::vector<std::string> ids(const std::vector<Json>& rows) {
    std::vector<std::string> out;
    for (const Json& row : rows) out.push_back(row["id"].get<std::string>());
    return out;
  }

  Json graph_;
  index::GraphRecords records_;
  std::string bytes_;
};

TEST_F(HybridRanking, LiftsImportedFilesAndAnsweredKindsAboveEquallySizedOthers) {
  // "refund" is only in orders.py; ledger.py, which it imports, gets a share of its score.
  EXPECT_EQ(
      ids(retrieve("refund").files),
      std::vector<std::string>({"api/orders.py", "api/ledger.py", "api/mail.py", "package.json"}));
  EXPECT_EQ(ids(retrieve("bump the version").files)[0], "package.json");
}

TEST_F(HybridRanking, RowsAreFilesWithScoresAndEdgesTouchTheChosenOnes) {
  const RetrieveResult result = retrieve("refund the order", 1);
  ASSERT_EQ(result.files.size(), 1u);
  const Json& row = result.files[0];
  EXPECT_FALSE(row.contains("content"));
  EXPECT_GT(row["_score"].get<std::int64_t>(), 0);
  EXPECT_EQ(row["_role"], "code");
  EXPECT_EQ(row["_intent"], "general");
  // The import of the chosen file and its named symbol; the import of smtplib names no
  // file and stays out.
  ASSERT_EQ(result.edges.size(), 2u);
  EXPECT_EQ(result.edges[0]["to"], ".ledger");  // equal scores: by "to"
  EXPECT_EQ(result.edges[1]["to"], "api/orders.py::refund");
  EXPECT_EQ(retrieve("refund", 1, -1).edges.size(), 1u);  // all but the last
}

TEST_F(HybridRanking, NoRowsFallsBackToTheFirstNodesAndEdges) {
  const RetrieveResult none = retrieve("refund", 0, 0);
  EXPECT_TRUE(none.files.empty());
  EXPECT_TRUE(none.edges.empty());
  const RetrieveResult all_but_last = retrieve("refund", -1, 2);
  EXPECT_EQ(all_but_last.files.size(), 4u);  // whole graph nodes, all but the last
  EXPECT_TRUE(all_but_last.files[0].contains("content"));
  EXPECT_EQ(all_but_last.edges.size(), 2u);
}

}  // namespace
}  // namespace plinthar::query
