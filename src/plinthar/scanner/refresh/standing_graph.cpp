#include "plinthar/scanner/refresh/standing_graph.hpp"

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

std::string_view StandingGraph::text(const index::GraphSpan& span) {
  if (!bytes_) bytes_ = platform::PaddedFile::read(file_->get(), 0, path_);
  return std::string_view(bytes_->data(), bytes_->size()).substr(span.offset, span.length);
}

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
