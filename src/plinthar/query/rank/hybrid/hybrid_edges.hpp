#pragma once

// The relations the hybrid ranking prints: the edges between and around the files it
// chose.

#include <cstdint>
#include <vector>

#include "plinthar/index/records.hpp"
#include "plinthar/index/term_stats.hpp"
#include "plinthar/query/rank/hybrid/hybrid.hpp"
#include "plinthar/query/rank/hybrid/hybrid_query.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query::hybrid {

// An edge scores the scores of its chosen ends (its "to" resolved to a file), so edges
// between two chosen files come first; a "contains" edge counts for a chosen file whose
// symbol a query term names. Relations to nothing in the graph are left out. Best first,
// ties by "from", "to", then graph order; at most `top_edges` (list-slice semantics).
std::vector<text::Json> choose_edges(const index::GraphRecords& graph,
                                     const index::TermStats& stats, const HybridQuery& query,
                                     const std::vector<RankedFile>& chosen, std::int64_t top_edges);

}  // namespace plinthar::query::hybrid
