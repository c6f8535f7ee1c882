#include "plinthar/query/rank/hybrid/hybrid_edges.hpp"

#include <algorithm>
#include <string>

#include <absl/container/flat_hash_set.h>

#include "plinthar/query/rank/retrieval.hpp"
#include "plinthar/text/words.hpp"

namespace plinthar::query::hybrid {

namespace {

// Whether the symbol an edge "contains" (the part of its "to" after "::") is named by a
// term of the query.
bool names_query_term(std::string_view symbol_id, const absl::flat_hash_set<std::string>& terms) {
  const std::size_t colons = symbol_id.find("::");
  const std::string_view name =
      colons == std::string_view::npos ? symbol_id : symbol_id.substr(colons + 2);
  bool named = false;
  text::WordSplitter().for_each(
      name, [&](std::string_view word) { named = named || terms.contains(std::string(word)); });
  return named;
}

struct ScoredEdge {
  std::int64_t score;
  std::size_t edge;
};

std::vector<ScoredEdge> score_edges(const index::GraphRecords& graph, const index::TermStats& stats,
                                    const HybridQuery& query,
                                    const std::vector<RankedFile>& chosen) {
  std::vector<std::int64_t> chosen_score(stats.file_count(), 0);
  for (const RankedFile& row : chosen) chosen_score[stats.canonical(row.file)] = row.score;
  absl::flat_hash_set<std::string> terms;
  for (const WeightedTerm& term : query.terms) terms.insert(term.term);
  std::vector<ScoredEdge> scored;
  for (std::size_t e = 0; e < graph.edges.size(); ++e) {
    const std::uint32_t from = stats.edge_from(e);
    if (from == index::NO_FILE) continue;
    const index::EdgeRecord& edge = graph.edges[e];
    if (edge.rel == "contains") {
      if (chosen_score[from] > 0 && names_query_term(edge.to.text, terms)) {
        scored.push_back({chosen_score[from], e});
      }
      continue;
    }
    const std::uint32_t target = stats.edge_target(e);
    if (target == index::NO_FILE) continue;
    const std::uint32_t to = stats.canonical(target);
    const std::int64_t score = chosen_score[from] + chosen_score[to];
    if (score != 0 && to != from) scored.push_back({score, e});
  }
  return scored;
}

}  // namespace

std::vector<text::Json> choose_edges(const index::GraphRecords& graph,
                                     const index::TermStats& stats, const HybridQuery& query,
                                     const std::vector<RankedFile>& chosen,
                                     std::int64_t top_edges) {
  std::vector<ScoredEdge> scored = score_edges(graph, stats, query, chosen);
  std::sort(scored.begin(), scored.end(), [&](const ScoredEdge& a, const ScoredEdge& b) {
    if (a.score != b.score) return a.score > b.score;
    const index::EdgeRecord& x = graph.edges[a.edge];
    const index::EdgeRecord& y = graph.edges[b.edge];
    if (const int order = x.from.text.compare(y.from.text); order != 0) return order < 0;
    if (const int order = x.to.text.compare(y.to.text); order != 0) return order < 0;
    return a.edge < b.edge;
  });
  std::vector<text::Json> edges;
  const std::size_t count = take_count(scored.size(), top_edges);
  edges.reserve(count);
  for (std::size_t i = 0; i < count; ++i) edges.push_back(graph.edge_value(scored[i].edge));
  return edges;
}

}  // namespace plinthar::query::hybrid
