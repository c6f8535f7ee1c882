#pragma once

// Reading a graph file for ranking, from one open descriptor from start to finish: the
// records come from the graph index when it is current, else from the file's text (the
// fast walker, or the general parser for a graph it cannot vouch for); the term
// statistics of the hybrid ranking, when asked for, from the index when it has them,
// else built from the text in the same pass. Nothing is written here: what was read is
// handed back with what the caller needs to write the index for the next call.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/index/records.hpp"
#include "plinthar/index/term_stats.hpp"
#include "plinthar/query/graph/graph_file_text.hpp"
#include "plinthar/scanner/refresh/pending_graph.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using SharedFile = std::shared_ptr<const text::FileDescriptor>;

// A graph file open for reading; every read of it goes through this descriptor, so that
// a writer replacing the file meanwhile never mixes two versions.
struct OpenGraphFile {
  std::filesystem::path path;
  SharedFile fd;
};

// The graph file at `path` opened, or nothing when no file is there. Throws
// plinthar::Error when it is there but cannot be opened (a link there that `links` says
// not to follow among the reasons).
std::optional<OpenGraphFile> open_graph_file(const std::filesystem::path& path,
                                             text::Links links = text::Links::followed);

// A graph ready for ranking, with whatever its records view into.
class LoadedGraph {
 public:
  LoadedGraph(LoadedGraph&&) noexcept = default;
  LoadedGraph& operator=(LoadedGraph&&) noexcept = default;

  const index::GraphRecords& records() const { return records_; }
  // The index the records come from, when they come from one.
  const index::GraphIndex* index() const { return index_ ? &*index_ : nullptr; }
  // The term statistics, when they were asked for.
  const index::TermStats* term_stats() const { return stats_ ? &*stats_ : nullptr; }

  // The statistics' bytes when they were built here rather than read from the index.
  const std::string* built_term_stats() const { return built_stats_.get(); }
  // What the graph file was when its text was read here, when it did not change while
  // it was read and the records know where every node and edge stands in it: the index
  // of these records may then be written for it.
  const std::optional<index::GraphIdentity>& text_identity() const { return text_identity_; }

 private:
  friend LoadedGraph read_graph(const OpenGraphFile& file, std::optional<index::GraphIndex> index,
                                bool want_stats);
  friend std::optional<LoadedGraph> read_pending(std::shared_ptr<scanner::PendingGraph> pending,
                                                 bool want_stats);
  LoadedGraph() = default;

  std::optional<index::GraphIndex> index_;
  std::optional<GraphFileText> text_;
  std::unique_ptr<const text::Json> map_;
  std::unique_ptr<const std::string> built_stats_;
  index::GraphRecords records_;
  std::optional<index::TermStats> stats_;
  std::optional<index::GraphIdentity> text_identity_;
  std::shared_ptr<const scanner::PendingGraph> pending_;  // what the records view, if pending
};

// The graph open as `file`: its records from `index` when that is given (it must have
// been opened against `file.fd`), else from the file's text; with `want_stats`, the term
// statistics too. Throws plinthar::Error when the text has to be read and cannot be, is
// not UTF-8 or JSON, or does not hold a graph map, and when the statistics in the index
// do not describe its records.
LoadedGraph read_graph(const OpenGraphFile& file, std::optional<index::GraphIndex> index,
                       bool want_stats);

// A refreshed graph held in memory, not yet written (scanner/refresh/pending_graph.hpp),
// ready for ranking: no index is written for it. With `want_stats`, nothing when it has
// no term statistics.
std::optional<LoadedGraph> read_pending(std::shared_ptr<scanner::PendingGraph> pending,
                                        bool want_stats);

// The "root" member of the graph open as `file` when it is text; nothing when the file
// cannot be read as a graph.
std::optional<std::filesystem::path> recorded_root(const OpenGraphFile& file);

}  // namespace plinthar::query
