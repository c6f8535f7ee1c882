#include "plinthar/query/rank/hybrid.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/query/graph/graph_records.hpp"
#include "plinthar/query/rank/hybrid_query.hpp"
#include "plinthar/scanner/index/term_stats_builder.hpp"

namespace plinthar::query {
namespace {

TEST(HybridQuery, WeighsScopeTermsAndReadsWhatKindOfFileTheTaskAsksFor) {
  using Terms = std::vector<std::pair<std::string, double>>;
  const struct {
    const char* query;
    Terms terms;
    bool version, docs, config, tests;
  } cases[] = {
      {"fix(persist): keep the storage key",
       {{"persist", 2}, {"keep", 1}, {"storag", 1}, {"key", 1}},
       false,
       false,
       false,
       false},
      // Not a commit type: the prefix names a function and stays a term.
      {"make_test_environ_builder: accept a dict",
       {{"test", 1},
        {"environ", 1},
        {"builder", 1},
        {"maketestenvironbuilder", 1},
        {"accept", 1},
        {"dict", 1}},
       false,
       false,
       false,
       true},
      {"feat(orders, cart)!: Orders", {{"order", 2}, {"cart", 2}}, false, false, false, false},
      {"Bump version", {{"bump", 1}, {"version", 1}}, true, false, false, false},
      {"v1.2 fixes", {{"v1", 1}}, true, false, false, false},
      {"docs: typo in README", {{"typo", 1}, {"readm", 1}}, false, true, false, false},
      {"ci workflow", {{"ci", 1}, {"workflow", 1}}, false, false, true, false},
      {"add coverage for specs", {{"coverag", 1}, {"spec", 1}}, false, false, false, true},
      {"", {}, false, false, false, false},
  };
  for (const auto& c : cases) {
    const HybridQuery query = analyse_hybrid_query(c.query);
    Terms terms;
    for (const WeightedTerm& term : query.terms) terms.emplace_back(term.term, term.weight);
    EXPECT_EQ(terms, c.terms) << c.query;
    EXPECT_EQ(query.wants_version, c.version) << c.query;
    EXPECT_EQ(query.wants_docs, c.docs) << c.query;
    EXPECT_EQ(query.wants_config, c.config) << c.query;
    EXPECT_EQ(query.wants_tests, c.tests) << c.query;
  }
}

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
    scanner::prepare_records(records_);
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
    return retrieve_hybrid(records_, *scanner::TermStats::open(bytes_), query, top_files, top_edges,
                           "no-capability-index.md");
  }

  static std::vector<std::string> ids(const std::vector<Json>& rows) {
    std::vector<std::string> out;
    for (const Json& row : rows) out.push_back(row["id"].get<std::string>());
    return out;
  }

  Json graph_;
  GraphRecords records_;
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
