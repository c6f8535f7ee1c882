#include "plinthar/query/graph/graph_walker.hpp"

#include <algorithm>
#include <cctype>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/index/graph_index.hpp"
#include "plinthar/index/graph_index_writer.hpp"
#include "plinthar/query/graph/map_records.hpp"
#include "plinthar/query/rank/retrieval.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"
#include "plinthar/text/content_hash.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"
#include "records_dump.hpp"
#include "scanned_sample.hpp"
#include "test_util.hpp"

namespace plinthar::query {

namespace {

using testing::records_dump;

// The records of the general path, or its error.
std::string general_outcome(const std::string& text) {
  try {
    const text::Json graph = parse_graph(text, "data/g.json");
    return records_dump(records_of(graph));
  } catch (const Error& error) {
    return std::string("error: ") + error.what();
  }
}

using testing_samples::scanned_tree_text;

struct Case {
  std::string name;
  std::string text;
  bool read;  // whether the record reader answers itself
};

// A graph whose one node holds lists down to `depth` levels in all.
std::string nested_graph(std::size_t depth) {
  const std::size_t lists = depth - 3;
  return R"({"nodes": [{"id": "a", "x": )" + std::string(lists, '[') + std::string(lists, ']') +
         "}]}";
}

// A graph with lists down to `depth` levels in all in a member of its top-level map.
std::string nested_top(std::size_t depth) {
  const std::size_t lists = depth - 1;
  return R"({"nodes": [], "x": )" + std::string(lists, '[') + std::string(lists, ']') + "}";
}

std::vector<Case> cases() {
  return {
      {"scanner output", scanned_tree_text(), true},
      {"empty map", "{}", true},
      {"empty lists", R"({"nodes": [], "edges": [], "node_count": 0})", true},
      {"missing members",
       R"({"nodes": [{}, {"id": "a"}], "edges": [{}, {"from": "a"}, {"to": "b", "rel": "x"}]})",
       true},
      {"escapes in read members",
       R"({"nodes": [{"id": "a\"b\\c\u00e9\ud83d\ude00", "summary": "l1\nl2", "keywords":
           ["k\u00c9", "x\ty"], "ext": ".P\u0059"}], "edges": [{"from": "a\/b", "to": "\u0041"}]})",
       true},
      {"lone surrogate in an id", R"({"nodes": [{"id": "caf\udce9.py"}]})", true},
      {"lone surrogate in content", R"({"nodes": [{"id": "a", "content": "b\udcff"}]})", true},
      {"null summary and keywords",
       R"({"nodes": [{"id": "a", "summary": null, "keywords": null}]})", true},
      {"one keyword, no keywords", R"({"nodes": [{"keywords": ["solo"]}, {"keywords": []}]})",
       true},
      {"repeated member keeps the last value",
       R"({"nodes": [{"id": "first", "kind": "file", "id": "second", "kind": "symbol"}]})", true},
      {"other members of every type",
       R"({"nodes": [{"id": "a", "size": 12, "f": -1.5e3, "t": true, "n": null, "o": {"x": [1]},
           "content": [1, {"a": "b"}]}], "edges": [{"from": "a", "line": 3}], "x": {"y": []}})",
       true},
      {"numeric id", R"({"nodes": [{"id": 7}]})", false},
      {"numeric edge end", R"({"edges": [{"from": 1, "to": "b"}]})", false},
      {"boolean kind", R"({"nodes": [{"id": "a", "kind": true}]})", false},
      {"summary of the wrong type", R"({"nodes": [{"summary": 3}]})", false},
      {"keywords of the wrong type", R"({"nodes": [{"keywords": "x"}]})", false},
      {"non-string keyword", R"({"nodes": [{"keywords": ["a", 1]}]})", false},
      {"node that is not an object", R"({"nodes": ["x"]})", false},
      {"edge that is not an object", R"({"edges": [[]]})", false},
      {"nodes not a list", R"({"nodes": {"id": "a"}})", false},
      {"repeated nodes list", R"({"nodes": [{"id": "a"}], "nodes": [{"id": "b"}]})", false},
      {"top-level list", "[]", false},
      {"bad escape in content", R"({"nodes": [{"id": "a", "content": "x\q"}]})", false},
      {"bad escape in an id", R"({"nodes": [{"id": "a\x"}]})", false},
      {"invalid UTF-8 in content", "{\"nodes\": [{\"content\": \"\xc3\x28\"}]}", false},
      {"raw tab in content", "{\"nodes\": [{\"content\": \"a\tb\"}]}", false},
      {"float out of range", R"({"nodes": [{"id": "a", "size": 1e400}]})", false},
      {"truncated", R"({"nodes": [{"id": "a"})", false},
      {"trailing text", R"({"nodes": []} x)", false},
      {"stray colon and bracket after a string", R"({"a": "b": ]})", false},
      {"stray colon and bracket after an id", R"({"nodes": [{"id": "x": ]}]})", false},
      {"stray bracket after a number", R"({"nodes": [{"size": 1 ]}]})", false},
      {"stray colon after a keyword", R"({"nodes": [{"keywords": ["a": ]}]})", false},
      {"NUL beside an escaped byte",
       R"({"nodes": [{"id": "caf\udce9.md", "content": "a\u0000b"}]})", true},
      {"nested as deep as allowed", nested_graph(text::MAX_JSON_DEPTH), true},
      {"nested too deep", nested_graph(text::MAX_JSON_DEPTH + 1), false},
      {"nested too deep beside the lists", nested_top(text::MAX_JSON_DEPTH + 1), false},
  };
}

class RecordReadingCase : public ::testing::TestWithParam<Case> {};

TEST_P(RecordReadingCase, MatchesTheGeneralPath) {
  const Case& c = GetParam();
  const simdjson::padded_string text(c.text.data(), c.text.size());
  const auto records = read_graph_records(text);
  ASSERT_EQ(records.has_value(), c.read);
  if (records) {
    EXPECT_EQ(records_dump(*records), general_outcome(c.text));
  }
}

// The statistics of a walk, alone or beside the records, are those of the general path
// whenever the walk vouches for what it read.
TEST_P(RecordReadingCase, FeedsTheStatisticsOfTheGeneralPath) {
  const Case& c = GetParam();
  const auto graph = text::try_parse_json(c.text);
  if (!graph || !graph->is_object()) return;
  scanner::TermStatsBuilder general;
  walk_graph_map(*graph, {nullptr, &general, nullptr});
  const std::string expected = general.finish();
  const simdjson::padded_string text(c.text.data(), c.text.size());
  scanner::TermStatsBuilder alone;
  if (walk_graph_text(text, {nullptr, &alone, nullptr})) {
    EXPECT_EQ(alone.finish(), expected);
  }
  scanner::TermStatsBuilder beside;
  index::GraphRecords records;
  if (walk_graph_text(text, {&records, &beside, nullptr})) {
    EXPECT_EQ(beside.finish(), expected);
    auto alone_records = read_graph_records(text);
    ASSERT_TRUE(alone_records);
    index::prepare_records(records);
    index::prepare_records(*alone_records);
    EXPECT_EQ(testing::prepared_dump(records, c.text),
              testing::prepared_dump(*alone_records, c.text));
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, RecordReadingCase, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& row) {
                           std::string name;
                           for (const char ch : row.param.name) {
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           }
                           return name;
                         });

TEST(GraphWalker, ReadsTheRootWhenItIsText) {
  for (const auto& [text, root] : {std::pair<std::string, std::optional<std::string>>{
                                       R"({"root": "/a\"b", "nodes": []})", "/a\"b"},
                                   {R"({"root": 5})", std::nullopt},
                                   {R"({"nodes": []})", std::nullopt}}) {
    const simdjson::padded_string padded(text.data(), text.size());
    std::optional<std::string> read;
    ASSERT_TRUE(walk_graph_text(padded, {nullptr, nullptr, &read})) << text;
    EXPECT_EQ(read, root) << text;
  }
}

// The records a walk reads from a scanned graph file are those its index holds.
TEST(GraphWalker, ReadsWhatTheIndexHolds) {
  const testing::TempDir dir;
  dir.write("proj/app/Main.py",
            "\"\"\"Entry \xe2\x80\x93 r\xc3\xa9sum\xc3\xa9.\"\"\"\nimport os\n"
            "from .models import User\n\ndef Run():\n    return User()\n");
  dir.write("proj/web/Page.tsx", "import { Button } from './Button';\nexport function Page() {}\n");
  dir.write("proj/README.md", "# Shop\n\nSee app/Main.py.\n");
  const auto graph_file = dir / "info_graph.json";
  scanner::write_graph_file(dir / "proj", graph_file, {}, {});
  const std::string graph = testing::read_text(graph_file);
  const simdjson::padded_string padded(graph.data(), graph.size());
  auto from_text = read_graph_records(padded);
  ASSERT_TRUE(from_text.has_value());
  index::prepare_records(*from_text);
  const text::FileDescriptor fd(::open(graph_file.c_str(), O_RDONLY));
  const auto from_index = index::GraphIndex::open(dir / "info_graph.index", fd.get());
  ASSERT_TRUE(from_index.has_value());
  EXPECT_EQ(testing::prepared_dump(*from_index->records(), graph),
            testing::prepared_dump(*from_text, graph));
}

// A graph with many equal scores, shared file bases, mixed case, non-ASCII text and
// escapes, so that ranking exercises ties, the per-file choice and lowering.
text::Json random_graph(std::mt19937& random) {
  const std::vector<std::string> dirs = {
      "src/pages/", "src/components/ui/", "api/", "src/Services/", "docs/", "node_modules/x/", ""};
  const std::vector<std::string> words = {"order",  "Invoice", "button", "badge", "status",
                                          "résumé", "list",    "TABLE",  "a\"b",  "x\ny"};
  const auto pick = [&random](const auto& list) { return list[random() % list.size()]; };
  text::Json nodes = text::Json::array();
  text::Json edges = text::Json::array();
  for (int file = 0; file < 60; ++file) {
    const std::string id = pick(dirs) + pick(words) + std::to_string(file % 7) +
                           pick(std::vector{".tsx", ".py", ".md"});
    text::Json node = {{"id", id},
                       {"kind", "file"},
                       {"ext", id.substr(id.rfind('.'))},
                       {"summary", pick(words) + " " + pick(words)},
                       {"content", "body " + pick(words)}};
    node["keywords"] = text::Json::array({pick(words), pick(words)});
    nodes.push_back(node);
    for (int symbol = 0; symbol < static_cast<int>(random() % 3); ++symbol) {
      nodes.push_back({{"id", id + "::" + pick(words)},
                       {"kind", "symbol"},
                       {"confidence", random() % 2 ? "high" : "low"},
                       {"keywords", text::Json::array({pick(words)})}});
    }
    for (int edge = 0; edge < static_cast<int>(random() % 4); ++edge) {
      edges.push_back({{"from", id},
                       {"to", pick(dirs) + pick(words)},
                       {"rel", random() % 3 ? "imports" : "mentions"}});
    }
  }
  return {{"nodes", nodes}, {"edges", edges}, {"node_count", nodes.size()}};
}

std::string result_dump(const RetrieveResult& result) {
  std::string dump;
  for (const text::Json& row : result.files) dump += text::to_compact(row) + "\n";
  for (const text::Json& edge : result.edges) dump += text::to_compact(edge) + "\n";
  return dump;
}

TEST(RecordRanking, RecordsReadFromTextRankLikeTheGraphMap) {
  std::mt19937 random(20261208);
  const testing::TempDir dir;
  const auto capabilities =
      dir.write("functionality_index.md",
                "## Billing\n- Keywords: invoice, order\n- Files: src/pages/, api/*\n");
  const std::vector<std::string> queries = {"fix the invoice button", "order list table status",
                                            "GET /api/orders", "explain the docs", "zzz"};
  for (int round = 0; round < 25; ++round) {
    const text::Json graph = random_graph(random);
    const std::string text = text::to_pretty(graph);
    const simdjson::padded_string padded(text.data(), text.size());
    auto records = read_graph_records(padded);
    ASSERT_TRUE(records.has_value());
    index::prepare_records(*records);
    // The same records through a graph index of the file.
    dir.write("g.json", text);
    const text::FileDescriptor graph_fd(::open((dir / "g.json").c_str(), O_RDONLY));
    ASSERT_TRUE(
        index::write_graph_index(dir / "g.index", *records,
                                 *index::graph_identity(graph_fd.get(), text::content_hash(text))));
    const auto index = index::GraphIndex::open(dir / "g.index", graph_fd.get());
    ASSERT_TRUE(index.has_value());
    auto indexed = index->records();
    ASSERT_TRUE(indexed.has_value());
    indexed->node_value = records->node_value;
    indexed->edge_value = records->edge_value;
    for (const std::string& query : queries) {
      for (const auto& [files, edges] : {std::pair{12, 20}, std::pair{3, 2}, std::pair{-2, -5},
                                         std::pair{0, 0}, std::pair{500, 500}}) {
        SCOPED_TRACE(query + " " + std::to_string(files) + "/" + std::to_string(edges));
        const std::string expected =
            result_dump(retrieve(graph, query, files, edges, capabilities));
        EXPECT_EQ(result_dump(retrieve(*records, query, files, edges, capabilities)), expected);
        EXPECT_EQ(result_dump(retrieve(*indexed, query, files, edges, capabilities)), expected);
      }
    }
  }
}

}  // namespace
}  // namespace plinthar::query
