#include "plinthar/scanner/stats/term_stats_builder.hpp"

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/index/term_stats.hpp"

namespace plinthar::scanner {
namespace {

using index::NO_FILE;
using index::TermStats;

StatsNode file_node(std::string_view id, std::string_view content, std::int64_t size = 0,
                    std::vector<std::string_view> keywords = {}) {
  return {id, "file", id, "", content, size, std::move(keywords)};
}

StatsNode symbol_node(std::string_view path, std::string_view name) {
  return {"", "symbol", path, name, "", 1, {}};
}

// Files 0..4: two modules that import each other's neighbours, a test that pairs with
// one of them, a package.json, and a repeated id.
std::string sample_bytes() {
  TermStatsBuilder builder;
  builder.add_node(
      file_node("api/orders.py", "from .db import session\norders orders", 2000, {"orders"}));
  builder.add_node(symbol_node("api/orders.py", "create_order"));
  builder.add_node(file_node("api/db.py", "session = None"));
  builder.add_node(file_node("tests/test_orders.py", "import api.orders"));
  builder.add_node(file_node("package.json", "{\n  \"version\": \"1.0.0\"\n}", 500000));
  builder.add_node(file_node("api/db.py", "duplicate"));
  builder.add_node(symbol_node("api/db.py", "Session"));  // counts for both api/db.py
  builder.add_edge("api/orders.py", ".db", "imports");
  builder.add_edge("tests/test_orders.py", "api.orders", "imports");
  builder.add_edge("api/orders.py", "api/orders.py::create_order", "contains");
  builder.add_edge("package.json", "react", "imports");
  builder.add_edge("nowhere.py", ".db", "imports");
  return builder.finish();
}

std::map<std::uint32_t, index::FieldCounts> postings(const TermStats& stats,
                                                     std::string_view term) {
  std::map<std::uint32_t, index::FieldCounts> out;
  EXPECT_TRUE(
      stats.for_each_posting(term, [&](const index::Posting& p) { out[p.file] = p.count; }));
  return out;
}

TEST(TermStatsBuilder, CountsEachTermPerFileAndField) {
  const std::string bytes = sample_bytes();
  const auto stats = TermStats::open(bytes);
  ASSERT_TRUE(stats);
  ASSERT_EQ(stats->file_count(), 5u);
  EXPECT_EQ(stats->node(1), 2u);  // node numbers count symbols too
  EXPECT_EQ(stats->document_frequency("order"), 2u);
  using Counts = index::FieldCounts;
  const std::map<std::uint32_t, Counts> order = {{0, Counts{1, 2, 2}}, {2, Counts{1, 0, 1}}};
  EXPECT_EQ(postings(*stats, "order"), order);  // keyword, symbol part, text; test name, import
  const std::map<std::uint32_t, Counts> session = {
      {0, Counts{0, 0, 1}}, {1, Counts{0, 1, 1}}, {4, Counts{0, 1, 0}}};
  EXPECT_EQ(postings(*stats, "session"), session);
  EXPECT_EQ(stats->document_frequency("absent"), 0u);
  EXPECT_TRUE(postings(*stats, "absent").empty());
  EXPECT_EQ(stats->length(0, index::PATH_FIELD), 2u);    // api, order
  EXPECT_EQ(stats->length(0, index::SYMBOL_FIELD), 4u);  // order; creat, order, createorder
  EXPECT_DOUBLE_EQ(stats->average_length(index::PATH_FIELD), (2 + 2 + 4 + 1 + 2) / 5.0);
}

TEST(TermStatsBuilder, KeepsTheFactsOfEachFile) {
  const std::string bytes = sample_bytes();
  const auto stats = TermStats::open(bytes);
  ASSERT_TRUE(stats);
  EXPECT_EQ(stats->size(0), 2000);
  EXPECT_EQ(stats->size(3), 500000);
  EXPECT_EQ(stats->facts(3), index::FACT_CONFIG | index::FACT_VERSION);
  EXPECT_EQ(stats->facts(2), index::FACT_TEST | index::FACT_SOURCE);
  EXPECT_EQ(stats->facts(1), index::FACT_SOURCE);
  // orders.py and test_orders.py share a stem; both db.py files share another.
  EXPECT_EQ(stats->stem(0), stats->stem(2));
  EXPECT_EQ(stats->stem_text(stats->stem(0)), "order");
  EXPECT_EQ(stats->stem(1), stats->stem(4));
  EXPECT_EQ(stats->stem_count(), 3u);
  EXPECT_EQ(stats->canonical(4), 1u);
  ASSERT_EQ(stats->edge_count(), 5u);
  const std::uint32_t edge_from[] = {0, 2, 0, 3, NO_FILE};
  const std::uint32_t edge_target[] = {1, 0, NO_FILE, NO_FILE, NO_FILE};
  for (std::size_t e = 0; e < 5; ++e) {
    EXPECT_EQ(stats->edge_from(e), edge_from[e]) << e;
    EXPECT_EQ(stats->edge_target(e), edge_target[e]) << e;
  }
}

TEST(TermStatsBuilder, AnEmptyGraphHasNoFilesAndUnitAverages) {
  const std::string bytes = TermStatsBuilder().finish();
  const auto stats = TermStats::open(bytes);
  ASSERT_TRUE(stats);
  EXPECT_EQ(stats->file_count(), 0u);
  EXPECT_EQ(stats->average_length(index::CONTENT_FIELD), 1.0);
  EXPECT_EQ(stats->document_frequency("x"), 0u);
}

TEST(TermStatsBuilder, ReadsSizesOfHandMadeNodesAsIntegers) {
  const struct {
    const char* size;
    std::int64_t read;
  } cases[] = {{"12", 12},     {"12.9", 12}, {"\" 12 \"", 12}, {"\"+7\"", 7},
               {"\"1.5\"", 0}, {"true", 1},  {"null", 0},      {"[1]", 0}};
  for (const auto& c : cases) {
    const text::Json node = text::Json::parse(std::string("{\"size\": ") + c.size + "}");
    EXPECT_EQ(stats_node_of(node).size, c.read) << c.size;
  }
}

}  // namespace
}  // namespace plinthar::scanner
