#include "plinthar/scanner/refresh/stats_update.hpp"

#include "plinthar/index/term_stats.hpp"

namespace plinthar::scanner {

std::optional<StatsUpdate> StatsUpdate::of(const index::GraphIndex& index) {
  const auto bytes = index.section(index::SectionKind::term_stats);
  const auto stats = bytes ? index::TermStats::open(*bytes) : std::nullopt;
  auto counted = stats ? counted_files(*stats) : std::nullopt;
  if (!counted) return std::nullopt;
  StatsUpdate update;
  update.file_of_node_.assign(index.node_count(), index::NO_FILE);
  for (std::size_t f = 0; f < stats->file_count(); ++f) {
    if (stats->node(f) >= update.file_of_node_.size()) return std::nullopt;
    update.file_of_node_[stats->node(f)] = static_cast<std::uint32_t>(f);
  }
  update.counted_ = std::move(*counted);
  return update;
}

void StatsUpdate::reused_file(const index::NodeRecord& node, std::size_t first,
                              std::size_t node_count) {
  const std::uint32_t file = file_of_node_[first];
  if (file == index::NO_FILE || node.kind != "file") {
    whole_ = false;
    return;
  }
  builder_.add_counted_file(node.id.text, counted_[file],
                            static_cast<std::uint32_t>(node_count - 1));
}

std::optional<std::string> StatsUpdate::finish() {
  if (!whole_) return std::nullopt;
  return builder_.finish();
}

}  // namespace plinthar::scanner
