#pragma once

// The term statistics of a graph being rewritten by a refresh. Files taken over keep the
// statistics they have in the index as it stands, so that only the files read again are
// split into words.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/index/records.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::scanner {

class StatsUpdate {
 public:
  // Nothing when `index` has no statistics of the graph it describes.
  static std::optional<StatsUpdate> of(const index::GraphIndex& index);

  // The file whose nodes start at node `first` of the graph as it stands, `node_count`
  // nodes with its symbols.
  void reused_file(const index::NodeRecord& node, std::size_t first, std::size_t node_count);
  // A node scanned again, in graph order.
  void scanned_node(const text::Json& node) { builder_.add_node(stats_node_of(node)); }
  // The next edge of the new graph.
  void edge(std::string_view from, std::string_view to, std::string_view rel) {
    builder_.add_edge(from, to, rel);
  }
  // The section's bytes, when every file could be counted.
  std::optional<std::string> finish();

 private:
  StatsUpdate() = default;

  TermStatsBuilder builder_;
  std::vector<CountedFile> counted_;         // by file of the statistics as they stand
  std::vector<std::uint32_t> file_of_node_;  // NO_FILE for symbols
  bool whole_ = true;
};

}  // namespace plinthar::scanner
