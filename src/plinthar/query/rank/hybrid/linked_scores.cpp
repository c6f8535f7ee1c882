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

// Calls `link(a, b)` for every edge that links two files, each way once.
template <typename Link>
void for_each_link(const index::GraphRecords& graph, const index::TermStats& stats, Link link) {
  for (std::size_t e = 0; e < stats.edge_count(); ++e) {
    const std::uint32_t from = stats.edge_from(e);
    const std::uint32_t to = stats.edge_target(e);
    if (from == index::NO_FILE || to == index::NO_FILE || from == to ||
        !links_files(graph.edges[e].rel)) {
      continue;
    }
    link(from, to);
    link(to, from);
  }
}

// The groups of files that pair as companions, by stem: their members in file order.
std::vector<GroupBest> stem_groups(const index::TermStats& stats, const TextScores& text) {
  std::vector<GroupBest> groups(stats.stem_count());
  for (std::uint32_t file = 0; file < stats.file_count(); ++file) {
    if (is_source(stats, file)) groups[stats.stem(file)].add(file, text.score[file]);
  }
  return groups;
}

bool has_companions(const index::TermStats& stats, const std::vector<GroupBest>& groups,
                    std::uint32_t file) {
  const std::uint32_t stem = stats.stem(file);
  return is_source(stats, file) && pairs_up(stats, stem, groups[stem]);
}

void sort_unique(std::vector<std::uint32_t>& list) {
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
}

}  // namespace

// Text scores are never negative, and unmatched files score 0, so going once through the
// edges gives every file the best score among the files linked to it.
std::vector<double> best_neighbour_scores(const index::GraphRecords& graph,
                                          const index::TermStats& stats, const TextScores& text) {
  std::vector<double> best(text.score.size(), 0.0);
  if (text.matched.empty()) return best;
  for_each_link(graph, stats, [&](std::uint32_t file, std::uint32_t linked) {
    best[file] = std::max(best[file], text.score[linked]);
  });
  return best;
}

std::vector<double> best_companion_scores(const index::TermStats& stats, const TextScores& text) {
  std::vector<double> best(text.score.size(), 0.0);
  if (text.matched.empty()) return best;
  const std::vector<GroupBest> groups = stem_groups(stats, text);
  for (std::uint32_t file = 0; file < stats.file_count(); ++file) {
    if (has_companions(stats, groups, file))
      best[file] = groups[stats.stem(file)].best_besides(file);
  }
  return best;
}

std::vector<std::vector<std::uint32_t>> neighbours_of(const index::GraphRecords& graph,
                                                      const index::TermStats& stats,
                                                      std::span<const std::uint32_t> files) {
  std::vector<std::vector<std::uint32_t>> lists(files.size());
  std::vector<std::uint32_t> slot(stats.file_count(), index::NO_FILE);
  for (std::uint32_t i = 0; i < files.size(); ++i) slot[files[i]] = i;
  for_each_link(graph, stats, [&](std::uint32_t file, std::uint32_t linked) {
    if (slot[file] != index::NO_FILE) lists[slot[file]].push_back(linked);
  });
  for (auto& list : lists) sort_unique(list);
  return lists;
}

std::vector<std::vector<std::uint32_t>> companions_of(const index::TermStats& stats,
                                                      std::span<const std::uint32_t> files) {
  const std::vector<GroupBest> groups =
      stem_groups(stats, TextScores{std::vector<double>(stats.file_count(), 0.0), {}});
  std::vector<std::vector<std::uint32_t>> lists(files.size());
  for (std::uint32_t other = 0; other < stats.file_count(); ++other) {
    if (!is_source(stats, other)) continue;
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (other != files[i] && stats.stem(other) == stats.stem(files[i]) &&
          has_companions(stats, groups, files[i])) {
        lists[i].push_back(other);
      }
    }
  }
  return lists;
}

}  // namespace plinthar::query::hybrid
