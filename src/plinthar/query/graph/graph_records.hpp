#pragma once

// Ranking's records (scanner/index/records.hpp) taken from a parsed graph map: the
// general path, for graphs the fast readers cannot vouch for.

#include "plinthar/scanner/index/records.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/text_arena.hpp"

namespace plinthar::query {

using text::Json;

using scanner::EdgeRecord;
using scanner::GraphRecords;
using scanner::GraphSpan;
using scanner::NodeRecord;
using scanner::StoredMember;

// The record of one node map. Throws plinthar::Error "graph node is not an object", and
// `member "keywords": Expected list, got ...` / `member "summary": Expected str, got ...`
// when "keywords" is not a list of strings or "summary" not a string (null counts as
// absent for both); the keyword list's type is checked first, then the summary, then the
// keyword items.
NodeRecord node_record(const Json& node, text::TextArena& texts);

// The records of a graph map, viewing into `graph`, which must outlive them; not yet
// prepared (prepare_records). Throws
// plinthar::Error when "nodes" or "edges" is present but not a list, for an edge that is
// not an object, and for malformed nodes as node_record does, in that order; the message
// of an edge or node starts with where it stands: `edge 2: `, `node 3 ("a.py"): `.
GraphRecords records_of(const Json& graph);

}  // namespace plinthar::query
