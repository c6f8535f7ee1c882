#pragma once

// Where the commands get their graph, and the one place that decides to scan, to refresh
// or to write the graph index: the graph file is scanned first when it is missing,
// brought up to date with its project when asked, read for ranking (query/graph/ only
// reads), and its index is written, or completed with the term statistics, for the next
// call when it was missing or lacked them.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/query/data/locations.hpp"
#include "plinthar/query/graph/loaded_graph.hpp"
#include "plinthar/scanner/refresh/refresh.hpp"

namespace plinthar::query {

// A project's graph file as it stands once brought up to date: open, with its index when
// that is current.
struct CurrentGraph {
  OpenGraphFile file;
  std::optional<index::GraphIndex> index;
};

// Where a graph comes from: its file, the root scanned when it has none (or must be
// scanned anew), and whether that root is the only one it may be of.
struct GraphPlace {
  std::filesystem::path graph_file;
  std::filesystem::path scan_root;
  bool root_fixed = false;
  text::Links links = text::Links::followed;  // at the graph file's own name
};

// The graph of the locations' project: its graph file, scanned from the default root.
GraphPlace graph_place(const Locations& locations);

// The graph file of `place` brought up to date as graph_for_ranking does, open but not
// read; a scan it needs counts the term statistics when `want_stats`. Throws as
// graph_for_ranking does.
CurrentGraph current_graph(const GraphPlace& place, bool refresh, bool want_stats);

// `current` read for ranking, with the term statistics when `want_stats`, its index
// written for the next call when it was missing or lacked them. Throws as
// graph_for_ranking does.
LoadedGraph read_for_ranking(CurrentGraph current, bool want_stats);

// What a caller with a time limit leaves to a process of its own (background_work.hpp)
// rather than do itself: a first scan, a refresh beyond `limits`, and the term statistics
// of a graph of more than `most_nodes_for_stats` nodes. It waits up to `wait` for that
// work, then answers from the graph as it stands when it can.
struct Deferral {
  std::chrono::milliseconds wait{0};
  // The wait when the graph as it stands can answer: a stale answer now beats a fresh
  // one seconds later.
  std::chrono::milliseconds wait_when_answerable{0};
  scanner::RefreshLimits limits;
  std::size_t most_nodes_for_stats = SIZE_MAX;
};

// The graph of `place`. When its file does not exist, a full scan of the scan root (with
// the graph file left out of it) is written there first, creating its folder. With
// `refresh`, an existing graph is first brought up to date with its tree, reading only
// the files that changed when its index holds a snapshot of the tree, else scanning in
// full the root it was scanned from (the scan root when that cannot be told, or when the
// root is fixed and the graph records another). With `want_stats` the term statistics
// are loaded too (and counted by such a scan as it reads the files). With `deferral`, work beyond
// it is done in the background; when it does not end within the wait, the graph as it stands is
// read (when it has the statistics asked for), else plinthar::Error says that it is being built.
// Throws plinthar::Error when the file cannot be read or written, is not UTF-8 or JSON, or does not
// hold a graph map.
LoadedGraph graph_for_ranking(const GraphPlace& place, bool refresh, bool want_stats,
                              const Deferral* deferral = nullptr);

}  // namespace plinthar::query
