#pragma once

// Writing a graph file: the one way every program writes one. Nodes go into the pretty
// text as the scan finds them, so the graph is never held in memory as a whole.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/scanner/graph.hpp"
#include "plinthar/scanner/index/records.hpp"
#include "plinthar/scanner/index/tree_snapshot.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/text_sink.hpp"

namespace plinthar::scanner {

// Sees each node of a scan on its way into the graph file.
using NodeObserver = std::function<void(const Json&)>;

// An edge of a graph file being written: the edge itself, or its object's text as it
// stands in an earlier graph file.
struct EdgeItem {
  const Edge* edge = nullptr;
  std::string_view text;
};

// Appends the object text of `edge` as it stands in a graph file (after its indent).
void write_edge_object(const Edge& edge, std::string& out);

// Writes the index of the graph just written to `out` (`size` bytes whose content hash is
// `hash`), from its prepared `records` (with their spans) and the snapshot of the tree;
// a graph file that is no longer the one written gets none.
void write_index_beside(const std::filesystem::path& out, const GraphRecords& records,
                        std::uint64_t size, std::uint64_t hash, const TreeSnapshot& snapshot);

// Scans `root` (already resolved; the graph's "root" is root.string()) as scan_nodes does
// and replaces `out` atomically with the graph in the pretty form: byte for byte
// to_pretty(scan(root, existing_nodes, excluded)), and its graph index beside it, with a
// snapshot of the tree (left out when it cannot be written). `observe`, when given, sees
// every node. The folder of `out` must exist. Throws plinthar::Error when `out` cannot be
// written; it is then untouched.
ScanTotals write_graph_file(const std::filesystem::path& root, const std::filesystem::path& out,
                            const ExistingNodes& existing_nodes,
                            const std::set<std::filesystem::path>& excluded,
                            const NodeObserver& observe = {});

// Collects the pretty text of each node as it arrives (the node itself can then go),
// and finally writes the whole map: byte for byte what write_pretty gives for the map
// that scan() builds from the same nodes, edges and counts.
class GraphText {
 public:
  // Adds the next node of the "nodes" list; returns where its object stands in the text
  // of the list (add node_list_offset() for its place in the file).
  GraphSpan add_node(const Json& node);
  // The same for a node whose object's text is already written (as in an earlier graph
  // file; objects in the node list all have the same indent).
  GraphSpan add_node_text(std::string_view object_text);

  // Hands the whole map to `emit`, in pieces: "root" is `root`, "file_count" the number
  // of nodes added less `symbol_count`, then the nodes and `edges`. `edge_spans`, when
  // given, receives where each edge's object stands in the file.
  void write(std::string_view root, std::int64_t symbol_count, const std::vector<EdgeItem>& edges,
             const text::TextSink& emit, std::vector<GraphSpan>* edge_spans = nullptr) const;

  // Where the text of the node list starts in the file that write() gives.
  std::uint64_t node_list_offset(std::string_view root, std::int64_t symbol_count,
                                 std::size_t edge_count) const;

 private:
  std::string head(std::string_view root, std::int64_t symbol_count, std::size_t edge_count) const;
  std::string& chunk_with_room();
  void start_node(std::string& out) const;
  GraphSpan end_node(std::string& out, std::size_t before, std::size_t start);

  std::vector<std::string> chunks_;  // node texts, about a megabyte each
  std::size_t node_count_ = 0;
  std::uint64_t size_ = 0;  // bytes of node text so far
};

}  // namespace plinthar::scanner
