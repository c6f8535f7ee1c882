#pragma once

// The graph index: a binary file beside a graph file holding the records that ranking
// reads (records.hpp), already prepared, where each node and edge stands in the graph
// file, and sections that other layers lay out (the tree snapshot of a refresh, the term
// statistics). It is valid only for the exact graph file it was made from and for this
// build; anything else (missing, truncated, damaged, foreign, old) reads as no index,
// and the graph file is read instead. It only ever saves time.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plinthar/index/index_format.hpp"
#include "plinthar/index/records.hpp"
#include "plinthar/text/file_io.hpp"

namespace plinthar::index {

using format::GraphIdentity;
using format::SectionKind;

// The index file of `graph_file`: beside it, its name's ".json" replaced by ".index"
// (or ".index" added).
std::filesystem::path graph_index_path(const std::filesystem::path& graph_file);

// The lock file of `graph_file` (text/file_lock.hpp), beside it: its name's ".json"
// replaced by ".lock" (or ".lock" added). Whoever replaces the graph file or its index
// holds it.
std::filesystem::path graph_lock_path(const std::filesystem::path& graph_file);

// The lock a background worker bringing `graph_file` up to date holds while it works,
// beside it: ".work" in place of ".json" (or added), so that one works at a time.
std::filesystem::path graph_work_lock_path(const std::filesystem::path& graph_file);

// What the open graph file `graph_fd` is now, with the hash of its content.
std::optional<GraphIdentity> graph_identity(int graph_fd, std::uint64_t content_hash);

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
  std::optional<std::string_view> section(SectionKind kind) const;

  // The kinds of the sections the index has, in the order they stand in it.
  std::vector<SectionKind> section_kinds() const;

  // Gives back the memory of a section read; it is read again if asked for. Views of it
  // taken before read as zero bytes afterwards.
  void release(SectionKind kind) const;

 private:
  GraphIndex(std::shared_ptr<const text::FileDescriptor> fd, std::unique_ptr<char[]> bytes,
             std::size_t size, const format::Header& header, std::vector<format::Section> sections);
  // Reads the section of `kind` into its place and checks it; false when it is missing
  // or damaged.
  bool load(SectionKind kind) const;

  std::shared_ptr<const text::FileDescriptor> fd_;  // kept open for the sections read later
  std::unique_ptr<char[]> bytes_;                   // the file's layout; sections as read
  std::size_t size_ = 0;
  format::Header header_{};
  std::vector<format::Section> sections_;  // by kind
  mutable std::vector<bool> loaded_;       // by kind
};

}  // namespace plinthar::index
