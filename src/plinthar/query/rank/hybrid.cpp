#include "plinthar/query/rank/hybrid.hpp"

// Every constant was chosen on the tuning sample of bench/relevance (seed "tune", 150
// commits each of two projects), varying one at a time with the others at their final
// values; the numbers are mean recall@12 there (bench/relevance/DESIGN.md has the whole
// table). Arithmetic runs in doubles in a fixed order, so that the integer scores are the
// same as the reference model's (bench/relevance/hybrid_model.py).

#include <algorithm>
#include <cmath>

#include <absl/container/flat_hash_set.h>

#include "plinthar/query/rank/capability_index.hpp"
#include "plinthar/query/rank/query_analysis.hpp"
#include "plinthar/query/rank/scoring.hpp"
#include "plinthar/text/words.hpp"

namespace plinthar::query {

namespace {

using scanner::NO_FILE;
using scanner::TERM_FIELDS;
using scanner::TermStats;

// Field weights (path 1, 2, 3, 5: 0.899, 0.900, 0.900, 0.900; symbols 0, 1, 3: 0.900,
// kept at the text's weight so that names past the stored text still count).
constexpr double FIELD_WEIGHT[TERM_FIELDS] = {3.0, 1.0, 1.0};
// Length normalisation (path 0, 0.3, 0.7: 0.900; symbols 0, 0.5, 1: 0.900; text 0.3, 0.5,
// 0.75, 0.9: 0.893, 0.900, 0.895, 0.891).
constexpr double FIELD_B[TERM_FIELDS] = {0.3, 0.5, 0.5};
// Term saturation: 0.8, 1.2, 2, 3: 0.888, 0.900, 0.903, 0.893 (the usual value kept).
constexpr double K1 = 1.2;
// Weight of the size prior ln(1 + size / 1000): 0, 0.1, 0.2, 0.3: 0.836, 0.895, 0.900, 0.890.
constexpr double PRIOR = 0.2;
// Share of the best neighbour's text score: 0, 0.1, 0.2, 0.4: 0.888, 0.900, 0.895, 0.885.
constexpr double PROP_IMPORT = 0.1;
// Share of the best companion's: 0, 0.2, 0.4: 0.896, 0.900, 0.890.
constexpr double PROP_COMPANION = 0.2;
// Files declaring a version, for a version task: 0, 1, 2, 4: 0.888, 0.900, 0.900, 0.900.
constexpr double VERSION_BOOST = 2.0;
// Markdown files for a docs task: 0, 1, 2: 0.899, 0.900, 0.900.
constexpr double DOC_WORD_BOOST = 1.0;
// .json/.yaml/.yml files for a dependency, CI or config task: 0, 1, 2, 4: 0.884, 0.893,
// 0.900, 0.899.
constexpr double CONFIG_WORD_BOOST = 2.0;
// Test files for a test task: 0, 1, 2: 0.895, 0.900, 0.899.
constexpr double TEST_BOOST = 1.0;
// Per point of the classic capability boost (6 or more): the development projects have
// no capability index; 0.5 makes the weakest match worth a strong text match.
constexpr double CAP_WEIGHT = 0.5;
// The integer score keeps three decimals of the float score.
constexpr double SCORE_SCALE = 1000.0;

// BM25F text score of every file, and the files that have one.
struct TextScores {
  std::vector<double> score;
  std::vector<std::uint32_t> matched;
};

TextScores text_scores(const TermStats& stats, const HybridQuery& query) {
  const std::size_t files = stats.file_count();
  TextScores out{std::vector<double>(files, 0.0), {}};
  std::vector<char> is_matched(files, 0);
  double average[TERM_FIELDS];
  for (std::size_t f = 0; f < TERM_FIELDS; ++f) average[f] = stats.average_length(f);
  for (const WeightedTerm& term : query.terms) {
    const std::uint32_t df = stats.document_frequency(term.term);
    if (df == 0) continue;
    const double idf = term.weight * std::log(1.0 + (static_cast<double>(files - df) + 0.5) /
                                                        (static_cast<double>(df) + 0.5));
    stats.for_each_posting(term.term, [&](const scanner::Posting& posting) {
      double tf = 0.0;
      for (std::size_t f = 0; f < TERM_FIELDS; ++f) {
        const std::uint32_t count = posting.count[f];
        if (count == 0) continue;
        const double length = stats.length(posting.file, f);
        tf += FIELD_WEIGHT[f] * count / (1.0 - FIELD_B[f] + FIELD_B[f] * length / average[f]);
      }
      out.score[posting.file] += idf * tf / (K1 + tf);
      if (!is_matched[posting.file]) {
        is_matched[posting.file] = 1;
        out.matched.push_back(posting.file);
      }
    });
  }
  return out;
}

// For every file, the best text score among the files of `list_of` (neighbours or
// companions). The lists are symmetric, so only matched files need visiting.
template <typename ListOf>
std::vector<double> best_linked_score(const TextScores& text, ListOf list_of) {
  std::vector<double> best(text.score.size(), 0.0);
  for (const std::uint32_t file : text.matched) {
    const double score = text.score[file];
    const auto linked = list_of(file);
    for (std::size_t k = 0; k < linked.size(); ++k) {
      double& slot = best[linked[k]];
      slot = std::max(slot, score);
    }
  }
  return best;
}

std::int64_t integer_score(double score) {
  return static_cast<std::int64_t>(std::floor(score * SCORE_SCALE + 0.5));
}

std::string_view file_id(const GraphRecords& graph, const TermStats& stats, std::uint32_t file) {
  return graph.nodes[stats.node(file)].id.text;
}

}  // namespace

std::vector<RankedFile> rank_files(const GraphRecords& graph, const TermStats& stats,
                                   const HybridQuery& query,
                                   const CapabilityBoosts& capability_boosts, std::size_t limit) {
  const TextScores text = text_scores(stats, query);
  const std::vector<double> neighbour_best =
      best_linked_score(text, [&](std::uint32_t f) { return stats.neighbours(f); });
  const std::vector<double> companion_best =
      best_linked_score(text, [&](std::uint32_t f) { return stats.companions(f); });
  const bool capabilities = !capability_boosts.boosts.empty();
  std::vector<RankedFile> ranked;
  for (std::uint32_t file = 0; file < stats.file_count(); ++file) {
    const std::uint8_t flags = stats.flags(file);
    double v = text.score[file] + PRIOR * stats.prior(file);
    v += PROP_IMPORT * neighbour_best[file];
    v += PROP_COMPANION * companion_best[file];
    if (query.wants_version && (flags & scanner::FILE_HAS_VERSION) != 0) v += VERSION_BOOST;
    if (query.wants_docs && (flags & scanner::FILE_IS_DOC) != 0) v += DOC_WORD_BOOST;
    if (query.wants_config && (flags & scanner::FILE_IS_CONFIG) != 0) v += CONFIG_WORD_BOOST;
    if (query.wants_tests && (flags & scanner::FILE_IS_TEST) != 0) v += TEST_BOOST;
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

// Edges around the chosen files: an edge scores its chosen ends' scores (its "to"
// resolved to a file), so edges between two chosen files come first; "contains" edges
// count for a chosen file whose symbol a query term names. Relations to nothing in the
// graph are left out.
std::vector<ScoredEdge> score_edges(const GraphRecords& graph, const TermStats& stats,
                                    const HybridQuery& query,
                                    const std::vector<RankedFile>& chosen) {
  std::vector<std::int64_t> chosen_score(stats.file_count(), 0);
  for (const RankedFile& row : chosen) chosen_score[stats.canonical(row.file)] = row.score;
  absl::flat_hash_set<std::string> terms;
  for (const WeightedTerm& term : query.terms) terms.insert(term.term);
  std::vector<ScoredEdge> scored;
  for (std::size_t e = 0; e < graph.edges.size(); ++e) {
    const std::uint32_t from = stats.edge_from(e);
    if (from == NO_FILE) continue;
    const EdgeRecord& edge = graph.edges[e];
    if (edge.rel == "contains") {
      if (chosen_score[from] > 0 && names_query_term(edge.to.text, terms)) {
        scored.push_back({chosen_score[from], e});
      }
      continue;
    }
    const std::uint32_t target = stats.edge_target(e);
    if (target == NO_FILE) continue;
    const std::uint32_t to = stats.canonical(target);
    const std::int64_t score = chosen_score[from] + chosen_score[to];
    if (score != 0 && to != from) scored.push_back({score, e});
  }
  return scored;
}

std::vector<Json> choose_edges(const GraphRecords& graph, const TermStats& stats,
                               const HybridQuery& query, const std::vector<RankedFile>& chosen,
                               std::int64_t top_edges) {
  std::vector<ScoredEdge> scored = score_edges(graph, stats, query, chosen);
  std::sort(scored.begin(), scored.end(), [&](const ScoredEdge& a, const ScoredEdge& b) {
    if (a.score != b.score) return a.score > b.score;
    const EdgeRecord& x = graph.edges[a.edge];
    const EdgeRecord& y = graph.edges[b.edge];
    if (const int order = x.from.text.compare(y.from.text); order != 0) return order < 0;
    if (const int order = x.to.text.compare(y.to.text); order != 0) return order < 0;
    return a.edge < b.edge;
  });
  std::vector<Json> edges;
  const std::size_t count = take_count(scored.size(), top_edges);
  edges.reserve(count);
  for (std::size_t i = 0; i < count; ++i) edges.push_back(graph.edge_value(scored[i].edge));
  return edges;
}

}  // namespace

RetrieveResult retrieve_hybrid(const GraphRecords& graph, const TermStats& stats,
                               std::string_view query, std::int64_t top_files,
                               std::int64_t top_edges,
                               const std::filesystem::path& capability_index) {
  const HybridQuery hybrid = analyse_hybrid_query(query);
  const CapabilityBoosts caps = index_boosts(
      capability_file_boosts(tokenize_query(query), load_capability_index(capability_index)));
  const std::string_view intent = classify_intent(query);
  const std::vector<RankedFile> chosen = rank_files(
      graph, stats, hybrid, caps, static_cast<std::size_t>(std::max<std::int64_t>(top_files, 0)));

  RetrieveResult result;
  for (const RankedFile& row : chosen) {
    const NodeRecord& node = graph.nodes[stats.node(row.file)];
    result.files.push_back(result_row(graph.node_value(stats.node(row.file)), row.score,
                                      node_role(node.id.text, node.ext), intent));
  }
  result.edges = choose_edges(graph, stats, hybrid, chosen, top_edges);
  if (result.files.empty()) {
    result.files = first_entries(graph.nodes.size(), top_files, graph.node_value);
  }
  if (result.edges.empty()) {
    result.edges = first_entries(graph.edges.size(), top_edges, graph.edge_value);
  }
  return result;
}

}  // namespace plinthar::query
