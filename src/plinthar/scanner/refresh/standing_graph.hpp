#pragma once

// The graph file as a refresh finds it: open, with its index and the snapshot of the
// tree it was scanned from, and where each snapshot file's nodes and edges stand. The
// records and the file's bytes are read only when a file changed, the bytes a window at
// a time.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/index/records.hpp"
#include "plinthar/scanner/refresh/refresh.hpp"
#include "plinthar/scanner/tree_snapshot.hpp"
#include "plinthar/text/file_io.hpp"

namespace plinthar::scanner {

// The graph file as it stands, with what its index says of it. The records and the
// file's bytes are read only when a file changed.
class StandingGraph {
 public:
  StandingGraph(std::filesystem::path path, std::shared_ptr<const text::FileDescriptor> file,
                index::GraphIndex index, TreeSnapshot snapshot)
      : path_(std::move(path)),
        file_(std::move(file)),
        index_(std::move(index)),
        snapshot_(std::move(snapshot)) {}

  const index::GraphIndex& index() const { return index_; }
  const std::shared_ptr<const text::FileDescriptor>& file() const { return file_; }
  index::GraphIndex take_index() { return std::move(index_); }
  const TreeSnapshot& snapshot() const { return snapshot_; }
  std::vector<std::size_t> first_node;  // per snapshot file: its first node and edge
  std::vector<std::size_t> first_edge;

  // The records of the index, read when first asked for. Throws plinthar::Error when the
  // index can no longer be read.
  const index::GraphRecords& records();
  // The records, given up (they view into the index's bytes: take the index too).
  index::GraphRecords take_records() {
    records();
    return std::move(*records_);
  }

  // The text of `span` of the graph file, valid until the next call. Spans asked for in
  // file order are read a window at a time. Throws plinthar::Error when it cannot be
  // read.
  std::string_view text(const index::GraphSpan& span);

 private:
  std::filesystem::path path_;
  std::shared_ptr<const text::FileDescriptor> file_;
  index::GraphIndex index_;
  TreeSnapshot snapshot_;
  std::uint64_t file_size() const;

  std::optional<index::GraphRecords> records_;
  std::string window_;  // bytes of the graph file from window_offset_ on
  std::uint64_t window_offset_ = 0;
};

// The graph file `graph_file` as it stands, when its index is current and holds a
// snapshot fit for `mode` whose files add up to the records; nothing otherwise.
std::optional<StandingGraph> open_standing(const std::filesystem::path& graph_file,
                                           RefreshMode mode);

}  // namespace plinthar::scanner
