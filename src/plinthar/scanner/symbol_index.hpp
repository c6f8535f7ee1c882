#pragma once

// The symbol index: where each symbol of a graph lives, by symbol id.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "plinthar/scanner/graph.hpp"

namespace plinthar::scanner {

// Gathers the index from nodes handed over one at a time (keeping only what the index
// needs of each), then writes it.
class SymbolIndex {
 public:
  // Takes `node` into the index when its "kind" is "symbol"; other nodes are ignored.
  void add(const Json& node);

  // Number of members: distinct symbol ids.
  std::size_t size() const { return entries_.size(); }

  // Appends the compact form: one member per symbol id, in node order, holding
  // "line_start", "line_end", "body_hash", "confidence" ("" when the node has none) and
  // "path". A repeated id keeps the position of its first node and the values of its
  // last.
  void write(std::string& out) const;

 private:
  struct Entry {
    std::string id;
    Json line_start;
    Json line_end;
    Json body_hash;
    Json confidence;
    Json path;
  };
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> position_;
};

// The index of `graph`'s symbol nodes in compact form, appended to `out`; returns its
// number of members.
std::size_t write_symbol_index(const Json& graph, std::string& out);

}  // namespace plinthar::scanner
