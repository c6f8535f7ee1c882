#pragma once

// Where the commands get their graph, and the one place that decides to scan, to refresh
// or to write the graph index: the graph file is scanned first when it is missing,
// brought up to date with its project when asked, read for ranking (query/graph/ only
// reads), and its index is written, or completed with the term statistics, for the next
// call when it was missing or lacked them.

#include <filesystem>
#include <optional>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/query/graph/loaded_graph.hpp"

namespace plinthar::query {

// A project's graph file as it stands once brought up to date: open, with its index when
// that is current.
struct CurrentGraph {
  OpenGraphFile file;
  std::optional<index::GraphIndex> index;
};

// The graph file `graph_file` brought up to date as graph_for_ranking does, open but not
// read. Throws as graph_for_ranking does.
CurrentGraph current_graph(const std::filesystem::path& graph_file,
                           const std::filesystem::path& scan_root, bool refresh);

// `current` read for ranking, with the term statistics when `want_stats`, its index
// written for the next call when it was missing or lacked them. Throws as
// graph_for_ranking does.
LoadedGraph read_for_ranking(CurrentGraph current, bool want_stats);

// The graph of `graph_file`. When that file does not exist, a full scan of `scan_root`
// (with the graph file left out of it) is written there first, creating its folder.
// With `refresh`, an existing graph is first brought up to date with its tree, reading
// only the files that changed when its index holds a snapshot of the tree, else
// scanning in full the root it was scanned from (`scan_root` when that cannot be told).
// With `want_stats` the term statistics are loaded too. Throws plinthar::Error when the
// file cannot be read or written, is not UTF-8 or JSON, or does not hold a graph map.
LoadedGraph graph_for_ranking(const std::filesystem::path& graph_file,
                              const std::filesystem::path& scan_root, bool refresh,
                              bool want_stats);

}  // namespace plinthar::query
