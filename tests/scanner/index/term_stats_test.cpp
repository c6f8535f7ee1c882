#include "plinthar/scanner/index/term_stats.hpp"

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/scanner/index/term_stats_builder.hpp"

namespace plinthar::scanner {
namespace {

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

std::map<std::uint32_t, std::array<std::uint32_t, TERM_FIELDS>> postings(const TermStats& stats,
                                                                         std::string_view term) {
  std::map<std::uint32_t, std::array<std::uint32_t, TERM_FIELDS>> out;
  EXPECT_TRUE(stats.for_each_posting(term, [&](const Posting& p) { out[p.file] = p.count; }));
  return out;
}

std::vector<std::uint32_t> list(PackedArray<std::uint32_t> values) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < values.size(); ++i) out.push_back(values[i]);
  return out;
}

TEST(TermStats, CountsEachTermPerFileAndField) {
  const std::string bytes = sample_bytes();
  const auto stats = TermStats::open(bytes);
  ASSERT_TRUE(stats);
  ASSERT_EQ(stats->file_count(), 5u);
  EXPECT_EQ(stats->node(1), 2u);  // node numbers count symbols too
  EXPECT_EQ(stats->document_frequency("order"), 2u);
  using Counts = std::array<std::uint32_t, TERM_FIELDS>;
  const std::map<std::uint32_t, Counts> order = {{0, Counts{1, 2, 2}}, {2, Counts{1, 0, 1}}};
  EXPECT_EQ(postings(*stats, "order"), order);  // keyword, symbol part, text; test name, import
  const std::map<std::uint32_t, Counts> session = {
      {0, Counts{0, 0, 1}}, {1, Counts{0, 1, 1}}, {4, Counts{0, 1, 0}}};
  EXPECT_EQ(postings(*stats, "session"), session);
  EXPECT_EQ(stats->document_frequency("absent"), 0u);
  EXPECT_TRUE(postings(*stats, "absent").empty());
  EXPECT_EQ(stats->length(0, PATH_FIELD), 2u);    // api, order
  EXPECT_EQ(stats->length(0, SYMBOL_FIELD), 4u);  // order; creat, order, createorder
  EXPECT_DOUBLE_EQ(stats->average_length(PATH_FIELD), (2 + 2 + 4 + 1 + 2) / 5.0);
}

TEST(TermStats, KeepsPriorsFlagsAndLinksOfEachFile) {
  const std::string bytes = sample_bytes();
  const auto stats = TermStats::open(bytes);
  ASSERT_TRUE(stats);
  EXPECT_DOUBLE_EQ(stats->prior(0), std::log(1.0 + 2.0));
  EXPECT_DOUBLE_EQ(stats->prior(3), std::log(1.0 + 100.0));  // the size is capped
  EXPECT_EQ(stats->flags(3), FILE_IS_CONFIG | FILE_HAS_VERSION);
  EXPECT_EQ(stats->flags(2), FILE_IS_TEST);
  EXPECT_EQ(list(stats->neighbours(0)), std::vector<std::uint32_t>({1, 2}));
  EXPECT_EQ(list(stats->neighbours(4)), std::vector<std::uint32_t>{});
  EXPECT_EQ(list(stats->companions(0)), std::vector<std::uint32_t>({2}));  // orders, test_orders
  EXPECT_EQ(list(stats->companions(1)), std::vector<std::uint32_t>{});     // "db" is too short
  EXPECT_EQ(stats->canonical(4), 1u);
  ASSERT_EQ(stats->edge_count(), 5u);
  const std::uint32_t edge_from[] = {0, 2, 0, 3, NO_FILE};
  const std::uint32_t edge_target[] = {1, 0, NO_FILE, NO_FILE, NO_FILE};
  for (std::size_t e = 0; e < 5; ++e) {
    EXPECT_EQ(stats->edge_from(e), edge_from[e]) << e;
    EXPECT_EQ(stats->edge_target(e), edge_target[e]) << e;
  }
}

TEST(TermStats, RefusesBytesThatAreNotWhole) {
  const std::string bytes = sample_bytes();
  EXPECT_FALSE(TermStats::open(bytes.substr(0, bytes.size() - 8)));
  EXPECT_FALSE(TermStats::open(bytes + std::string(8, '\0')));
  EXPECT_FALSE(TermStats::open(""));
  std::string other_layout = bytes;
  other_layout[0] ^= 0x7F;
  EXPECT_FALSE(TermStats::open(other_layout));
  // A neighbour list pointing past the files.
  TermStatsHeader header;
  std::memcpy(&header, bytes.data(), sizeof header);
  std::string bad_link = bytes;
  const std::uint32_t past = 99;
  std::memcpy(bad_link.data() + term_stats_offsets(header).neighbours, &past, sizeof past);
  EXPECT_FALSE(TermStats::open(bad_link));
}

TEST(TermStats, AnEmptyGraphHasNoFilesAndUnitAverages) {
  const std::string bytes = TermStatsBuilder().finish();
  const auto stats = TermStats::open(bytes);
  ASSERT_TRUE(stats);
  EXPECT_EQ(stats->file_count(), 0u);
  EXPECT_EQ(stats->average_length(CONTENT_FIELD), 1.0);
  EXPECT_EQ(stats->document_frequency("x"), 0u);
}

TEST(TermStats, ReadsSizesOfHandMadeNodesAsIntegers) {
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
