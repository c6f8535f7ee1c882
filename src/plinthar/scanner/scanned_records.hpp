#pragma once

// The ranking records (index/records.hpp) of what a scan gives: its nodes, whose members
// are all strings, and its edges.

#include "plinthar/index/records.hpp"
#include "plinthar/scanner/graph.hpp"
#include "plinthar/text/text_arena.hpp"

namespace plinthar::scanner {

// The record of a node the scanner made (every member a string), its texts kept in
// `texts`; not yet prepared.
index::NodeRecord record_of_scanned_node(const Json& node, text::TextArena& texts);

// The record of `edge`, viewing its texts; not yet prepared.
index::EdgeRecord record_of_edge(const Edge& edge);

}  // namespace plinthar::scanner
