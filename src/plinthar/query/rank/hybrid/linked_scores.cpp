#include "plinthar/query/rank/hybrid/linked_scores.hpp"

#include <algorithm>
#include <string_view>

#include "plinthar/query/rank/hybrid/constants.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::query::hybrid {

namespace {

bool links_files(std::string_view rel) {
  return rel == "imports" || rel == "requires" || rel == "references";
}

// The two best scores of a group and the file holding the best.
struct GroupBest {
  std::size_t members = 0;
  double first = 0.0;
  double second = 0.0;
  std::uint32_t first_file = index::NO_FILE;

  void add(std::uint32_t file, double score) {
    ++members;
    if (first_file == index::NO_FILE || score > first) {
      second = first;
      first = score;
      first_file = file;
    } else {
      second = std::max(second, score);
    }
  }
  // The best score of the group's other members.
  double best_besides(std::uint32_t file) const { return file == first_file ? second : first; }
};

bool pairs_up(const index::TermStats& stats, std::uint32_t stem, const GroupBest& group) {
  return group.members >= 2 && group.members <= COMPANION_GROUP_MAX &&
         text::cp_length(stats.stem_text(stem)) >= COMPANION_STEM_MIN;
}

bool is_source(const index::TermStats& stats, std::uint32_t file) {
  return (stats.facts(file) & index::FACT_SOURCE) != 0;
}

}  // namespace

// Text scores are never negative, and unmatched files score 0, so going once through the
// edges gives every file the best score among the files linked to it.
std::vector<double> best_neighbour_scores(const index::GraphRecords& graph,
                                          const index::TermStats& stats, const TextScores& text) {
  std::vector<double> best(text.score.size(), 0.0);
  if (text.matched.empty()) return best;
  for (std::size_t e = 0; e < stats.edge_count(); ++e) {
    const std::uint32_t from = stats.edge_from(e);
    const std::uint32_t to = stats.edge_target(e);
    if (from == index::NO_FILE || to == index::NO_FILE || from == to ||
        !links_files(graph.edges[e].rel)) {
      continue;
    }
    best[from] = std::max(best[from], text.score[to]);
    best[to] = std::max(best[to], text.score[from]);
  }
  return best;
}

std::vector<double> best_companion_scores(const index::TermStats& stats, const TextScores& text) {
  std::vector<double> best(text.score.size(), 0.0);
  if (text.matched.empty()) return best;
  std::vector<GroupBest> groups(stats.stem_count());
  for (std::uint32_t file = 0; file < stats.file_count(); ++file) {
    if (is_source(stats, file)) groups[stats.stem(file)].add(file, text.score[file]);
  }
  for (std::uint32_t file = 0; file < stats.file_count(); ++file) {
    const std::uint32_t stem = stats.stem(file);
    if (is_source(stats, file) && pairs_up(stats, stem, groups[stem])) {
      best[file] = groups[stem].best_besides(file);
    }
  }
  return best;
}

}  // namespace plinthar::query::hybrid
