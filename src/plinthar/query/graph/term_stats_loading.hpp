#pragma once

// The term statistics of a loaded graph (scanner/index/term_stats.hpp): viewed in its
// index when the index has them; otherwise built from the graph file, once, and written
// into the index beside it for the next call.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <simdjson.h>

#include "plinthar/query/graph/graph_loading.hpp"
#include "plinthar/scanner/index/term_stats.hpp"

namespace plinthar::query {

class GraphTermStats {
 public:
  // Views the statistics in an index section, which must outlive this.
  explicit GraphTermStats(const scanner::TermStats& view) : stats_(view) {}
  // Owns the bytes of statistics just built.
  static GraphTermStats owning(std::string bytes);

  GraphTermStats(GraphTermStats&&) = default;
  GraphTermStats& operator=(GraphTermStats&&) = default;
  GraphTermStats(const GraphTermStats&) = delete;
  GraphTermStats& operator=(const GraphTermStats&) = delete;

  const scanner::TermStats& stats() const { return stats_; }

 private:
  GraphTermStats(std::unique_ptr<const std::string> bytes, const scanner::TermStats& view)
      : bytes_(std::move(bytes)), stats_(view) {}

  std::unique_ptr<const std::string> bytes_;
  scanner::TermStats stats_;
};

// The statistics of `graph`, loaded from `graph_file`. Throws plinthar::Error when they
// have to be built and the graph file cannot be read or no longer holds the graph that
// was loaded.
GraphTermStats load_term_stats(const LoadedGraph& graph, const std::filesystem::path& graph_file);

// The statistics of the graph map whose text is `text`, by the general parser when the
// fast reader cannot read it; nothing when the text is no graph map.
std::optional<std::string> build_term_stats(simdjson::padded_string_view text);

}  // namespace plinthar::query
