#include "plinthar/scanner/graph_writer.hpp"

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

void write_edge(const Edge& edge, std::string& out) {
  out += "    {\n";
  write_edge_member("from", edge.from, out);
  out += ",\n";
  write_edge_member("to", edge.to, out);
  out += ",\n";
  write_edge_member("rel", edge.rel, out);
  out += "\n    }";
}

}  // namespace

void GraphText::add_node(const Json& node) {
  if (chunks_.empty() || chunks_.back().size() >= CHUNK_BYTES) {
    chunks_.emplace_back();
    chunks_.back().reserve(CHUNK_BYTES + CHUNK_BYTES / 4);
  }
  std::string& out = chunks_.back();
  if (node_count_ > 0) out += ",\n";
  out += "    ";
  text::write_pretty_nested(node, 2, out);
  ++node_count_;
}

void GraphText::write(std::string_view root, std::int64_t symbol_count,
                      const std::vector<Edge>& edges, const text::TextSink& emit) const {
  const auto node_count = static_cast<std::int64_t>(node_count_);
  std::string out = "{\n  \"root\": ";
  text::write_json_string(root, out);
  out += ",\n";
  write_count("node_count", node_count, out);
  write_count("edge_count", static_cast<std::int64_t>(edges.size()), out);
  write_count("file_count", node_count - symbol_count, out);
  write_count("symbol_count", symbol_count, out);
  if (node_count_ == 0) {
    out += "  \"nodes\": [],\n";
  } else {
    out += "  \"nodes\": [\n";
    emit(out);
    for (const std::string& chunk : chunks_) emit(chunk);
    out = "\n  ],\n";
  }
  out += "  \"edges\": ";
  if (edges.empty()) {
    out += "[]";
  } else {
    out += "[\n";
    for (std::size_t i = 0; i < edges.size(); ++i) {
      if (i > 0) out += ",\n";
      write_edge(edges[i], out);
      if (out.size() >= CHUNK_BYTES) {
        emit(out);
        out.clear();
      }
    }
    out += "\n  ]";
  }
  out += "\n}";
  emit(out);
}

ScanTotals write_graph_file(const std::filesystem::path& root, const std::filesystem::path& out,
                            const ExistingNodes& existing_nodes,
                            const std::set<std::filesystem::path>& excluded,
                            const NodeObserver& observe) {
  GraphText graph;
  const ScanTotals totals = scan_nodes(root, existing_nodes, excluded, [&](Json&& node) {
    graph.add_node(node);
    if (observe) observe(node);
  });
  text::write_file_atomically(out, [&](const text::TextSink& emit) {
    graph.write(root.string(), totals.symbol_count, totals.edges, emit);
  });
  return totals;
}

}  // namespace plinthar::scanner
