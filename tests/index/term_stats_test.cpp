#include "plinthar/index/term_stats.hpp"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::index {
namespace {

// Two files, one stem each, two terms, one edge from the second file to the first.
TermStatsParts sample_parts() {
  TermStatsParts parts;
  parts.node = {0, 3};
  parts.canonical = {0, 1};
  parts.length = {2, 0, 5, 1, 3, 0};
  parts.size = {10, 400000};
  parts.facts = {FACT_SOURCE, FACT_DOC};
  parts.stems = {"order", "readm"};
  parts.stem = {0, 1};
  parts.edge_from = {1};
  parts.edge_target = {0};
  parts.terms = {"alpha", "beta"};
  parts.postings = {{{0, {1, 0, 2}}, {1, {0, 0, 1}}}, {{1, {0, 300, 0}}}};
  return parts;
}

TEST(TermStats, ReadsBackWhatWasLaidOut) {
  const std::string bytes = term_stats_bytes(sample_parts());
  const auto stats = TermStats::open(bytes);
  ASSERT_TRUE(stats);
  EXPECT_EQ(stats->file_count(), 2u);
  EXPECT_EQ(stats->node(1), 3u);
  EXPECT_EQ(stats->length(1, SYMBOL_FIELD), 3u);
  EXPECT_DOUBLE_EQ(stats->average_length(PATH_FIELD), 1.5);
  EXPECT_EQ(stats->average_length(SYMBOL_FIELD), 1.5);
  EXPECT_EQ(stats->average_length(CONTENT_FIELD), 2.5);
  EXPECT_EQ(stats->size(1), 400000);
  EXPECT_EQ(stats->facts(1), FACT_DOC);
  EXPECT_EQ(stats->stem_text(stats->stem(1)), "readm");
  EXPECT_EQ(stats->edge_target(0), 0u);
  EXPECT_EQ(stats->document_frequency("alpha"), 2u);
  EXPECT_EQ(stats->document_frequency("gamma"), 0u);
  std::vector<std::uint32_t> counts;
  EXPECT_TRUE(stats->for_each_posting("beta", [&](const Posting& posting) {
    counts.push_back(posting.file);
    counts.push_back(posting.count[SYMBOL_FIELD]);
  }));
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{1, 300}));
}

TEST(TermStats, RefusesBytesThatAreNotWhole) {
  const std::string bytes = term_stats_bytes(sample_parts());
  EXPECT_FALSE(TermStats::open(bytes.substr(0, bytes.size() - 8)));
  EXPECT_FALSE(TermStats::open(bytes + std::string(8, '\0')));
  EXPECT_FALSE(TermStats::open(""));
  std::string other_layout = bytes;
  other_layout[0] ^= 0x7F;
  EXPECT_FALSE(TermStats::open(other_layout));
  TermStatsHeader header;
  std::memcpy(&header, bytes.data(), sizeof header);
  const TermStatsOffsets at = term_stats_offsets(header);
  const std::uint32_t past = 99;
  for (const std::uint64_t offset : {at.canonical, at.stem, at.edge_from, at.stem_start + 4}) {
    std::string bad = bytes;
    std::memcpy(bad.data() + offset, &past, sizeof past);
    EXPECT_FALSE(TermStats::open(bad)) << "array at " << offset;
  }
}

TEST(TermStats, DamagedPostingsStopTheirWalk) {
  TermStatsParts parts = sample_parts();
  const std::string bytes = term_stats_bytes(parts);
  TermStatsHeader header;
  std::memcpy(&header, bytes.data(), sizeof header);
  std::string bad = bytes;
  // The first posting's file delta made to point past the files.
  bad[term_stats_offsets(header).postings] = static_cast<char>(9 * 4);
  const auto stats = TermStats::open(bad);
  ASSERT_TRUE(stats);
  EXPECT_FALSE(stats->for_each_posting("alpha", [](const Posting&) {}));
  EXPECT_FALSE(stats->for_each_term([](std::string_view, const Posting&) {}));
}

}  // namespace
}  // namespace plinthar::index
