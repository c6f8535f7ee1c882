#pragma once

// The hybrid ranking: a field-weighted BM25 of the task's terms over each file's path
// words, symbol names with keywords, and text (text_scores), plus a size prior, a share
// of the best text score among the files it imports or is imported by and among its
// same-named companions (linked_scores), boosts for the kinds of file the task's wording
// asks for, and the capability index's boosts. Files only, one row each; the edges are
// those between and around the chosen files (hybrid_edges). The index holds the facts
// it weighs (index/term_stats.hpp); every weight is in constants.hpp.

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "plinthar/index/records.hpp"
#include "plinthar/index/term_stats.hpp"
#include "plinthar/query/rank/capability_index.hpp"
#include "plinthar/query/rank/hybrid/hybrid_query.hpp"
#include "plinthar/query/rank/retrieval.hpp"

namespace plinthar::query::hybrid {

// A file (by its number in the statistics) and its integer score.
struct RankedFile {
  std::uint32_t file;
  std::int64_t score;
};

// The files scoring above 0, best first, ties by id then graph order; at most `limit`.
// `capability_boosts` holds the classic capability boosts of the query (may be empty).
std::vector<RankedFile> rank_files(const index::GraphRecords& graph, const index::TermStats& stats,
                                   const HybridQuery& query,
                                   const CapabilityBoosts& capability_boosts, std::size_t limit);

}  // namespace plinthar::query::hybrid

namespace plinthar::query {

// The rows and relations of `query` under the hybrid ranking, in the shapes retrieve()
// gives: rows are file nodes without "content" plus "_score", "_role" and "_intent", and
// the fallbacks and limits are the same. `stats` must be those of `graph`.
RetrieveResult retrieve_hybrid(const index::GraphRecords& graph, const index::TermStats& stats,
                               std::string_view query, std::int64_t top_files,
                               std::int64_t top_edges,
                               const std::filesystem::path& capability_index);

}  // namespace plinthar::query
