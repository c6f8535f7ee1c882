#pragma once

// The shares of the hybrid ranking that a file takes from the files linked to it: the
// best text score among the files it imports, requires or mentions or that do so to it,
// and among its companions (source files of the same bare stem, in a small group: a
// module and its test, the layers of one feature).

#include <cstdint>
#include <span>
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

// The files linked to each of `files` by an edge (as best_neighbour_scores links them),
// and their companions, each list in file order without repeats.
std::vector<std::vector<std::uint32_t>> neighbours_of(const index::GraphRecords& graph,
                                                      const index::TermStats& stats,
                                                      std::span<const std::uint32_t> files);
std::vector<std::vector<std::uint32_t>> companions_of(const index::TermStats& stats,
                                                      std::span<const std::uint32_t> files);

}  // namespace plinthar::query::hybrid
