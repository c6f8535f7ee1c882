#include "plinthar/scanner/graph_writer.hpp"

#include "plinthar/scanner/index/file_status.hpp"
#include "plinthar/scanner/index/graph_index.hpp"
#include "plinthar/scanner/index/term_stats_builder.hpp"
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

// Writes the edge object after its indent; returns where the object starts in `out`.
std::size_t write_edge(const Edge& edge, std::string& out) {
  out += "    ";
  const std::size_t start = out.size();
  out += "{\n";
  write_edge_member("from", edge.from, out);
  out += ",\n";
  write_edge_member("to", edge.to, out);
  out += ",\n";
  write_edge_member("rel", edge.rel, out);
  out += "\n    }";
  return start;
}

}  // namespace

GraphSpan GraphText::add_node(const Json& node) {
  if (chunks_.empty() || chunks_.back().size() >= CHUNK_BYTES) {
    chunks_.emplace_back();
    chunks_.back().reserve(CHUNK_BYTES + CHUNK_BYTES / 4);
  }
  std::string& out = chunks_.back();
  const std::size_t before = out.size();
  if (node_count_ > 0) out += ",\n";
  out += "    ";
  const std::size_t start = out.size();
  text::write_pretty_nested(node, 2, out);
  ++node_count_;
  const GraphSpan span{size_ + (start - before), out.size() - start};
  size_ += out.size() - before;
  return span;
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
                      const std::vector<Edge>& edges, const text::TextSink& emit,
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
      const std::size_t start = write_edge(edges[i], out);
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

std::string_view member_text(const Json& node, const char* key) {
  const auto found = node.find(key);
  return found == node.end() ? std::string_view() : found->get_ref<const std::string&>();
}

// The ranking record of a node the scanner made (every member a string), its texts kept
// in `texts`.
NodeRecord scanned_node_record(const Json& node, text::TextArena& texts) {
  NodeRecord record;
  record.id.text = texts.keep(member_text(node, "id"));
  record.id.present = true;
  record.kind = texts.keep(member_text(node, "kind"));
  record.ext = texts.keep(member_text(node, "ext"));
  record.confidence = texts.keep(member_text(node, "confidence"));
  record.summary = texts.keep(member_text(node, "summary"));
  std::vector<std::string_view> keywords;
  for (const Json& keyword : node["keywords"]) {
    keywords.push_back(keyword.get_ref<const std::string&>());
  }
  record.keywords = texts.join(keywords, ' ');
  return record;
}

EdgeRecord scanned_edge_record(const Edge& edge) {
  EdgeRecord record;
  record.from = {edge.from, nullptr, true};
  record.to = {edge.to, nullptr, true};
  record.rel = edge.rel;
  return record;
}

// Writes the index of the graph just written to `out` (`size` bytes whose hash is
// `hash`); a graph that is no longer the one written gets none.
void write_index_beside(const std::filesystem::path& out, GraphRecords& records, std::uint64_t size,
                        std::uint64_t hash, const ExtraSections& extra) {
  const auto status = file_status(out);
  if (!status || status->size != size) return;
  prepare_records(records);
  write_graph_index(
      index_path_for(out), records,
      {status->size, status->inode, status->device, status->mtime_ns, status->ctime_ns, hash},
      extra);
}

}  // namespace

ScanTotals write_graph_file(const std::filesystem::path& root, const std::filesystem::path& out,
                            const ExistingNodes& existing_nodes,
                            const std::set<std::filesystem::path>& excluded,
                            const NodeObserver& observe) {
  GraphText graph;
  GraphRecords records;
  TermStatsBuilder term_stats;
  const ScanTotals totals = scan_nodes(root, existing_nodes, excluded, [&](Json&& node) {
    records.node_spans.push_back(graph.add_node(node));
    records.nodes.push_back(scanned_node_record(node, records.texts));
    term_stats.add_node(stats_node_of(node));
    if (observe) observe(node);
  });
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
    graph.write(root_text, totals.symbol_count, totals.edges, hashed, &records.edge_spans);
  });
  for (const Edge& edge : totals.edges) {
    records.edges.push_back(scanned_edge_record(edge));
    term_stats.add_edge(edge.from, edge.to, edge.rel);
  }
  write_index_beside(out, records, size, hasher.value(),
                     {{index_format::SectionKind::term_stats, term_stats.finish()}});
  return totals;
}

}  // namespace plinthar::scanner
