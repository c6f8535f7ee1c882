#include "plinthar/query/commands/graph_source.hpp"

#include <system_error>
#include <utility>

#include "plinthar/error.hpp"
#include "plinthar/index/graph_index_writer.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/scanner/refresh/refresh.hpp"
#include "plinthar/text/file_io.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;

namespace {

bool file_exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

void write_first_graph(const fs::path& graph_file, const fs::path& scan_root) {
  text::create_parent_directories(graph_file);
  scanner::write_graph_file(scan_root, graph_file, {}, {graph_file});
}

// The graph file as a refresh left it: open, with its index, when the refresh found the
// graph as it stood.
std::optional<CurrentGraph> refresh_graph(const fs::path& graph_file, const fs::path& scan_root) {
  auto refreshed = scanner::refresh_graph_file(graph_file, {graph_file},
                                               scanner::RefreshMode::full_scan, std::nullopt);
  if (refreshed && refreshed->index) {
    return CurrentGraph{OpenGraphFile{graph_file, refreshed->graph_file},
                        std::move(refreshed->index)};
  }
  if (!refreshed) {
    const auto standing = open_graph_file(graph_file);
    const auto root = standing ? recorded_root(*standing) : std::nullopt;
    scanner::write_graph_file(root.value_or(scan_root), graph_file, {}, {graph_file});
  }
  return std::nullopt;
}

OpenGraphFile open_existing(const fs::path& graph_file) {
  if (auto file = open_graph_file(graph_file)) return std::move(*file);
  throw Error("cannot read " + graph_file.string() + ": " +
              std::make_error_code(std::errc::no_such_file_or_directory).message());
}

// Writes what the next call would otherwise make again: the index of records read from
// the graph file's text, or the statistics added to the index they were missing from.
void write_index_for_next_call(const fs::path& graph_file, const LoadedGraph& graph) {
  const fs::path index_path = index::graph_index_path(graph_file);
  const std::string* stats = graph.built_term_stats();
  if (const index::GraphIndex* current = graph.index()) {
    if (stats != nullptr) {
      index::replace_sections(index_path, *current, {{index::SectionKind::term_stats, *stats}});
    }
    return;
  }
  if (!graph.text_identity()) return;
  index::ExtraSections extra;
  if (stats != nullptr) extra.emplace_back(index::SectionKind::term_stats, *stats);
  index::write_graph_index(index_path, graph.records(), *graph.text_identity(), extra);
}

}  // namespace

CurrentGraph current_graph(const fs::path& graph_file, const fs::path& scan_root, bool refresh) {
  if (!file_exists(graph_file)) {
    write_first_graph(graph_file, scan_root);
  } else if (refresh) {
    if (auto refreshed = refresh_graph(graph_file, scan_root)) return std::move(*refreshed);
  }
  CurrentGraph current{open_existing(graph_file), std::nullopt};
  current.index =
      index::GraphIndex::open(index::graph_index_path(graph_file), current.file.fd->get());
  return current;
}

LoadedGraph read_for_ranking(CurrentGraph current, bool want_stats) {
  LoadedGraph graph = read_graph(current.file, std::move(current.index), want_stats);
  write_index_for_next_call(current.file.path, graph);
  return graph;
}

LoadedGraph graph_for_ranking(const fs::path& graph_file, const fs::path& scan_root, bool refresh,
                              bool want_stats) {
  return read_for_ranking(current_graph(graph_file, scan_root, refresh), want_stats);
}

}  // namespace plinthar::query
