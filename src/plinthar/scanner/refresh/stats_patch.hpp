#pragma once

// The term statistics of a graph being rewritten by a refresh, when its files are the
// same ones in the same order as in the graph as it stands: patched from the statistics
// there (index/term_stats_patch.hpp), which costs what the files read again hold rather
// than what the whole graph holds.

#include <optional>
#include <string>
#include <vector>

#include "plinthar/scanner/refresh/standing_graph.hpp"
#include "plinthar/scanner/refresh/tree_diff.hpp"

namespace plinthar::scanner {

// The statistics' bytes for the graph of `files`, or nothing when `graph` has no
// statistics, its files are not the same ones, or a file's nodes are not of the shape a
// scan gives (StatsUpdate then counts them).
std::optional<std::string> patched_stats(const std::vector<Candidate>& files, StandingGraph& graph);

}  // namespace plinthar::scanner
