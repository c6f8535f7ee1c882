#pragma once

// The symbol index: where each symbol of a graph lives, by symbol id.

#include <cstddef>
#include <string>

#include "plinthar/scanner/json_format.hpp"

namespace plinthar::scanner {

// Appends the compact form of the index of `graph`'s symbol nodes to `out` and returns
// its number of members: one member per symbol id, in node order, holding "line_start",
// "line_end", "body_hash", "confidence" ("" when the node has none) and "path". A
// repeated id keeps the position of its first node and the values of its last.
std::size_t write_symbol_index(const Json& graph, std::string& out);

}  // namespace plinthar::scanner
