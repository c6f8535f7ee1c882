#pragma once

// The text score of the hybrid ranking: a field-weighted BM25 (BM25F) of the task's terms
// over each file's path words, symbol names with keywords, and text.

#include <cstdint>
#include <vector>

#include "plinthar/index/term_stats.hpp"
#include "plinthar/query/rank/hybrid/hybrid_query.hpp"

namespace plinthar::query::hybrid {

// The text score of every file, and the files that have one, in the order first matched.
struct TextScores {
  std::vector<double> score;
  std::vector<std::uint32_t> matched;
};

// Reads only the postings of the query's terms. Scores add up term by term in the
// query's order, so that every file's sum is made in a fixed order.
TextScores text_scores(const index::TermStats& stats, const HybridQuery& query);

}  // namespace plinthar::query::hybrid
