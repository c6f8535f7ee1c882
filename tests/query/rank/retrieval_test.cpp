#include "plinthar/query/rank/retrieval.hpp"

#include <map>

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/query/rank/query_analysis.hpp"
#include "plinthar/query/rank/scoring.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"
#include "test_util.hpp"

namespace plinthar::query {

namespace {

class RetrieveTest : public ::testing::Test {
 protected:
  // Runs retrieval with the capability index `index` ("" for none).
  RetrieveResult run(const text::Json& graph, std::string_view query, std::int64_t top_files,
                     std::int64_t top_edges, std::string_view index = "") {
    const auto path = dir_ / "functionality_index.md";
    std::filesystem::remove(path);
    if (!index.empty()) dir_.write("functionality_index.md", index);
    return retrieve(graph, query, top_files, top_edges, path);
  }

  // What retrieval added to each row's own node score, by row id.
  std::map<std::string, std::int64_t> added_scores(const text::Json& graph, std::string_view query,
                                                   std::string_view index = "") {
    std::map<std::string, std::int64_t> added;
    for (const text::Json& row : run(graph, query, 100, 0, index).files) {
      text::Json node = row;
      node.erase("_score");
      added[row["id"].get<std::string>()] =
          row["_score"].get<std::int64_t>() - score_node(node, tokenize_query(query), query);
    }
    return added;
  }

  testing::TempDir dir_;
};

std::vector<std::string> ids_of(const std::vector<text::Json>& rows) {
  std::vector<std::string> ids;
  for (const text::Json& row : rows)
    ids.push_back(text::to_compact(row.value("id", text::Json(""))));
  return ids;
}

TEST_F(RetrieveTest, GraphWithoutNodesOrEdges) {
  const auto result = run(text::Json::object(), "anything", 5, 5);
  EXPECT_TRUE(result.files.empty());
  EXPECT_TRUE(result.edges.empty());
}

TEST_F(RetrieveTest, BestNodeOfEachFileTakesItsPlace) {
  const auto graph = text::Json::parse(R"({"nodes": [
    {"id": "src/orders.py", "kind": "file", "ext": ".py", "summary": "orders"},
    {"id": "src/orders.py::list_orders", "kind": "symbol", "ext": ".py", "content": "body",
     "confidence": "high", "keywords": ["list", "orders"]},
    {"id": "src/orders.py::helper", "kind": "symbol", "ext": ".py"},
    {"id": "src/cart.py", "kind": "file", "ext": ".py"}]})");
  const auto result = run(graph, "orders", 2, 5);
  const auto expected_first = text::Json::parse(R"({"id": "src/orders.py::list_orders",
    "kind": "symbol", "ext": ".py", "confidence": "high", "keywords": ["list", "orders"],
    "_score": 15, "_role": "code", "_intent": "general"})");
  ASSERT_EQ(result.files.size(), 2u);
  EXPECT_EQ(text::to_compact(result.files[0]), text::to_compact(expected_first));
  EXPECT_EQ(result.files[1]["id"], "src/cart.py");
  EXPECT_EQ(result.files[1]["_score"], 5);
  EXPECT_TRUE(graph["nodes"][1].contains("content"));  // the graph is left alone
}

TEST_F(RetrieveTest, EqualScoresOrderByIdCodePoints) {
  const auto graph = text::Json::parse(R"({"nodes": [
    {"id": "z.py", "ext": ".py"}, {"id": "\u00e9.py", "ext": ".py"},
    {"id": "b.py", "ext": ".py"}, {"id": "B.py", "ext": ".py"}]})");
  const auto rows = run(graph, "rename", 10, 0).files;
  EXPECT_EQ(ids_of(rows),
            (std::vector<std::string>{R"("B.py")", R"("b.py")", R"("z.py")", R"("\u00e9.py")"}));
}

struct LimitCase {
  std::int64_t limit;
  std::size_t files;
  std::size_t edges;
};

TEST_F(RetrieveTest, FallbacksTakeRawEntriesWithSliceLimits) {
  // Every node scores below 1 (dependency directory) and no edge scores.
  const auto graph = text::Json::parse(R"({
    "nodes": [{"id": "node_modules/a.js", "ext": ".js", "content": "A"},
              {"id": "node_modules/b.js", "ext": ".js"}, {"id": "node_modules/c.js", "ext": ".js"}],
    "edges": [{"from": "x", "to": "y", "rel": "references"},
              {"from": "y", "to": "z", "rel": "contains"}]})");
  const LimitCase cases[] = {{2, 2, 2}, {10, 3, 2}, {0, 0, 0}, {-1, 2, 1}, {-5, 0, 0}};
  for (const auto& c : cases) {
    const auto result = run(graph, "rename", c.limit, c.limit);
    ASSERT_EQ(result.files.size(), c.files) << c.limit;
    ASSERT_EQ(result.edges.size(), c.edges) << c.limit;
    for (std::size_t i = 0; i < c.files; ++i) EXPECT_EQ(result.files[i], graph["nodes"][i]);
    for (std::size_t i = 0; i < c.edges; ++i) EXPECT_EQ(result.edges[i], graph["edges"][i]);
  }
}

TEST_F(RetrieveTest, NonPositiveLimitsWithScoringCandidates) {
  const auto graph = text::Json::parse(R"({
    "nodes": [{"id": "a.py", "ext": ".py"}, {"id": "b.py", "ext": ".py"}, {"id": "c.py", "ext": ".py"}],
    "edges": [{"from": "c.py", "to": "x", "rel": "imports"},
              {"from": "a.py", "to": "b", "rel": "imports"},
              {"from": "b.py", "to": "c", "rel": "imports"}]})");
  EXPECT_TRUE(run(graph, "rename", 0, 0).files.empty());
  const auto result = run(graph, "rename", -1, -1);
  // No row is chosen, so the files fall back to the raw nodes minus the last one; the
  // scored edges (all "imports") are cut the same way after sorting.
  ASSERT_EQ(result.files.size(), 2u);
  EXPECT_EQ(result.files[1], graph["nodes"][1]);
  ASSERT_EQ(result.edges.size(), 2u);
  EXPECT_EQ(result.edges[0], graph["edges"][1]);
  EXPECT_EQ(result.edges[1], graph["edges"][2]);
}

struct ConsumerCase {
  const char* query;
  std::int64_t button_importer;
  std::int64_t badge_importer;
  std::int64_t both_importer;
};

TEST_F(RetrieveTest, ButtonAndBadgeImporters) {
  const auto graph = text::Json::parse(R"({
    "nodes": [{"id": "src/pages/a.tsx", "ext": ".tsx"}, {"id": "src/pages/b.tsx", "ext": ".tsx"},
              {"id": "src/pages/c.tsx", "ext": ".tsx"}],
    "edges": [{"from": "src/pages/a.tsx", "to": "@/components/ui/Button", "rel": "imports"},
              {"from": "src/pages/b.tsx", "to": "./StatusBadge", "rel": "imports"},
              {"from": "src/pages/c.tsx", "to": "./ButtonBadge", "rel": "imports"},
              {"from": "src/pages/b.tsx", "to": "Button", "rel": "references"}]})");
  const ConsumerCase cases[] = {
      {"button badge", 6, 4, 10}, {"button", 6, -2, 4}, {"badge", 0, 4, 4}, {"page", 0, 0, 0}};
  for (const auto& c : cases) {
    const auto added = added_scores(graph, c.query);
    EXPECT_EQ(added.at("src/pages/a.tsx"), c.button_importer) << c.query;
    EXPECT_EQ(added.at("src/pages/b.tsx"), c.badge_importer) << c.query;
    EXPECT_EQ(added.at("src/pages/c.tsx"), c.both_importer) << c.query;
  }
}

TEST_F(RetrieveTest, DegreeBonus) {
  text::Json graph =
      text::Json::parse(R"({"nodes": [], "edges": [{"from": "self.py", "to": "self.py"},
    {"from": "x", "to": "self.py"}]})");
  const std::pair<int, std::int64_t> hubs[] = {{2, 0}, {3, 1}, {8, 2}, {11, 3}, {12, 4}, {30, 4}};
  for (const auto& [degree, bonus] : hubs) {
    const std::string id = "hub" + std::to_string(degree) + ".py";
    graph["nodes"].push_back({{"id", id}, {"ext", ".py"}});
    for (int i = 0; i < degree; ++i) graph["edges"].push_back({{"from", id}, {"to", "t"}});
  }
  graph["nodes"].push_back({{"id", "self.py"}, {"ext", ".py"}});
  const auto added = added_scores(graph, "rename");
  for (const auto& [degree, bonus] : hubs) {
    EXPECT_EQ(added.at("hub" + std::to_string(degree) + ".py"), bonus) << degree;
  }
  EXPECT_EQ(added.at("self.py"), 1);  // a self edge counts twice
}

TEST_F(RetrieveTest, CapabilityBoostsExactAndPrefixKeys) {
  const char* index =
      "## Orders\nkeywords: orders\n- src/app.v2/orders.py\n- src/app.v2/\n- src/app.v*\n";
  const auto graph = text::Json::parse(R"({
    "nodes": [{"id": "src/app.v2/orders.py", "ext": ".py"}, {"id": "src/app.vx.py", "ext": ".py"},
              {"id": "lib/x.py", "ext": ".py"}, {"id": "src/app.v2/", "ext": ""}],
    "edges": [{"from": "zz", "to": "src/app.vx.py", "rel": "references"},
              {"from": "zz", "to": "src/app.v2/", "rel": "references"},
              {"from": "lib/x.py", "to": "src/app.v2/orders.py", "rel": "references"},
              {"from": "zz", "to": "yy", "rel": "references"}]})");
  const auto added = added_scores(graph, "orders", index);
  EXPECT_EQ(added.at("src/app.v2/orders.py"), 18);
  EXPECT_EQ(added.at("src/app.v2/"), 18);
  EXPECT_EQ(added.at("src/app.vx.py"), 6);
  EXPECT_EQ(added.at("lib/x.py"), 0);
  // Edges: term hit x2 + chosen file 4 + exact capability key 2; prefixes do not count.
  const auto edges = run(graph, "orders", 10, 10, index).edges;
  ASSERT_EQ(edges.size(), 3u);
  EXPECT_EQ(edges[0], graph["edges"][2]);
  EXPECT_EQ(edges[1], graph["edges"][1]);
  EXPECT_EQ(edges[2], graph["edges"][0]);
}

TEST_F(RetrieveTest, EdgesOrderByScoreThenSourceThenTargetStably) {
  const auto graph = text::Json::parse(R"({"edges": [
    {"from": "b", "to": "a", "rel": "imports"}, {"from": "a", "to": "c", "rel": "imports"},
    {"from": "a", "to": "b", "rel": "imports", "n": 1}, {"to": "z", "rel": "imports"},
    {"from": "a", "to": "b", "rel": "imports", "n": 2}, {"from": "q", "to": "r", "rel": "refs"},
    {"from": "qq.py", "to": "r", "rel": "references"}]})");
  const auto& e = graph["edges"];
  const auto edges = run(graph, "qq", 0, 10).edges;
  EXPECT_EQ(edges, (std::vector<text::Json>{e[6], e[3], e[2], e[4], e[1], e[0]}));
  EXPECT_EQ(run(graph, "qq", 0, 2).edges, (std::vector<text::Json>{e[6], e[3]}));
}

TEST_F(RetrieveTest, NonStringValuesKeepTheirTypeAndMatchByValue) {
  const auto graph = text::Json::parse(R"({
    "nodes": [{"id": 7, "ext": ".py", "kind": null}],
    "edges": [{"from": 7, "to": "x", "rel": "references"},
              {"from": "7", "to": "y", "rel": "references"}]})");
  const auto result = run(graph, "rename", 5, 5);
  ASSERT_EQ(result.files.size(), 1u);
  EXPECT_EQ(
      text::to_compact(result.files[0]),
      R"({"id": 7, "ext": ".py", "kind": null, "_score": 5, "_role": "code", "_intent": "general"})");
  EXPECT_EQ(result.edges, std::vector<text::Json>{graph["edges"][0]});
}

TEST_F(RetrieveTest, MalformedGraphsAreErrors) {
  const char* graphs[] = {
      R"([])",
      R"({"nodes": {}})",
      R"({"nodes": null})",
      R"({"edges": "x"})",
      R"({"nodes": [1]})",
      R"({"edges": [[]]})",
      R"({"nodes": [{"id": "a.py", "keywords": "a"}]})",
      R"({"nodes": [{"id": 1, "ext": ".py"}, {"id": "1", "ext": ".py"}]})",  // tie, no order
  };
  for (const char* graph : graphs) {
    EXPECT_THROW(run(text::Json::parse(graph), "rename", 5, 5), Error) << graph;
  }
  // Ids of different types are fine while their scores differ.
  const auto graph = text::Json::parse(
      R"({"nodes": [{"id": 1, "ext": ".py"}, {"id": "rename.py", "ext": ".py"}]})");
  EXPECT_EQ(run(graph, "rename", 5, 5).files.size(), 2u);
}

}  // namespace
}  // namespace plinthar::query
