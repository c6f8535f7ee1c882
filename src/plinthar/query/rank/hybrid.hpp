#pragma once

// The hybrid ranking: a field-weighted BM25 of the task's terms over each file's path
// words, symbol names with keywords, and text, plus a size prior, a share of the best
// text score among the files it imports or is imported by and among its same-named
// companions, boosts for the kinds of file the task's wording asks for, and the
// capability index's boosts. Files only, one row each; the edges are those between and
// around the chosen files. The per-graph statistics come from the graph index
// (scanner/index/term_stats.hpp), so a query reads only its own terms' postings.

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "plinthar/query/graph/graph_records.hpp"
#include "plinthar/query/rank/capability_index.hpp"
#include "plinthar/query/rank/hybrid_query.hpp"
#include "plinthar/query/rank/retrieval.hpp"
#include "plinthar/scanner/index/term_stats.hpp"

namespace plinthar::query {

// A file (by its number in the statistics) and its integer score.
struct RankedFile {
  std::uint32_t file;
  std::int64_t score;
};

// The files scoring above 0, best first, ties by id then graph order; at most `limit`.
// `capability_boosts` holds the classic capability boosts of the query (may be empty).
std::vector<RankedFile> rank_files(const GraphRecords& graph, const scanner::TermStats& stats,
                                   const HybridQuery& query,
                                   const CapabilityBoosts& capability_boosts, std::size_t limit);

// The rows and relations of `query` under the hybrid ranking, in the shapes retrieve()
// gives: rows are file nodes without "content" plus "_score", "_role" and "_intent", and
// the fallbacks and limits are the same. `stats` must be those of `graph`.
RetrieveResult retrieve_hybrid(const GraphRecords& graph, const scanner::TermStats& stats,
                               std::string_view query, std::int64_t top_files,
                               std::int64_t top_edges,
                               const std::filesystem::path& capability_index);

}  // namespace plinthar::query
