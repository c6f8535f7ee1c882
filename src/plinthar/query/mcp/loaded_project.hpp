#pragma once

// One load of a project's graph as the server keeps it between calls: the records and
// term statistics ranking reads, the lookups the tools build on them, and the symbol
// details read so far.

#include <cstdint>
#include <filesystem>

#include <absl/container/flat_hash_map.h>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/query/graph/loaded_graph.hpp"
#include "plinthar/query/mcp/graph_lookups.hpp"
#include "plinthar/query/mcp/symbol_details.hpp"

namespace plinthar::query::mcp {

class LoadedProject {
 public:
  // Takes `graph`, which must have been read with its term statistics.
  explicit LoadedProject(LoadedGraph graph);

  LoadedProject(const LoadedProject&) = delete;
  LoadedProject& operator=(const LoadedProject&) = delete;

  const index::GraphRecords& records() const { return graph_.records(); }
  const index::TermStats& stats() const { return *graph_.term_stats(); }
  GraphLookups& lookups() { return lookups_; }

  // The details of the symbol node `node`, read from the graph file the first time.
  const SymbolDetails& symbol(std::uint32_t node);

  // Whether `index` was made of the graph file this was loaded from, unchanged since.
  bool made_from(const index::GraphIndex& index) const;

 private:
  LoadedGraph graph_;
  GraphLookups lookups_;
  absl::flat_hash_map<std::uint32_t, SymbolDetails> symbols_;
};

}  // namespace plinthar::query::mcp
