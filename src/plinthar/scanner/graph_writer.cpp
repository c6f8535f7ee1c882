#include "plinthar/scanner/graph_writer.hpp"

#include <cerrno>
#include <cstring>
#include <future>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "plinthar/error.hpp"
#include "plinthar/index/graph_index.hpp"
#include "plinthar/scanner/discovery.hpp"
#include "plinthar/scanner/scanned_records.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"
#include "plinthar/scanner/tree_snapshot.hpp"
#include "plinthar/text/content_hash.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/file_lock.hpp"
#include "plinthar/text/file_status.hpp"
#include "plinthar/text/json_writer.hpp"

// The layout follows write_pretty: two spaces per level, one member or element per line,
// "[]" for an empty list. Node texts are kept in chunks of about a megabyte, so they are
// never copied again while they pile up; a graph written to a file moves its full chunks
// into an unnamed file beside it, so that memory holds one chunk, not the graph.

namespace plinthar::scanner {
namespace fs = std::filesystem;

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

// The text of a graph file up to its first node: the root, the counts, the opening of
// the node list (or the whole of an empty one).
std::string graph_head(std::string_view root, std::int64_t node_count, std::int64_t symbol_count,
                       std::size_t edge_count) {
  std::string out = "{\n  \"root\": ";
  text::write_json_string(root, out);
  out += ",\n";
  write_count("node_count", node_count, out);
  write_count("edge_count", static_cast<std::int64_t>(edge_count), out);
  write_count("file_count", node_count - symbol_count, out);
  write_count("symbol_count", symbol_count, out);
  out += node_count == 0 ? "  \"nodes\": []" : "  \"nodes\": [\n";
  return out;
}

}  // namespace

namespace {

// An unnamed file in `folder`, gone when closed; a named one removed at once where the
// file system cannot make unnamed ones.
int unnamed_file_in(const fs::path& folder) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string name = (folder / ".plinthar-spill-XXXXXX").string();
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

[[noreturn]] void fail_spill(const fs::path& folder) {
  throw Error("cannot keep the graph text in " + folder.string() + ": " + std::strerror(errno));
}

}  // namespace

GraphText::GraphText(const fs::path& spill_folder) : spill_folder_(spill_folder) {
  const int fd = unnamed_file_in(spill_folder);
  if (fd < 0) fail_spill(spill_folder);
  spill_ = std::make_unique<text::FileDescriptor>(fd);
}

void GraphText::spill_full_chunk() {
  if (!text::write_all(spill_->get(), chunks_.back())) fail_spill(spill_folder_);
  spilled_ += chunks_.back().size();
  chunks_.back().clear();  // its room serves the next chunk
}

std::string& GraphText::chunk_with_room() {
  if (!chunks_.empty() && chunks_.back().size() >= CHUNK_BYTES && spill_) spill_full_chunk();
  if (chunks_.empty() || chunks_.back().size() >= CHUNK_BYTES) {
    chunks_.emplace_back();
    chunks_.back().reserve(CHUNK_BYTES + CHUNK_BYTES / 4);
  }
  return chunks_.back();
}

index::GraphSpan GraphText::add_node(const Json& node) {
  std::string& out = chunk_with_room();
  const std::size_t before = out.size();
  if (node_count_ > 0) out += ",\n";
  out += "    ";
  const std::size_t start = out.size();
  text::write_pretty_nested(node, 2, out);
  ++node_count_;
  const index::GraphSpan span{size_ + (start - before), out.size() - start};
  size_ += out.size() - before;
  return span;
}

std::uint64_t GraphText::node_list_offset(std::string_view root, std::int64_t symbol_count,
                                          std::size_t edge_count) const {
  return graph_head(root, static_cast<std::int64_t>(node_count_), symbol_count, edge_count).size();
}

void GraphText::write(std::string_view root, std::int64_t symbol_count,
                      const std::vector<Edge>& edges, const text::TextSink& emit,
                      std::vector<index::GraphSpan>* edge_spans) const {
  GraphStream stream(emit, root, static_cast<std::int64_t>(node_count_), symbol_count,
                     edges.size());
  if (spilled_ > 0) {
    std::string piece(CHUNK_BYTES, '\0');
    for (std::uint64_t at = 0; at < spilled_;) {
      const ssize_t got =
          ::pread(spill_->get(), piece.data(), piece.size(), static_cast<off_t>(at));
      if (got <= 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) errno = EIO;
        fail_spill(spill_folder_);
      }
      stream.joined_nodes(std::string_view(piece.data(), static_cast<std::size_t>(got)), 0);
      at += static_cast<std::uint64_t>(got);
    }
  }
  for (std::size_t i = 0; i < chunks_.size(); ++i) {
    stream.joined_nodes(chunks_[i], i + 1 == chunks_.size() ? node_count_ : 0);
  }
  for (const Edge& edge : edges) {
    const index::GraphSpan span = stream.edge(edge);
    if (edge_spans != nullptr) edge_spans->push_back(span);
  }
  stream.finish();
}

GraphStream::GraphStream(const text::TextSink& emit, std::string_view root, std::int64_t node_count,
                         std::int64_t symbol_count, std::size_t edge_count)
    : emit_(emit),
      out_(graph_head(root, node_count, symbol_count, edge_count)),
      node_count_(node_count),
      edge_count_(edge_count) {}

std::uint64_t GraphStream::start_node() {
  if (nodes_++ > 0) out_ += ",\n";
  out_ += "    ";
  return position();
}

index::GraphSpan GraphStream::node(std::string_view object_text) {
  const std::uint64_t start = start_node();
  out_ += object_text;
  const index::GraphSpan span{start, object_text.size()};
  flush_when_full();
  return span;
}

index::GraphSpan GraphStream::node(const Json& node) {
  const std::uint64_t start = start_node();
  text::write_pretty_nested(node, 2, out_);
  const index::GraphSpan span{start, position() - start};
  flush_when_full();
  return span;
}

void GraphStream::joined_nodes(std::string_view text, std::size_t count) {
  emit_(out_);
  flushed_ += out_.size();
  out_.clear();
  emit_(text);
  flushed_ += text.size();
  nodes_ += count;
}

std::uint64_t GraphStream::start_edge() {
  if (edges_ == 0) {
    out_ += node_count_ == 0 ? ",\n" : "\n  ],\n";
    out_ += edge_count_ == 0 ? "  \"edges\": []" : "  \"edges\": [\n";
  } else {
    out_ += ",\n";
  }
  ++edges_;
  out_ += "    ";
  return position();
}

index::GraphSpan GraphStream::edge(std::string_view object_text) {
  const std::uint64_t start = start_edge();
  out_ += object_text;
  const index::GraphSpan span{start, object_text.size()};
  flush_when_full();
  return span;
}

index::GraphSpan GraphStream::edge(const Edge& edge) {
  const std::uint64_t start = start_edge();
  write_edge_object(edge, out_);
  const index::GraphSpan span{start, position() - start};
  flush_when_full();
  return span;
}

void GraphStream::finish() {
  if (edges_ == 0) {
    out_ += node_count_ == 0 ? ",\n" : "\n  ],\n";
    out_ += "  \"edges\": []";
  } else {
    out_ += "\n  ]";
  }
  out_ += "\n}";
  emit_(out_);
  flushed_ += out_.size();
  out_.clear();
}

void GraphStream::flush_when_full() {
  if (out_.size() < CHUNK_BYTES) return;
  emit_(out_);
  flushed_ += out_.size();
  out_.clear();
}

WrittenGraph write_graph_text(const std::filesystem::path& out,
                              const std::function<void(const text::TextSink&)>& produce) {
  WrittenGraph written;
  text::ContentHasher hasher;
  written.status = text::write_file_atomically(out, [&](const text::TextSink& emit) {
    produce([&](std::string_view piece) {
      hasher.add(piece);
      written.size += piece.size();
      emit(piece);
    });
  });
  written.hash = hasher.value();
  return written;
}

void write_index_beside(const std::filesystem::path& out, const index::GraphRecords& records,
                        const WrittenGraph& written, const index::ExtraSections& extra) {
  if (!written.status || written.status->size != written.size) return;
  index::write_graph_index(index::graph_index_path(out), records, {*written.status, written.hash},
                           extra);
}

ScanTotals write_graph_file(const std::filesystem::path& root, const std::filesystem::path& out,
                            const ExistingNodes& existing_nodes, const ScanScope& scope,
                            const NodeObserver& observe, const ScanObserver& watch,
                            std::size_t jobs, TermStatsChoice term_stats) {
  require_scan_root(root);
  GraphText graph(out.has_parent_path() ? out.parent_path() : fs::path("."));
  index::GraphRecords records;
  SnapshotRecorder recorder(root.string(), existing_nodes.empty());
  const auto on_node = [&](Json&& node) {
    records.node_spans.push_back(graph.add_node(node));
    records.nodes.push_back(record_of_scanned_node(node, records.texts));
    if (observe) observe(node);
  };
  std::optional<TermStatsBuilder> stats;
  ScanObserver counter;
  if (term_stats == TermStatsChoice::built) {
    stats.emplace();
    counter.count_terms = true;
    counter.on_file = [&stats](const ScannedFile& file) {
      if (file.terms != nullptr) stats->add_file_terms(std::move(*file.terms));
    };
  }
  const ScanTotals totals = scan_nodes(root, existing_nodes, scope, on_node,
                                       both(both(recorder.observer(), counter), watch), jobs);
  // With more than one job, the statistics are finished while the graph is written.
  std::future<std::string> stats_bytes;
  if (stats) {
    for (const Edge& edge : totals.edges) stats->add_edge(edge.from, edge.to, edge.rel);
    stats_bytes = std::async(jobs > 1 ? std::launch::async : std::launch::deferred,
                             [&stats] { return stats->finish(); });
  }
  const std::string root_text = root.string();
  const std::uint64_t list_offset =
      graph.node_list_offset(root_text, totals.symbol_count, totals.edges.size());
  for (index::GraphSpan& span : records.node_spans) span.offset += list_offset;
  // Graph and index are replaced as one, under the graph's lock.
  const text::FileLock lock = text::FileLock::wait_for(index::graph_lock_path(out));
  const WrittenGraph written = write_graph_text(out, [&](const text::TextSink& emit) {
    graph.write(root_text, totals.symbol_count, totals.edges, emit, &records.edge_spans);
  });
  graph = GraphText{};  // the text is on disk; its room serves the index built next
  for (const Edge& edge : totals.edges) records.edges.push_back(record_of_edge(edge));
  index::prepare_records(records);
  index::ExtraSections sections{
      {index::SectionKind::snapshot, snapshot_section(std::move(recorder).take())}};
  if (stats) sections.emplace_back(index::SectionKind::term_stats, stats_bytes.get());
  write_index_beside(out, records, written, sections);
  return totals;
}

}  // namespace plinthar::scanner
