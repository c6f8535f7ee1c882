#pragma once

// The graph as ranking sees it: for every node and edge only the member texts that
// scoring and ordering read, plus a way back to the whole record as stored. Records can
// come from a parsed graph map or straight from the text of a graph file.

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

#include "plinthar/text/json.hpp"
#include "plinthar/text/text_arena.hpp"

namespace plinthar::query {

using text::Json;

// A member as stored: its text form, and the value itself when it is not a string
// (hand-made graphs only), since such values order and match by JSON value.
struct StoredMember {
  std::string_view text;        // "" when missing
  const Json* value = nullptr;  // set when present and not a string
  bool present = false;
};

struct NodeRecord {
  StoredMember id;
  std::string_view ext;         // text form, "" when missing
  std::string_view kind;        // text form, "file" when missing
  std::string_view confidence;  // text form, "" when missing
  std::string_view summary;     // "" when missing or null
  std::string_view keywords;    // joined by single spaces; "" when missing or null
};

struct EdgeRecord {
  StoredMember from;
  StoredMember to;
  std::string_view rel;  // text form, "" when missing
};

struct GraphRecords {
  std::vector<NodeRecord> nodes;
  std::vector<EdgeRecord> edges;
  // The node or edge at an index of its list as stored, every member included.
  std::function<Json(std::size_t)> node_value;
  std::function<Json(std::size_t)> edge_value;
  // Texts that are not views into the graph itself.
  text::TextArena texts;
};

// The record of one node map. Throws plinthar::Error "graph node is not an object", and
// "Expected list, got ..." / "Expected str, got ..." when "keywords" is not a list of
// strings or "summary" not a string (null counts as absent for both); the keyword
// list's type is checked first, then the summary, then the keyword items.
NodeRecord node_record(const Json& node, text::TextArena& texts);

// The records of a graph map, viewing into `graph`, which must outlive them. Throws
// plinthar::Error when "nodes" or "edges" is present but not a list, for an edge that is
// not an object, and for malformed nodes as node_record does, in that order.
GraphRecords records_of(const Json& graph);

}  // namespace plinthar::query
