#pragma once

// The general path of reading a graph, for graphs the fast walker (graph_walker.hpp)
// cannot vouch for: the graph parsed whole, and the records ranking reads
// (index/records.hpp), the term statistics and the root taken from the map.

#include <filesystem>
#include <string_view>

#include "plinthar/index/records.hpp"
#include "plinthar/query/graph/graph_walker.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/text_arena.hpp"

namespace plinthar::query {

using text::Json;

// The graph map held in `bytes`, the content of `path` (named in errors), read by the
// general parser. Throws plinthar::Error for text that is not UTF-8 or JSON and for a top
// level that is not a map ("Expected dict, got list").
Json parse_graph(std::string_view bytes, const std::filesystem::path& path);

// The record of one node map. Throws plinthar::Error "graph node is not an object", and
// `member "keywords": Expected list, got ...` / `member "summary": Expected str, got ...`
// when "keywords" is not a list of strings or "summary" not a string (null counts as
// absent for both); the keyword list's type is checked first, then the summary, then the
// keyword items.
index::NodeRecord node_record(const Json& node, text::TextArena& texts);

// The records of a graph map, viewing into `graph`, which must outlive them; not yet
// prepared (prepare_records). Throws
// plinthar::Error when "nodes" or "edges" is present but not a list, for an edge that is
// not an object, and for malformed nodes as node_record does, in that order; the message
// of an edge or node starts with where it stands: `edge 2: `, `node 3 ("a.py"): `.
index::GraphRecords records_of(const Json& graph);

// What walk_graph_text gives, taken from the parsed map `graph`: the records (as
// records_of, throwing as it does), the statistics of every node and edge (members
// missing or not of the type the scanner writes read as empty) and the root.
void walk_graph_map(const Json& graph, const GraphSinks& sinks);

}  // namespace plinthar::query
