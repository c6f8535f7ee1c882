#pragma once

// The records of the information graph: nodes for files and symbols, edges for the
// relations between them, and the symbol records the extractors produce.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/text/json.hpp"

namespace plinthar::scanner {

using text::Json;

// One node of the graph; the same record serves files and symbols.
struct Node {
  std::string id;
  std::string kind;
  std::string path;
  std::string ext;
  std::int64_t size = 0;
  std::vector<std::string> keywords;
  std::string content;
  std::string summary;
  std::string file_hash;
  std::string symbol_type;
  std::string name;
  std::int64_t line_start = 0;
  std::int64_t line_end = 0;
  std::string body_hash;
  std::string confidence;
  bool exported = false;
};

// The node's serialised map: the six common members, then the file members when
// `kind` is "file" and the symbol members otherwise.
Json as_dict(const Node& node);
// The same map, taking the node's strings instead of copying them.
Json as_dict(Node&& node);

// A relation found in a file's text: "from" is the file id, "to" the captured text or
// symbol id, "rel" one of "imports", "requires", "references", "contains".
struct Edge {
  std::string from;
  std::string to;
  std::string rel;

  bool operator==(const Edge&) const = default;
};

Json to_json(const Edge& edge);
Json to_json(Edge&& edge);

// What a symbol extractor reports for one symbol.
struct SymbolRecord {
  std::string id;
  std::string name;
  std::string symbol_type;
  std::int64_t line_start = 0;
  std::int64_t line_end = 0;
  std::string body_hash;
  std::string confidence;
  bool exported = false;
  std::vector<std::string> keywords;

  bool operator==(const SymbolRecord&) const = default;
};

// The record as the nine-member map, in its fixed key order.
Json to_json(const SymbolRecord& symbol);

// File id of `path` under `root`: both resolved through symbolic links, components
// joined with "/", "." for the root itself, leading ".." components for a location
// outside the root.
std::string rel(const std::filesystem::path& path, const std::filesystem::path& root);

// File id of an already resolved `path` under an already resolved `root`.
std::string relative_file_id(const std::filesystem::path& path, const std::filesystem::path& root);

// `edges` without repeated (from, to, rel) triples; the first occurrence wins.
std::vector<Edge> dedupe_edges(const std::vector<Edge>& edges);
// The same, taking the kept edges out of `edges` instead of copying them.
std::vector<Edge> dedupe_edges(std::vector<Edge>&& edges);

}  // namespace plinthar::scanner
