#pragma once

// The graph as ranking reads it: for every node and edge only the member texts that
// scoring and ordering need, each text also lower-cased with its character set, plus a
// way back to the whole record as stored. The graph index stores exactly these records;
// crv reads them from there, or from the graph file when there is no current index.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "plinthar/text/char_mask.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/text_arena.hpp"

namespace plinthar::index {

// A member as stored: its text form, and the value itself when it is not a string
// (hand-made graphs only), since such values order and match by JSON value.
struct StoredMember {
  std::string_view text;              // "" when missing
  const text::Json* value = nullptr;  // set when present and not a string
  bool present = false;
};

struct NodeRecord {
  StoredMember id;
  std::string_view ext;         // text form, "" when missing
  std::string_view kind;        // text form, "file" when missing
  std::string_view confidence;  // text form, "" when missing
  std::string_view summary;     // "" when missing or null
  std::string_view keywords;    // joined by single spaces; "" when missing or null

  // Filled by prepare_records (or read prepared from the index).
  text::MaskedText id_lower;
  std::string_view ext_lower;
  text::MaskedText summary_lower;
  text::MaskedText keywords_lower;
  std::int64_t degree = 0;  // edge ends whose text equals the id's text
};

struct EdgeRecord {
  StoredMember from;
  StoredMember to;
  std::string_view rel;  // text form, "" when missing

  // Filled by prepare_records (or read prepared from the index).
  text::MaskedText from_lower;
  text::MaskedText to_lower;
  text::MaskedText rel_lower;
};

// Where a node's or edge's object stands in the graph file.
struct GraphSpan {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

struct GraphRecords {
  std::vector<NodeRecord> nodes;
  std::vector<EdgeRecord> edges;
  // One per node and edge when the records were read from a graph file's text; empty
  // when they come from a parsed graph map.
  std::vector<GraphSpan> node_spans;
  std::vector<GraphSpan> edge_spans;
  // The node or edge at an index of its list as stored, every member included.
  std::function<text::Json(std::size_t)> node_value;
  std::function<text::Json(std::size_t)> edge_value;
  // Texts that are not views into the graph itself.
  text::TextArena texts;
};

// Fills the lower-cased texts of `node` or `edge` (kept in `texts` where lowering changes
// them).
void prepare_node(NodeRecord& node, text::TextArena& texts);
void prepare_edge(EdgeRecord& edge, text::TextArena& texts);

// Counts every node's degree over all the edges.
void count_degrees(GraphRecords& records);

// Fills the lower-cased texts of every record and the nodes' degrees.
void prepare_records(GraphRecords& records);

}  // namespace plinthar::index
