#pragma once

// Ranking's records (scanner/index/records.hpp) taken from a parsed graph map: the
// general path, for graphs the fast readers cannot vouch for.

#include "plinthar/scanner/index/records.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/text_arena.hpp"

namespace plinthar::query {

using text::Json;

using scanner::EdgeRecord;
using scanner::GraphSpan;
using scanner::GraphRecords;
using scanner::NodeRecord;
using scanner::StoredMember;

// The record of one node map. Throws plinthar::Error "graph node is not an object", and
// "Expected list, got ..." / "Expected str, got ..." when "keywords" is not a list of
// strings or "summary" not a string (null counts as absent for both); the keyword
// list's type is checked first, then the summary, then the keyword items.
NodeRecord node_record(const Json& node, text::TextArena& texts);

// The records of a graph map, viewing into `graph`, which must outlive them; not yet
// prepared (prepare_records). Throws
// plinthar::Error when "nodes" or "edges" is present but not a list, for an edge that is
// not an object, and for malformed nodes as node_record does, in that order.
GraphRecords records_of(const Json& graph);

}  // namespace plinthar::query
