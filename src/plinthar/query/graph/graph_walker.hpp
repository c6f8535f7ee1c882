#pragma once

// The one pass over a graph file's text: a simdjson On-Demand walk that feeds what the
// caller asks for, together: the records ranking reads (only the member texts it reads
// are kept; whole nodes and edges are parsed from the text later, when asked for), the
// term statistics of the hybrid ranking, and the graph's "root". The general parser is
// its one fallback (walk_graph_map), for graphs it cannot vouch for.

#include <optional>
#include <string>

#include <simdjson.h>

#include "plinthar/index/records.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"

namespace plinthar::query {

// Where a walk puts what it reads; a sink left null is not fed.
struct GraphSinks {
  index::GraphRecords* records = nullptr;  // with the span of every node and edge
  scanner::TermStatsBuilder* stats = nullptr;
  std::optional<std::string>* root = nullptr;  // the "root" member when it is text
};

// Walks the graph held in `text` into `sinks`. False when the walk cannot vouch that
// what it gave equals what walk_graph_map gives for parse_graph(text): text that is not
// JSON or not a map, a "nodes" or "edges" member that is not a list of objects or appears
// twice, a member ranking reads as text that is not a string (ids, kinds, summaries,
// keywords ...), a member the statistics read of another type than the scanner writes,
// lone surrogate escapes in keys, numbers out of range, nesting deeper than
// MAX_JSON_DEPTH. The sinks then hold part of the graph and are to be thrown away.
bool walk_graph_text(simdjson::padded_string_view text, const GraphSinks& sinks);

// The records of the graph held in `text` (walk_graph_text with records alone), with
// whole nodes and edges parsed from `text`, which must outlive them and stay unchanged;
// nothing when the walk cannot vouch for them.
std::optional<index::GraphRecords> read_graph_records(simdjson::padded_string_view text);

}  // namespace plinthar::query
