#include "plinthar/scanner/refresh/standing_graph.hpp"

#include <algorithm>

#include <fcntl.h>

#include "plinthar/error.hpp"

namespace plinthar::scanner {
namespace fs = std::filesystem;

const index::GraphRecords& StandingGraph::records() {
  if (!records_) {
    records_ = index_.records();
    if (!records_) throw Error("the graph index changed while being read");
  }
  return *records_;
}

namespace {

// Bytes read ahead of a span asked for: a splice asks for the spans in file order, so
// the file is read once, a window at a time, and never held whole.
constexpr std::size_t READ_AHEAD = std::size_t{1} << 20;

}  // namespace

std::string_view StandingGraph::text(const index::GraphSpan& span) {
  const std::uint64_t end = span.offset + span.length;
  if (span.offset < window_offset_ || end > window_offset_ + window_.size()) {
    const std::uint64_t size = file_size();
    if (end > size || end < span.offset)
      throw Error("the graph file " + path_.string() + " changed while being read");
    window_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(
        size - span.offset, std::max<std::uint64_t>(span.length, READ_AHEAD))));
    window_offset_ = span.offset;
    if (!text::read_exactly_at(file_->get(), window_.data(), window_.size(), span.offset)) {
      throw Error("cannot read " + path_.string());
    }
  }
  return std::string_view(window_).substr(static_cast<std::size_t>(span.offset - window_offset_),
                                          static_cast<std::size_t>(span.length));
}

std::uint64_t StandingGraph::file_size() const { return index_.graph().file.size; }

namespace {

// Where each snapshot file's nodes and edges start; false when the counts do not add up
// to the records.
bool locate_files(StandingGraph& graph) {
  std::size_t nodes = 0;
  std::size_t edges = 0;
  for (const SnapshotFile& file : graph.snapshot().files) {
    graph.first_node.push_back(nodes);
    graph.first_edge.push_back(edges);
    nodes += file.node_count;
    edges += file.edge_count;
  }
  return nodes == graph.index().node_count() && edges == graph.index().edge_count();
}

}  // namespace

std::optional<StandingGraph> open_standing(const fs::path& graph_file, RefreshMode mode) {
  auto fd = std::make_shared<const text::FileDescriptor>(
      ::open(graph_file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd->get() < 0) return std::nullopt;
  auto index = index::GraphIndex::open(index::graph_index_path(graph_file), fd->get());
  if (!index) return std::nullopt;
  const auto section = index->section(index::format::SectionKind::snapshot);
  auto snapshot = section ? read_snapshot(*section) : std::nullopt;
  if (!snapshot || !snapshot->distinct_ids ||
      (mode == RefreshMode::full_scan && !snapshot->fresh)) {
    return std::nullopt;
  }
  StandingGraph graph(graph_file, std::move(fd), std::move(*index), std::move(*snapshot));
  if (!locate_files(graph)) return std::nullopt;
  return graph;
}

}  // namespace plinthar::scanner
