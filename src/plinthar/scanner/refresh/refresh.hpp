#pragma once

// Bringing a graph file up to date with its tree without scanning the tree whole: the
// snapshot in the graph's index tells which files changed since the graph was written;
// only those are read again, and everything else is copied from the graph file as it
// stands. The result is byte for byte the graph a whole scan gives.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/scanner/graph_writer.hpp"

namespace plinthar::scanner {

enum class RefreshMode {
  full_scan,      // the graph a full scan of the tree gives (crv)
  keep_analysis,  // the graph a rescan gives: a file whose text is unchanged keeps the
                  // keywords, content and summary of its earlier node (mapforge)
};

// How much work a refresh may take on; beyond it, it does none (RefreshResult::deferred),
// so that a caller with a time limit can leave the work to a process without one.
struct RefreshLimits {
  std::size_t most_files_read = SIZE_MAX;
  // A graph file larger than this is not rewritten (a file read again may change it).
  std::uint64_t most_graph_bytes = UINT64_MAX;
  // Whether a graph that changed is handed back in memory (RefreshResult::pending)
  // rather than written, for a caller that leaves the writing to a process of its own;
  // the graph's size then sets no limit.
  bool keep_graph_file = false;
};

struct PendingGraph;  // pending_graph.hpp

struct RefreshResult {
  bool deferred = false;       // more to do than the limits allow: nothing read or written
  bool rewritten = false;      // false when the graph file already matched the tree
  std::size_t files_read = 0;  // files read again
  std::int64_t node_count = 0;
  std::int64_t symbol_count = 0;
  std::int64_t edge_count = 0;
  // The index of the graph file, when the graph was not rewritten (its records still
  // describe the graph, whatever the index file on disk says of the tree now), and the
  // graph file it was checked against, open.
  std::optional<index::GraphIndex> index;
  std::shared_ptr<const text::FileDescriptor> graph_file;
  // The changed graph, when the limits kept the graph file as it stands.
  std::shared_ptr<PendingGraph> pending;
};

// Brings `graph_file` up to date with the tree that the snapshot in its index describes,
// reading only new and changed files, leaving out what `scope` leaves out as a scan does;
// when anything changed, the graph file and its index are rewritten as one, under the
// graph's lock. `root`, when given, must be the root the graph was scanned from.
// `observe`, when given, sees every symbol node of a rewritten graph (and may see file
// nodes). Nothing when the graph file has no current index with a snapshot fit for `mode`
// (or for `root`), or when other writers kept replacing it while it was looked at: the
// caller then scans in full. Throws plinthar::Error when the graph cannot be written, or
// when the snapshot's root is no longer a directory.
std::optional<RefreshResult> refresh_graph_file(const std::filesystem::path& graph_file,
                                                const ScanScope& scope, RefreshMode mode,
                                                const std::optional<std::filesystem::path>& root,
                                                const NodeObserver& observe = {},
                                                const RefreshLimits& limits = {});

}  // namespace plinthar::scanner
