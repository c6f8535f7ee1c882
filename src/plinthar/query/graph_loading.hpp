#pragma once

// Obtaining the information graph: reading the graph file, or scanning the default root
// and writing the file when there is none yet.

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "plinthar/query/graph_file_text.hpp"
#include "plinthar/query/graph_records.hpp"
#include "plinthar/query/locations.hpp"
#include "plinthar/query/retrieval.hpp"
#include "plinthar/scanner/json_format.hpp"

namespace plinthar::query {

using scanner::Json;

// Which members of a graph file to keep: all, or all but the file texts ("content") of
// the node objects, which ranking never reads and which make up most of the bytes.
enum class GraphMembers { all, without_content };

// The graph map of the graph file; when the file does not exist, the scan of the
// default root, which is first written to the graph file (and returned whole). Throws
// plinthar::Error when the file cannot be read or written, is not UTF-8 or JSON, or does
// not hold a map.
Json load_graph(const Locations& locations, GraphMembers members = GraphMembers::all);

// A graph ready for ranking: records read straight from the graph file, which they view
// into, or the graph map itself when the file was just written by a scan or its text
// needs the general parser (hand-made graphs with values of unusual types).
class LoadedGraph {
 public:
  explicit LoadedGraph(Json map);
  LoadedGraph(GraphFileText text, GraphRecords records);

  // retrieve() on this graph; the same result, whichever way the graph was read.
  RetrieveResult retrieve(std::string_view query, std::int64_t top_files, std::int64_t top_edges,
                          const std::filesystem::path& capability_index) const;

 private:
  std::unique_ptr<const Json> map_;
  std::optional<GraphFileText> text_;
  std::optional<GraphRecords> records_;
};

// The graph of the graph file, as load_graph reads it, ready for ranking. `members`
// says what the graph map needs to hold when the records cannot be read straight from
// the file; the records always reach every member.
LoadedGraph load_graph_for_ranking(const Locations& locations, GraphMembers members);

// The graph map held in `bytes`, the content of `path` (named in errors). Throws
// plinthar::Error for text that is not UTF-8 or JSON and for a top level that is not a
// map ("Expected dict, got list").
Json parse_graph(std::string_view bytes, const std::filesystem::path& path);

// A full scan of `root` that leaves out the graph files this program writes: `out` and
// the default graph file, so a data directory inside the tree never feeds an earlier
// graph into the next one.
Json scan_project(const std::filesystem::path& root, const std::filesystem::path& out,
                  const Locations& locations);

// Replaces `path` atomically with the pretty form of `graph`.
void write_graph(const Json& graph, const std::filesystem::path& path);

}  // namespace plinthar::query
