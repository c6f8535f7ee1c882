#include "plinthar/scanner/graph_writer.hpp"

#include "plinthar/scanner/index/file_status.hpp"
#include "plinthar/scanner/index/graph_index.hpp"
#include "plinthar/scanner/index/tree_snapshot.hpp"
#include "plinthar/text/content_hash.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json_writer.hpp"

// The layout follows write_pretty: two spaces per level, one member or element per line,
// "[]" for an empty list. Node texts are kept in chunks of about a megabyte, so they are
// never copied again while they pile up.

namespace plinthar::scanner {

namespace {

constexpr std::size_t CHUNK_BYTES = 1u << 20;

void write_count(std::string_view key, std::int64_t value, std::string& out) {
  out += "  \"";
  out += key;
  out += "\": ";
  out += std::to_string(value);
  out += ",\n";
}

void write_edge_member(std::string_view key, std::string_view value, std::string& out) {
  out += "      \"";
  out += key;
  out += "\": ";
  text::write_json_string(value, out);
}

}  // namespace

void write_edge_object(const Edge& edge, std::string& out) {
  out += "{\n";
  write_edge_member("from", edge.from, out);
  out += ",\n";
  write_edge_member("to", edge.to, out);
  out += ",\n";
  write_edge_member("rel", edge.rel, out);
  out += "\n    }";
}

namespace {

// Writes the edge object after its indent; returns where the object starts in `out`.
std::size_t write_edge(const Edge& edge, std::string& out) {
  out += "    ";
  const std::size_t start = out.size();
  write_edge_object(edge, out);
  return start;
}

}  // namespace

std::string& GraphText::chunk_with_room() {
  if (chunks_.empty() || chunks_.back().size() >= CHUNK_BYTES) {
    chunks_.emplace_back();
    chunks_.back().reserve(CHUNK_BYTES + CHUNK_BYTES / 4);
  }
  return chunks_.back();
}

void GraphText::start_node(std::string& out) const {
  if (node_count_ > 0) out += ",\n";
  out += "    ";
}

// The node written from `start` of `out` (whose text before it began at `before`).
GraphSpan GraphText::end_node(std::string& out, std::size_t before, std::size_t start) {
  ++node_count_;
  const GraphSpan span{size_ + (start - before), out.size() - start};
  size_ += out.size() - before;
  return span;
}

GraphSpan GraphText::add_node(const Json& node) {
  std::string& out = chunk_with_room();
  const std::size_t before = out.size();
  start_node(out);
  const std::size_t start = out.size();
  text::write_pretty_nested(node, 2, out);
  return end_node(out, before, start);
}

GraphSpan GraphText::add_node_text(std::string_view object_text) {
  std::string& out = chunk_with_room();
  const std::size_t before = out.size();
  start_node(out);
  const std::size_t start = out.size();
  out += object_text;
  return end_node(out, before, start);
}

std::string GraphText::head(std::string_view root, std::int64_t symbol_count,
                            std::size_t edge_count) const {
  const auto node_count = static_cast<std::int64_t>(node_count_);
  std::string out = "{\n  \"root\": ";
  text::write_json_string(root, out);
  out += ",\n";
  write_count("node_count", node_count, out);
  write_count("edge_count", static_cast<std::int64_t>(edge_count), out);
  write_count("file_count", node_count - symbol_count, out);
  write_count("symbol_count", symbol_count, out);
  out += node_count_ == 0 ? "  \"nodes\": []" : "  \"nodes\": [\n";
  return out;
}

std::uint64_t GraphText::node_list_offset(std::string_view root, std::int64_t symbol_count,
                                          std::size_t edge_count) const {
  return head(root, symbol_count, edge_count).size();
}

void GraphText::write(std::string_view root, std::int64_t symbol_count,
                      const std::vector<EdgeItem>& edges, const text::TextSink& emit,
                      std::vector<GraphSpan>* edge_spans) const {
  std::string out = head(root, symbol_count, edges.size());
  std::uint64_t written = 0;  // bytes handed to `emit`
  if (node_count_ == 0) {
    out += ",\n";
  } else {
    emit(out);
    written += out.size();
    for (const std::string& chunk : chunks_) emit(chunk);
    written += size_;
    out = "\n  ],\n";
  }
  out += "  \"edges\": ";
  if (edges.empty()) {
    out += "[]";
  } else {
    out += "[\n";
    for (std::size_t i = 0; i < edges.size(); ++i) {
      if (i > 0) out += ",\n";
      std::size_t start = out.size() + 4;
      if (edges[i].edge != nullptr) {
        start = write_edge(*edges[i].edge, out);
      } else {
        out += "    ";
        out += edges[i].text;
      }
      if (edge_spans != nullptr) edge_spans->push_back({written + start, out.size() - start});
      if (out.size() >= CHUNK_BYTES) {
        emit(out);
        written += out.size();
        out.clear();
      }
    }
    out += "\n  ]";
  }
  out += "\n}";
  emit(out);
}

namespace {

std::vector<EdgeItem> edge_items(const std::vector<Edge>& edges) {
  std::vector<EdgeItem> items;
  items.reserve(edges.size());
  for (const Edge& edge : edges) items.push_back({&edge, {}});
  return items;
}

}  // namespace

void write_index_beside(const std::filesystem::path& out, const GraphRecords& records,
                        std::uint64_t size, std::uint64_t hash, const TreeSnapshot& snapshot) {
  const auto status = file_status(out);
  if (!status || status->size != size) return;
  write_graph_index(
      index_path_for(out), records,
      {status->size, status->inode, status->device, status->mtime_ns, status->ctime_ns, hash},
      {{index_format::SectionKind::snapshot, snapshot_section(snapshot)}});
}

namespace {}  // namespace

ScanTotals write_graph_file(const std::filesystem::path& root, const std::filesystem::path& out,
                            const ExistingNodes& existing_nodes,
                            const std::set<std::filesystem::path>& excluded,
                            const NodeObserver& observe) {
  GraphText graph;
  GraphRecords records;
  SnapshotRecorder recorder(root.string(), existing_nodes.empty());
  const auto on_node = [&](Json&& node) {
    records.node_spans.push_back(graph.add_node(node));
    records.nodes.push_back(record_of_scanned_node(node, records.texts));
    if (observe) observe(node);
  };
  const ScanTotals totals =
      scan_nodes(root, existing_nodes, excluded, on_node, recorder.observer());
  const std::string root_text = root.string();
  const std::uint64_t list_offset =
      graph.node_list_offset(root_text, totals.symbol_count, totals.edges.size());
  for (GraphSpan& span : records.node_spans) span.offset += list_offset;
  text::ContentHasher hasher;
  std::uint64_t size = 0;
  text::write_file_atomically(out, [&](const text::TextSink& emit) {
    const auto hashed = [&](std::string_view piece) {
      hasher.add(piece);
      size += piece.size();
      emit(piece);
    };
    graph.write(root_text, totals.symbol_count, edge_items(totals.edges), hashed,
                &records.edge_spans);
  });
  for (const Edge& edge : totals.edges) records.edges.push_back(record_of_edge(edge));
  prepare_records(records);
  write_index_beside(out, records, size, hasher.value(), std::move(recorder).take());
  return totals;
}

}  // namespace plinthar::scanner
