#pragma once

// One load of a project's graph as the server keeps it between calls: the records and
// term statistics ranking reads, the lookups the tools build on them, and the symbol
// details read so far.

#include <cstdint>
#include <filesystem>

#include <absl/container/flat_hash_map.h>

#include "plinthar/query/graph/graph_loading.hpp"
#include "plinthar/query/graph/term_stats_loading.hpp"
#include "plinthar/query/mcp/graph_lookups.hpp"
#include "plinthar/query/mcp/symbol_details.hpp"

namespace plinthar::query::mcp {

class LoadedProject {
 public:
  // Takes `graph`, loaded from `graph_file`, and loads its term statistics (building
  // them when the index has none). Throws plinthar::Error as load_term_stats does.
  LoadedProject(LoadedGraph graph, const std::filesystem::path& graph_file);

  LoadedProject(const LoadedProject&) = delete;
  LoadedProject& operator=(const LoadedProject&) = delete;

  const GraphRecords& records() const { return graph_.records(); }
  const scanner::TermStats& stats() const { return stats_.stats(); }
  GraphLookups& lookups() { return lookups_; }

  // The details of the symbol node `node`, read from the graph file the first time.
  const SymbolDetails& symbol(std::uint32_t node);

  // Whether `graph` comes from the same graph file as this, unchanged since: both read
  // from an index made of the same file.
  bool same_graph(const LoadedGraph& graph) const;
  // Whether `index` was made of the graph file this was loaded from, unchanged since.
  bool made_from(const scanner::GraphIndex& index) const;

 private:
  LoadedGraph graph_;
  GraphTermStats stats_;
  GraphLookups lookups_;
  absl::flat_hash_map<std::uint32_t, SymbolDetails> symbols_;
};

}  // namespace plinthar::query::mcp
