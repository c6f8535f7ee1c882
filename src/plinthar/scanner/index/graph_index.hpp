#pragma once

// The graph index: a binary file beside a graph file holding the records that ranking
// reads (scanner/index/records.hpp), already prepared, and where each node and edge
// stands in the graph file. It is valid only for the exact graph file it was made from
// and for this build; anything else (missing, truncated, damaged, foreign, old) reads as
// no index, and the graph file is read instead. It only ever saves time.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plinthar/scanner/index/index_format.hpp"
#include "plinthar/scanner/index/records.hpp"
#include "plinthar/text/file_io.hpp"

namespace plinthar::scanner {

using index_format::GraphIdentity;

// The index file of `graph_file`: beside it, its name's ".json" replaced by ".index"
// (or ".index" added).
std::filesystem::path index_path_for(const std::filesystem::path& graph_file);

// What the open graph file `graph_fd` is now, with the hash of its content.
std::optional<GraphIdentity> graph_identity(int graph_fd, std::uint64_t content_hash);

// Sections of the index that other modules lay out (the tree snapshot, the term
// statistics), by kind; the index keeps their bytes as they are.
using ExtraSections = std::vector<std::pair<index_format::SectionKind, std::string>>;

// The bytes of the index of `records`, which must be prepared, hold only string members
// and carry their spans, read from a graph file that was `graph`.
std::string index_bytes(const GraphRecords& records, const GraphIdentity& graph,
                        const ExtraSections& extra = {});

// Replaces `index_path` with the index of `records` (as index_bytes); false when it
// cannot be written, which costs only speed.
bool write_graph_index(const std::filesystem::path& index_path, const GraphRecords& records,
                       const GraphIdentity& graph, const ExtraSections& extra = {});

class GraphIndex {
 public:
  // The index at `index_path` when it is whole, written by this build, and made from the
  // graph file open as `graph_fd` as it is now; nothing otherwise.
  static std::optional<GraphIndex> open(const std::filesystem::path& index_path, int graph_fd);

  // Prepared records viewing into this index, with their spans; nothing when the rows
  // refer to texts or graph bytes that are not there. `node_value` and `edge_value` are
  // left for the caller, who has the graph file.
  std::optional<GraphRecords> records() const;

  // How many nodes and edges the index holds.
  std::size_t node_count() const;
  std::size_t edge_count() const;

  // What the graph file was when the index was made.
  GraphIdentity graph() const;

  // The bytes of a section, read when first asked for; nothing when the index has none
  // of that kind or it is damaged.
  std::optional<std::string_view> section(index_format::SectionKind kind) const;

 private:
  GraphIndex(std::shared_ptr<const text::FileDescriptor> fd, std::unique_ptr<char[]> bytes,
             std::size_t size, const index_format::Header& header,
             std::vector<index_format::Section> sections);
  // Reads the section of `kind` into its place and checks it; false when it is missing
  // or damaged.
  bool load(index_format::SectionKind kind) const;
  // Gives back the memory of a section read; it is read again if asked for.
  void release(index_format::SectionKind kind) const;

  std::shared_ptr<const text::FileDescriptor> fd_;  // kept open for the sections read later
  std::unique_ptr<char[]> bytes_;                   // the file's layout; sections as read
  std::size_t size_ = 0;
  index_format::Header header_{};
  std::vector<index_format::Section> sections_;  // by kind
  mutable std::vector<bool> loaded_;             // by kind
};

}  // namespace plinthar::scanner
