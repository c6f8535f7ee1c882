#pragma once

// The shares of the hybrid ranking that a file takes from the files linked to it: the
// best text score among the files it imports, requires or mentions or that do so to it,
// and among its companions (source files of the same bare stem, in a small group: a
// module and its test, the layers of one feature).

#include <vector>

#include "plinthar/index/records.hpp"
#include "plinthar/index/term_stats.hpp"
#include "plinthar/query/rank/hybrid/text_scores.hpp"

namespace plinthar::query::hybrid {

// For every file, the best text score among the files an edge links it to, either way
// ("imports", "requires" and "references" edges whose "to" resolves to another file);
// 0 when none has one.
std::vector<double> best_neighbour_scores(const index::GraphRecords& graph,
                                          const index::TermStats& stats, const TextScores& text);

// For every file, the best text score among its companions; 0 when none has one.
std::vector<double> best_companion_scores(const index::TermStats& stats, const TextScores& text);

}  // namespace plinthar::query::hybrid
