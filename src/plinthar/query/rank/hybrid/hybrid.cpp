#include "plinthar/query/rank/hybrid/hybrid.hpp"

// Arithmetic runs in doubles in a fixed order, so that the integer scores are the same as
// the reference model's (bench/relevance/hybrid_model.py).

#include <algorithm>
#include <cmath>

#include "plinthar/query/rank/capability_index.hpp"
#include "plinthar/query/rank/hybrid/class_damping.hpp"
#include "plinthar/query/rank/hybrid/constants.hpp"
#include "plinthar/query/rank/hybrid/hybrid_edges.hpp"
#include "plinthar/query/rank/hybrid/linked_scores.hpp"
#include "plinthar/query/rank/hybrid/named_files.hpp"
#include "plinthar/query/rank/hybrid/text_scores.hpp"
#include "plinthar/query/rank/query_analysis.hpp"
#include "plinthar/query/rank/scoring.hpp"

namespace plinthar::query::hybrid {

namespace {

double size_prior(std::int64_t size) {
  return std::log(1.0 + static_cast<double>(std::min(size, PRIOR_CAP)) / 1000.0);
}

// `score` with the boosts for the kinds of file the task's wording asks for, each added
// in turn (as the reference model adds them, so that the sums round alike).
double add_wording_boosts(double score, const HybridQuery& query, std::uint8_t facts) {
  if (query.wants_version && (facts & index::FACT_VERSION) != 0) score += VERSION_BOOST;
  if (query.wants_docs && (facts & index::FACT_DOC) != 0) score += DOC_WORD_BOOST;
  if (query.wants_config && (facts & index::FACT_CONFIG) != 0) score += CONFIG_WORD_BOOST;
  if (query.wants_tests && (facts & index::FACT_TEST) != 0) score += TEST_BOOST;
  return score;
}

std::int64_t integer_score(double score) {
  return static_cast<std::int64_t>(std::floor(score * SCORE_SCALE + 0.5));
}

std::string_view file_id(const index::GraphRecords& graph, const index::TermStats& stats,
                         std::uint32_t file) {
  return graph.nodes[stats.node(file)].id.text;
}

}  // namespace

std::vector<RankedFile> rank_files(const index::GraphRecords& graph, const index::TermStats& stats,
                                   const HybridQuery& query,
                                   const CapabilityBoosts& capability_boosts, std::size_t limit) {
  const TextScores text = text_scores(stats, query);
  const std::vector<double> neighbour_best = best_neighbour_scores(graph, stats, text);
  const std::vector<double> companion_best = best_companion_scores(stats, text);
  const std::vector<char> named = named_files(graph, stats, query.named_keys);
  const double best_text =
      text.score.empty() ? 0.0 : *std::max_element(text.score.begin(), text.score.end());
  const bool capabilities = !capability_boosts.boosts.empty();
  std::vector<RankedFile> ranked;
  for (std::uint32_t file = 0; file < stats.file_count(); ++file) {
    double v = text.score[file] + PRIOR * size_prior(stats.size(file));
    if (is_damped(file_id(graph, stats, file), stats.facts(file), query)) v *= CLASS_DAMP;
    v += PROP_IMPORT * neighbour_best[file];
    v += PROP_COMPANION * companion_best[file];
    v = add_wording_boosts(v, query, stats.facts(file));
    if (named[file]) v += NAMED_FILE_SHARE * best_text;
    if (capabilities) {
      v += CAP_WEIGHT *
           static_cast<double>(capability_boost(file_id(graph, stats, file), capability_boosts));
    }
    const std::int64_t score = integer_score(v);
    if (score > 0) ranked.push_back({file, score});
  }
  const auto before = [&](const RankedFile& a, const RankedFile& b) {
    if (a.score != b.score) return a.score > b.score;
    const int order = file_id(graph, stats, a.file).compare(file_id(graph, stats, b.file));
    if (order != 0) return order < 0;
    return a.file < b.file;
  };
  const std::size_t kept = std::min(limit, ranked.size());
  std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(kept),
                    ranked.end(), before);
  ranked.resize(kept);
  return ranked;
}

}  // namespace plinthar::query::hybrid

namespace plinthar::query {

RetrieveResult retrieve_hybrid(const index::GraphRecords& graph, const index::TermStats& stats,
                               std::string_view query, std::int64_t top_files,
                               std::int64_t top_edges,
                               const std::filesystem::path& capability_index) {
  const hybrid::HybridQuery analysed = hybrid::analyse_hybrid_query(query);
  const CapabilityBoosts caps = index_boosts(
      capability_file_boosts(tokenize_query(query), load_capability_index(capability_index)));
  const std::string_view intent = classify_intent(query);
  const std::vector<hybrid::RankedFile> chosen = hybrid::rank_files(
      graph, stats, analysed, caps, static_cast<std::size_t>(std::max<std::int64_t>(top_files, 0)));

  RetrieveResult result;
  for (const hybrid::RankedFile& row : chosen) {
    const index::NodeRecord& node = graph.nodes[stats.node(row.file)];
    result.files.push_back(result_row(graph.node_value(stats.node(row.file)), row.score,
                                      node_role(node.id.text, node.ext), intent));
  }
  result.edges = hybrid::choose_edges(graph, stats, analysed, chosen, top_edges);
  if (result.files.empty()) {
    result.files = first_entries(graph.nodes.size(), top_files, graph.node_value);
  }
  if (result.edges.empty()) {
    result.edges = first_entries(graph.edges.size(), top_edges, graph.edge_value);
  }
  return result;
}

}  // namespace plinthar::query
