// crv reads the graph without the nodes' file texts; these checks make sure the texts
// still reach the output where it prints nodes as stored.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "crv_fixture.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"
#include "test_util.hpp"

namespace plinthar::query {

namespace {
namespace fs = std::filesystem;

class CrvGraphReading : public testing::CrvFixture {
 protected:
  CrvGraphReading() { fs::create_directories(data_); }
};

// Notes only, so no node scores above zero for an unrelated query; texts that need
// escaping.
constexpr std::string_view NOTES = R"({
  "nodes": [
    {"id": "docs/a.md", "kind": "file", "ext": ".md", "content": "# A\n\"quoted\" \\ tab\t é 😀 \u0001", "summary": "Notes"},
    {"id": "docs/b.md", "kind": "file", "ext": ".md", "size": 3, "content": "b\nb", "keywords": []},
    {"id": "docs/c.md", "kind": "file", "ext": ".md", "content": "c"}
  ],
  "edges": []
})";

// Notes and a file that a query matches.
constexpr std::string_view GRAPH = R"({
  "nodes": [
    {"id": "docs/a.md", "kind": "file", "ext": ".md", "content": "# A\n\"quoted\" \\ tab\t é 😀 \u0001", "summary": "Notes"},
    {"id": "docs/b.md", "kind": "file", "ext": ".md", "size": 3, "content": "b\nb", "keywords": []},
    {"id": "docs/c.md", "kind": "file", "ext": ".md", "content": "c"},
    {"id": "src/invoice.py", "kind": "file", "ext": ".py", "content": "def invoice_total(): pass", "keywords": ["invoice"]}
  ],
  "edges": []
})";

TEST_F(CrvGraphReading, FallbackPrintsTheFirstNodesWithTheirTexts) {
  dir_.write("tool/data/info_graph.json", NOTES);
  const text::Json graph = text::Json::parse(NOTES);
  for (const int top : {2, 3}) {
    const auto result = crv("retrieve --json --query zzzq --top-files " + std::to_string(top));
    ASSERT_EQ(result.status, 0) << result.err;
    text::Json expected = text::Json::object();
    expected["query"] = "zzzq";
    expected["files"] = text::Json::array();
    for (int i = 0; i < top; ++i) expected["files"].push_back(graph["nodes"][i]);
    expected["edges"] = text::Json::array();
    EXPECT_EQ(result.out, text::to_pretty(expected) + "\n") << top;
  }
  const auto text = crv("retrieve --query zzzq --top-files 2");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out,
            "Query: zzzq\n\nRelevant files:\n- docs/a.md\n- docs/b.md\n\nRelevant relations:\n");
}

TEST_F(CrvGraphReading, RankedRowsNeverCarryTexts) {
  dir_.write("tool/data/info_graph.json", GRAPH);
  const auto result = crv("retrieve --json --query 'invoice total'");
  ASSERT_EQ(result.status, 0) << result.err;
  const text::Json payload = text::Json::parse(result.out);
  ASSERT_FALSE(payload["files"].empty());
  EXPECT_EQ(payload["files"][0]["id"], "src/invoice.py");
  for (const text::Json& row : payload["files"]) {
    EXPECT_TRUE(row.contains("_score"));
    EXPECT_FALSE(row.contains("content"));
  }
}

TEST_F(CrvGraphReading, TextsThatCannotBeReadFailAsBefore) {
  dir_.write("tool/data/info_graph.json", R"({"nodes": [{"id": "a.md", "content": "bad \x"}]})");
  for (const char* args : {"retrieve --query q", "retrieve --json --query q", "prime"}) {
    const auto result = crv(args);
    EXPECT_EQ(result.status, 1) << args;
    EXPECT_NE(result.err.find("cannot parse"), std::string::npos) << args << ": " << result.err;
    EXPECT_EQ(result.out, "") << args;
  }
}

}  // namespace
}  // namespace plinthar::query
