#pragma once

// Reading the records that ranking needs straight from the text of a graph file, without
// building the graph map: only the member texts that ranking reads are kept, and whole
// nodes and edges are parsed from the text only when asked for.

#include <optional>

#include <simdjson.h>

#include "plinthar/query/graph/graph_records.hpp"

namespace plinthar::query {

// The records of the graph held in `text`, or nothing when the reader cannot vouch that
// they equal records_of(parse_graph(text)): text that is not JSON or not a map, a
// "nodes" or "edges" member that is not a list of objects or appears twice, a node or
// edge member that ranking reads as text but that is not a string (ids, kinds, summaries,
// keywords ...), lone surrogate escapes in keys, numbers out of range, nesting deeper
// than MAX_JSON_DEPTH. Whole records are parsed from `text`, which must outlive the
// records and stay unchanged.
std::optional<GraphRecords> read_graph_records(simdjson::padded_string_view text);

}  // namespace plinthar::query
