#pragma once

// Writing a graph file: the one way every program writes one. Nodes go into the pretty
// text as the scan finds them, so the graph is never held in memory as a whole.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/index/graph_index_writer.hpp"
#include "plinthar/index/records.hpp"
#include "plinthar/scanner/graph.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/scanner/tree_snapshot.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/file_status.hpp"
#include "plinthar/text/text_sink.hpp"

namespace plinthar::scanner {

// Sees each node of a scan on its way into the graph file.
using NodeObserver = std::function<void(const Json&)>;

// Appends the object text of `edge` as it stands in a graph file (after its indent).
void write_edge_object(const Edge& edge, std::string& out);

// Writes the text of a graph file piece by piece when its counts are known up front,
// telling where each node's and edge's object stands in it: the head, every node, then
// every edge, then finish().
class GraphStream {
 public:
  // `emit` must outlive the stream.
  GraphStream(const text::TextSink& emit, std::string_view root, std::int64_t node_count,
              std::int64_t symbol_count, std::size_t edge_count);

  // The next node, as its object's text already written (all nodes stand at the same
  // indent) or as the node.
  index::GraphSpan node(std::string_view object_text);
  index::GraphSpan node(const Json& node);
  // Nodes already joined as the node list holds them, `count` of them; not mixed with
  // single nodes.
  void joined_nodes(std::string_view text, std::size_t count);

  index::GraphSpan edge(std::string_view object_text);
  index::GraphSpan edge(const Edge& edge);

  // Ends the text, once every node and edge counted up front is in.
  void finish();

 private:
  std::uint64_t position() const { return flushed_ + out_.size(); }
  std::uint64_t start_node();
  std::uint64_t start_edge();
  void flush_when_full();

  const text::TextSink& emit_;
  std::string out_;
  std::uint64_t flushed_ = 0;  // bytes handed to `emit`
  std::int64_t node_count_;
  std::size_t edge_count_;
  std::size_t nodes_ = 0;
  std::size_t edges_ = 0;
};

// What writing a graph file gave: the status of the file written (from its own
// descriptor after the rename), its size and the content hash of its bytes.
struct WrittenGraph {
  std::optional<text::FileStatus> status;
  std::uint64_t size = 0;
  std::uint64_t hash = 0;
};

// Replaces `out` atomically with the text `produce` hands to its sink, hashing it on the
// way. Throws plinthar::Error when it cannot be written; `out` is then untouched.
WrittenGraph write_graph_text(const std::filesystem::path& out,
                              const std::function<void(const text::TextSink&)>& produce);

// Writes the index of the graph `written` to `out`, from its prepared `records` (with
// their spans) and the `extra` sections (the tree's snapshot, the term statistics),
// stamped with the identity of the bytes written; none when that cannot be told. The
// caller holds the graph's lock.
void write_index_beside(const std::filesystem::path& out, const index::GraphRecords& records,
                        const WrittenGraph& written, const index::ExtraSections& extra);

// Whether a scan's index holds the term statistics of the hybrid ranking. Counting every
// file's words about doubles the time of a scan, which the classic ranking never needs;
// a ranking that finds them missing builds them from the whole graph text, which costs
// more than that.
enum class TermStatsChoice { left_to_ranking, built };

// Scans `root` (already resolved; the graph's "root" is root.string()) as scan_nodes does
// and replaces `out` atomically with the graph in the pretty form: byte for byte
// to_pretty(scan(root, existing_nodes, scope)), and its graph index beside it, with a
// snapshot of the tree (left out when it cannot be written) and, when `term_stats` says
// so, the term statistics. `observe`, when given, sees every node, and `watch` what the
// scan walks; `jobs` threads read the files (the bytes written are the same for any
// number). The folder of `out` must exist. Throws plinthar::Error when `out` cannot be
// written or `root` is not a directory; `out` is then untouched.
ScanTotals write_graph_file(const std::filesystem::path& root, const std::filesystem::path& out,
                            const ExistingNodes& existing_nodes, const ScanScope& scope,
                            const NodeObserver& observe = {}, const ScanObserver& watch = {},
                            std::size_t jobs = 1,
                            TermStatsChoice term_stats = TermStatsChoice::left_to_ranking);

// Collects the pretty text of each node as it arrives (the node itself can then go),
// and finally writes the whole map: byte for byte what write_pretty gives for the map
// that scan() builds from the same nodes, edges and counts.
class GraphText {
 public:
  // Keeps every node text in memory.
  GraphText() = default;
  // Moves each full chunk of node text out of memory into an unnamed file in
  // `spill_folder` (the graph's own folder, so that a graph of hundreds of megabytes is
  // not held in memory while it is scanned). Throws plinthar::Error when it cannot.
  explicit GraphText(const std::filesystem::path& spill_folder);

  // Adds the next node of the "nodes" list; returns where its object stands in the text
  // of the list (add node_list_offset() for its place in the file).
  index::GraphSpan add_node(const Json& node);

  // Hands the whole map to `emit`, in pieces: "root" is `root`, "file_count" the number
  // of nodes added less `symbol_count`, then the nodes and `edges`. `edge_spans`, when
  // given, receives where each edge's object stands in the file.
  void write(std::string_view root, std::int64_t symbol_count, const std::vector<Edge>& edges,
             const text::TextSink& emit, std::vector<index::GraphSpan>* edge_spans = nullptr) const;

  // Where the text of the node list starts in the file that write() gives.
  std::uint64_t node_list_offset(std::string_view root, std::int64_t symbol_count,
                                 std::size_t edge_count) const;

 private:
  std::string& chunk_with_room();

  void spill_full_chunk();

  std::vector<std::string> chunks_;              // node texts, about a megabyte each
  std::unique_ptr<text::FileDescriptor> spill_;  // the node texts moved out, in order
  std::filesystem::path spill_folder_;
  std::uint64_t spilled_ = 0;  // bytes in spill_
  std::size_t node_count_ = 0;
  std::uint64_t size_ = 0;  // bytes of node text so far
};

}  // namespace plinthar::scanner
