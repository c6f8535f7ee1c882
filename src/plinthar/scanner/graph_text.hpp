#pragma once

// The pretty form of a graph map written while its nodes are still being found.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/scanner/graph.hpp"
#include "plinthar/scanner/text_sink.hpp"

namespace plinthar::scanner {

// Collects the pretty text of each node as it arrives (the node itself can then go),
// and finally writes the whole map: byte for byte what write_pretty gives for the map
// that scan() builds from the same nodes, edges and counts.
class GraphText {
 public:
  // Adds the next node of the "nodes" list.
  void add_node(const Json& node);

  // Hands the whole map to `emit`, in pieces: "root" is `root`, "file_count" the number
  // of nodes added less `symbol_count`, then the nodes and `edges`.
  void write(std::string_view root, std::int64_t symbol_count, const std::vector<Edge>& edges,
             const TextSink& emit) const;

 private:
  std::vector<std::string> chunks_;  // node texts, about a megabyte each
  std::size_t node_count_ = 0;
};

}  // namespace plinthar::scanner
